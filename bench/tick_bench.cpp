// The window frame and the whole frame tick, minus the time the recording
// itself lasts (the capture driver fills each buffer at once).
#include "app/Artwork.h"
#include "app/SampleMapping.h"
#include "app/frmMain.h"
#include "support/FakeCaptureDriver.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cmath>
#include <vector>

namespace {

QApplication& App()
{
    static int argc = 1;
    static char name[] = "kelvo-bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

std::vector<std::uint8_t> ToneBlock(std::size_t n)
{
    std::vector<std::uint8_t> block(n);
    for (std::size_t i = 0; i < n; ++i) block[i] = static_cast<std::uint8_t>(128 + 100 * std::sin(i * 0.345));
    return block;
}

// Mapping plus one polyline into the 175 x 65 canvas, as each window frame does.
void BM_WindowFrame(benchmark::State& state)
{
    App();
    PictureBox canvas(171, 61, true, nullptr);
    canvas.SetPicture(kelvo::CanvasPicture());
    canvas.SetForeColor(RGB(128, 255, 255));
    const auto samples = ToneBlock(1200);
    std::vector<POINT> points(171);
    for (auto _ : state) {
        for (std::int16_t x = 1; x <= 171; ++x) points[x - 1] = POINT{x, kelvo::RowOfColumn(samples, x, 171, 61, 256)};
        canvas.Cls();
        Polyline(canvas.hDC(), points.data(), 171);
        benchmark::DoNotOptimize(points.data());
    }
}
BENCHMARK(BM_WindowFrame);

void BM_WholeTick(benchmark::State& state)
{
    App();
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    auto driver = std::make_shared<testing_support::FakeCaptureDriver>();
    driver->autoPattern = ToneBlock(1200);
    winmm::SetCaptureDriver(driver);
    {
        frmMain form("");
        form.Form_Load();
        form.Timer->SetEnabled(false);  // only the ticks the benchmark asks for
        for (auto _ : state) emit form.Timer->Timer();
        form.Unload();
    }
    winmm::SetCaptureDriver(nullptr);
}
BENCHMARK(BM_WholeTick);

}  // namespace
