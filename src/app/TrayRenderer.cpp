#include "app/TrayRenderer.h"

#include "app/Contrast.h"
#include "app/SampleMapping.h"
#include "common/RuntimeError.h"
#include "shell/notification_area.h"
#include "surfaces/IconIndirect.h"
#include "surfaces/TrayIcon.h"
#include "user/sys_color.h"

#include <cstdlib>

namespace kelvo {
namespace {

constexpr LONG blue = static_cast<LONG>(RGB(0, 0, 255));
constexpr LONG green = static_cast<LONG>(RGB(0, 255, 0));
constexpr double trayFullScale = 256.0;
constexpr COLORREF classicFace = RGB(192, 192, 192);
constexpr double legibleContrast = 3.0;

LONG sysColour(int index) { return static_cast<LONG>(GetSysColor(index)); }

void drawTrace(IconIndirect& canvas, std::span<const std::uint8_t> samples, std::int16_t W, std::int16_t H)
{
    // Panels today are as often dark as light, and what lies behind an icon
    // is not known (a StatusNotifierItem host draws it itself): every class
    // gets the opaque background that classes 2 and 3 have.
    canvas.DrawRect(0, 0, W, H, static_cast<LONG>(TrayBackground()));
    canvas.DrawLine(0, 0, W - 1, 0, sysColour(COLOR_BTNSHADOW));
    canvas.DrawLine(0, 0, 0, H - 1, sysColour(COLOR_BTNSHADOW));
    canvas.DrawLine(W - 1, 0, W - 1, H - 1, sysColour(COLOR_BTNHIGHLIGHT));
    canvas.DrawLine(0, H - 1, W - 1, H - 1, sysColour(COLOR_BTNHIGHLIGHT));

    std::int16_t prev = RoundTo<std::int16_t>(H / 2.0);
    for (std::int32_t x = 1; x <= W; ++x) {
        const std::int16_t y = RowOfColumn(samples, x, W, H, trayFullScale);
        canvas.DrawLine(x, prev, x, y, blue, 1);
        prev = y;
    }
}

}  // namespace

COLORREF TrayBackground()
{
    const auto face = static_cast<COLORREF>(GetSysColor(COLOR_BTNFACE));
    return ContrastRatio(face, static_cast<COLORREF>(blue)) >= legibleContrast ? face : classicFace;
}

std::int16_t TrayLevel(std::span<const std::uint8_t> samples, std::int16_t height)
{
    if (samples.empty()) return 0;
    // A 64-bit sum over a size_t counter: any block length is summed whole.
    std::int64_t sum = 0;
    for (const std::uint8_t sample : samples) sum += std::abs(static_cast<int>(sample) - 127);
    const double n = static_cast<double>(samples.size());
    return RoundTo<std::int16_t>(height * (static_cast<double>(sum) / n / 127.0));
}

void RenderTrayFrame(std::span<const std::uint8_t> samples, LONG lTrayStyle, LONG /*lPlatform*/, HWND hTray)
{
    const auto draw = [&](IconIndirect& canvas, std::int16_t W, std::int16_t H) {
        canvas.Create(W, H);
        if (lTrayStyle == 0) {
            drawTrace(canvas, samples, W, H);
        } else if (lTrayStyle == 1) {
            const std::int16_t level = TrayLevel(samples, H);
            canvas.DrawRect(0, H - level, W, H, green);
        }
    };
    // A host that picks a size of its own gets the picture drawn at each
    // size it may pick, not one picture to scale.
    IconIndirect other;
    for (const IconSize& size : NotifyIconMoreSizes(hTray, 1)) {
        draw(other, NarrowTo<std::int16_t>(size.width), NarrowTo<std::int16_t>(size.height));
        AddNotifyIconPicture(hTray, 1, other.Icon());
    }

    IconIndirect canvas;
    draw(canvas, NarrowTo<std::int16_t>(IconIndirect::DefaultWidthSmall()),
         NarrowTo<std::int16_t>(IconIndirect::DefaultHeightSmall()));
    TrayModify(hTray, canvas.Icon(), std::nullopt, 1);
}

}  // namespace kelvo
