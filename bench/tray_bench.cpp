#include "app/TrayRenderer.h"
#include "shell/notification_area.h"
#include "shell/qt_notification_area.h"
#include "shell/status_notifier_item.h"

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
    // As a StatusNotifierItem host at a ratio of 2 (small icon 32): the
    // picture also at 16, 22 and 24 px, converted for the bus.
    std::vector<IconSize> MoreIconSizes(HWND, UINT) override { return more; }
    BOOL AddIconPicture(HWND, UINT, HICON hIcon) override
    {
        const shell::StatusNotifierPixmap pixmap = shell::ToStatusNotifierPixmap(shell::IconQImage(hIcon));
        benchmark::DoNotOptimize(pixmap.bytes.constData());
        return TRUE;
    }
    std::vector<IconSize> more;

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
// the picture handed to the notification area; with more=1, the pictures a
// StatusNotifierItem host gets besides.
void BM_TrayFrame(benchmark::State& state)
{
    PictureTaker area;
    if (state.range(1)) area.more = shell::StatusNotifierIconSizes({32, 32});
    const auto samples = tone(1200);
    const HWND tray = reinterpret_cast<HWND>(0x10040);
    for (auto _ : state) kelvo::RenderTrayFrame(samples, static_cast<LONG>(state.range(0)), 6, tray);
}
BENCHMARK(BM_TrayFrame)->Args({0, 0})->Args({1, 0})->Args({0, 1})->ArgNames({"style", "more"});

}  // namespace
