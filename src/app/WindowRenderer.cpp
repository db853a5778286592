// The window display drawn with GDI: one polyline through the block.
#include "app/SampleMapping.h"
#include "app/frmMain.h"
#include "common/RuntimeError.h"
#include "gdi/gdi.h"

#include <vector>

void frmMain::RenderWindowFrame(std::span<const std::uint8_t> samples)
{
    const auto W = RoundTo<std::int16_t>(picCanvas->ScaleWidth());
    const auto H = RoundTo<std::int16_t>(picCanvas->ScaleHeight());
    std::vector<POINT> points(static_cast<std::size_t>(std::max<std::int16_t>(W, 0)));
    for (std::int16_t x = 1; x <= W; ++x) {
        points[x - 1] = POINT{x, kelvo::RowOfColumn(samples, x, W, H, state.iFullScale)};
    }
    picCanvas->Cls();
    Polyline(picCanvas->hDC(), points.data(), W);
    picCanvas->Refresh();
}
