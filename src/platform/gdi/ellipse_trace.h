// gdi32's ellipse trace, shared by ellipses and pies: Alois Zingl's
// incremental ellipse in a rectangle, run over the box's corner pixels
// without the finishing steps that give very thin ellipses their tips.
#pragma once

#include <cstdint>

namespace gdi::raster {

__extension__ using Wide = __int128;

// Calls step(x0, x1, y0, y1) for each step of the trace of the half-open box,
// whose width and height are at least 1: (x1, y1) walks the upper right
// quarter from the right-hand end of the middle to the top, (x0, y0) the
// mirror image in the lower left; x0 + x1 = left + right - 1 and y0 + y1 =
// top + bottom - 1 throughout.
template <class Step>
void TraceEllipse(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom, Step step)
{
    const Wide a = right - left - 1;
    const Wide b = bottom - top - 1;
    const Wide odd = b & 1;
    Wide dx = 4 * (1 - a) * b * b;
    Wide dy = 4 * (odd + 1) * a * a;
    Wide err = dx + dy + odd * a * a;
    std::int64_t x0 = left;
    std::int64_t x1 = right - 1;
    std::int64_t y0 = top + static_cast<std::int64_t>((b + 1) / 2);
    std::int64_t y1 = y0 - static_cast<std::int64_t>(odd);
    do {
        step(x0, x1, y0, y1);
        const Wide e2 = 2 * err;
        if (e2 <= dy) {
            ++y0;
            --y1;
            err += dy += 8 * a * a;
        }
        if (e2 >= dx) {
            ++x0;
            --x1;
            err += dx += 8 * b * b;
        }
    } while (x0 <= x1);
}

}  // namespace gdi::raster
