#include "ddraw/stretch.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ddraw {

RECT Intersect(const RECT& a, const RECT& b)
{
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

bool IsAllZero(const RECT& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }

void StretchCopy(const gdi::PixelView& to, const RECT& dest, const RECT& clip, const gdi::PixelView& from,
                 const RECT& src)
{
    const RECT area = Intersect(Intersect(dest, clip), RECT{0, 0, to.width, to.height});
    if (IsEmpty(area) || !to.bits || !from.bits) return;
    const std::int64_t dw = std::int64_t{dest.right} - dest.left;
    const std::int64_t dh = std::int64_t{dest.bottom} - dest.top;
    const std::int64_t sw = std::int64_t{src.right} - src.left;
    const std::int64_t sh = std::int64_t{src.bottom} - src.top;
    const auto columns = static_cast<std::size_t>(area.right - area.left);

    // Source column of every destination column, worked out once.
    std::vector<std::int64_t> sourceColumn(columns);
    for (std::size_t i = 0; i < columns; ++i) {
        const std::int64_t x = area.left + static_cast<std::int64_t>(i) - dest.left;
        sourceColumn[i] = src.left + (2 * x + 1) * sw / (2 * dw);
    }
    const bool sameWidth = sw == dw;
    for (LONG y = area.top; y < area.bottom; ++y) {
        const std::int64_t sy = src.top + (2 * (std::int64_t{y} - dest.top) + 1) * sh / (2 * dh);
        const std::uint32_t* in = from.bits + sy * from.stride;
        std::uint32_t* out = to.bits + static_cast<std::int64_t>(y) * to.stride + area.left;
        if (sameWidth) {
            std::memcpy(out, in + sourceColumn[0], columns * sizeof(std::uint32_t));
        } else {
            for (std::size_t i = 0; i < columns; ++i) out[i] = in[sourceColumn[i]];
        }
    }
}

}  // namespace ddraw
