#include "app/TrayRenderer.h"
#include "shell/notification_area.h"
#include "shell/qt_notification_area.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// Takes the picture as the desktop's notification area does, without a panel.
class PictureTaker : public shell::NotificationArea {
public:
    PictureTaker() { previous_ = shell::SetNotificationArea(this); }
    ~PictureTaker() override { shell::SetNotificationArea(previous_); }
    bool Available() override { return true; }
    BOOL NotifyIcon(DWORD, const NOTIFYICONDATAA& data) override
    {
        const QImage image = shell::IconQImage(data.hIcon);
        benchmark::DoNotOptimize(image.constBits());
        return image.isNull() ? FALSE : TRUE;
    }

private:
    shell::NotificationArea* previous_ = nullptr;
};

std::vector<std::uint8_t> tone(std::size_t n)
{
    std::vector<std::uint8_t> samples(n);
    for (std::size_t i = 0; i < n; ++i)
        samples[i] = static_cast<std::uint8_t>(std::lround(128 + 102 * std::sin(2 * M_PI * 440.0 * i / 8000.0)));
    return samples;
}

// One tray frame at 150 ms: icon canvas, sunken frame, 16 strokes, icon, and
// the picture handed to the notification area.
void BM_TrayFrame(benchmark::State& state)
{
    PictureTaker area;
    const auto samples = tone(1200);
    const HWND tray = reinterpret_cast<HWND>(0x10040);
    for (auto _ : state) kelvo::RenderTrayFrame(samples, static_cast<LONG>(state.range(0)), 6, tray);
}
BENCHMARK(BM_TrayFrame)->Arg(0)->Arg(1)->ArgName("style");

}  // namespace
