// The window frame and the whole frame tick, minus the time the recording
// itself lasts (the capture driver fills each buffer at once).
#include "app/Artwork.h"
#include "app/SampleMapping.h"
#include "app/frmMain.h"
#include "support/FakeCaptureDriver.h"
#include "surfaces/DX_DD.h"

#include <benchmark/benchmark.h>

#include "user/window_table.h"

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

// The same frame through DirectDraw: the background copied onto the frame
// surface, 171 lines, the frame stretched onto the canvas window.
void BM_WindowFrameDirectDraw(benchmark::State& state)
{
    App();
    QWidget window;
    PictureBox canvas(171, 61, true, &window);
    window.show();
    DX_DD dd;
    dd.Initialise(user::RegisterWindow(&window));
    try {
        const HWND hWnd = canvas.hWnd();
        const std::int16_t primary = dd.CreateSurface(DDSCAPS_PRIMARYSURFACE, hWnd);
        const std::int16_t frame = dd.CreateSurface(DDSCAPS_OFFSCREENPLAIN, hWnd, 171, 61);
        const std::int16_t background = dd.CreateSurfaceFromFile(DDSCAPS_OFFSCREENPLAIN, "canvas.bmp", hWnd);
        dd.SetSurfaceOptions(frame, 0, 1, 0, 0, RGB(128, 255, 255));
        const auto samples = ToneBlock(1200);
        for (auto _ : state) {
            LONG prevX = 0, prevY = 30;
            dd.Copy(background, frame);
            for (std::int16_t x = 1; x <= 171; ++x) {
                const LONG y = kelvo::RowOfColumn(samples, x, 171, 61, 256);
                dd.DrawLine(frame, prevX, prevY, x, y);
                prevX = x;
                prevY = y;
            }
            dd.Blt(primary, hWnd, frame);
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());  // canvas.bmp is not beside the benchmark
    }
}
BENCHMARK(BM_WindowFrameDirectDraw);

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
        for (auto _ : state) {
            emit form.Timer->Timer();
            while (form.InTick()) QCoreApplication::processEvents();  // the block is drawn from the event loop
        }
        form.Unload();
    }
    winmm::SetCaptureDriver(nullptr);
}
BENCHMARK(BM_WholeTick);

}  // namespace
