// Lines of geometric pens wider than one pixel, drawn as gdi32 draws them
// with round caps and joins: each segment is a parallelogram, the segment
// pushed out to both sides by half the width and rounded to whole pixels,
// filled like a polygon; every end point adds a disc as wide as the pen.
#include "gdi/raster.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace gdi::raster {

namespace {

__extension__ using Wide = __int128;
__extension__ using UWide = unsigned __int128;

// floor(num / sqrt(s)) for num >= 0 and s > 0, exactly; the quotient is small
// (at most the width).
std::int64_t FloorOverRoot(Wide num, Wide s)
{
    // q * sqrt(s) <= num
    const auto atMost = [&](std::int64_t q) {
        const auto qq = static_cast<UWide>(q);
        return qq * qq * static_cast<UWide>(s) <= static_cast<UWide>(num) * static_cast<UWide>(num);
    };
    auto q = static_cast<std::int64_t>(
        std::floor(static_cast<long double>(num) / std::sqrt(static_cast<long double>(s))));
    q = std::max<std::int64_t>(q, 0);
    while (q > 0 && !atMost(q))
        --q;
    while (atMost(q + 1))
        ++q;
    return q;
}

// One side's corner offset: half the width along the normal (nx, ny), whose
// length is sqrt(s), rounded as gdi32 rounds it. Along the axes that is the
// pen's box, as for the caps. Otherwise the side whose normal points right
// goes to the next whole pixel outwards, even from a whole one, and the other
// side to the nearest (halves outwards): wide lines come out about a pixel
// thicker than exact.
POINT Offset(std::int64_t nx, std::int64_t ny, Wide s, int width)
{
    const auto round = [&](std::int64_t n) -> LONG {
        if (n == 0)
            return 0;
        if (nx == 0 || ny == 0)
            return n > 0 ? width - width / 2 : -(width / 2);
        // Twice the component's size: |n| * width / sqrt(s).
        const std::int64_t twice = FloorOverRoot(Wide{n < 0 ? -n : n} * width, s);
        const std::int64_t size = nx > 0 ? twice / 2 + 1 : (twice + 1) / 2;
        return static_cast<LONG>(n > 0 ? size : -size);
    };
    return POINT{round(nx), round(ny)};
}

struct Vertex {
    std::int64_t x, y;
};

// Polygon fill: in each row the pixels from a left edge inclusive to a right
// edge exclusive, pixel centres on whole coordinates.
void FillPolygon(Canvas& canvas, const Vertex* v, int n, std::uint32_t value)
{
    std::int64_t top = v[0].y;
    std::int64_t bottom = v[0].y;
    for (int i = 1; i < n; ++i) {
        top = std::min(top, v[i].y);
        bottom = std::max(bottom, v[i].y);
    }
    top = std::max<std::int64_t>(top, 0);
    bottom = std::min<std::int64_t>(bottom, canvas.height());
    std::int64_t crossings[4];
    for (std::int64_t y = top; y < bottom; ++y) {
        int count = 0;
        for (int i = 0; i < n && count < 4; ++i) {
            Vertex a = v[i];
            Vertex b = v[(i + 1) % n];
            if (a.y == b.y)
                continue;
            if (a.y > b.y)
                std::swap(a, b);
            if (y < a.y || y >= b.y)
                continue;
            // ceil(a.x + (b.x - a.x) (y - a.y) / (b.y - a.y))
            const Wide num = Wide{a.x} * (b.y - a.y) + Wide{b.x - a.x} * (y - a.y);
            const Wide den = b.y - a.y;
            const Wide q = num / den;
            crossings[count++] = static_cast<std::int64_t>(q + (num % den > 0 ? 1 : 0));
        }
        std::sort(crossings, crossings + count);
        for (int i = 0; i + 1 < count; i += 2)
            canvas.fill(crossings[i], y, crossings[i + 1], y + 1, value);
    }
}

// The disc of a round cap or join: the ellipse gdi32 draws in a box as wide
// as the pen whose centre pixel is the point (left of centre when even).
void Cap(Canvas& canvas, POINT p, int width, COLORREF colour)
{
    const std::int64_t left = std::int64_t{p.x} - width / 2;
    const std::int64_t top = std::int64_t{p.y} - width / 2;
    if (left >= canvas.width() || top >= canvas.height() || left + width <= 0 || top + width <= 0
        || std::min(left, top) < std::numeric_limits<LONG>::min()
        || std::max(left, top) + width > std::numeric_limits<LONG>::max())
        return;
    const RECT box{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(left + width),
                   static_cast<LONG>(top + width)};
    EllipticShape(canvas, box, nullptr, nullptr, 1, colour, true, colour);
}

}  // namespace

void WideSegment(Canvas& canvas, POINT from, POINT to, int width, COLORREF colour)
{
    Cap(canvas, from, width, colour);
    Cap(canvas, to, width, colour);
    const std::int64_t dx = std::int64_t{to.x} - from.x;
    const std::int64_t dy = std::int64_t{to.y} - from.y;
    if (dx == 0 && dy == 0)
        return;
    const Wide s = Wide{dx} * dx + Wide{dy} * dy;
    const POINT a = Offset(dy, -dx, s, width);
    const POINT b = Offset(-dy, dx, s, width);
    const Vertex corners[4] = {{from.x + std::int64_t{a.x}, from.y + std::int64_t{a.y}},
                               {to.x + std::int64_t{a.x}, to.y + std::int64_t{a.y}},
                               {to.x + std::int64_t{b.x}, to.y + std::int64_t{b.y}},
                               {from.x + std::int64_t{b.x}, from.y + std::int64_t{b.y}}};
    FillPolygon(canvas, corners, 4, canvas.device(colour));
}

}  // namespace gdi::raster
