#include "gdi/raster.h"

#include <algorithm>
#include <cstdlib>

namespace gdi::raster {

namespace {

// Products of two 33-bit coordinates need more than 64 bits.
__extension__ using Wide = __int128;

// Position along a line: the major axis advances one pixel per step, the minor
// axis by the rounded fraction of the step.
struct LineWalk {
    bool xMajor;
    std::int64_t major0, minor0;
    std::int64_t majorLen, minorLen;  // absolute deltas
    int majorSign, minorSign;

    LineWalk(POINT a, POINT b)
    {
        const std::int64_t dx = std::int64_t{b.x} - a.x;
        const std::int64_t dy = std::int64_t{b.y} - a.y;
        xMajor = std::llabs(dx) >= std::llabs(dy);
        major0 = xMajor ? a.x : a.y;
        minor0 = xMajor ? a.y : a.x;
        const std::int64_t dMajor = xMajor ? dx : dy;
        const std::int64_t dMinor = xMajor ? dy : dx;
        majorLen = std::llabs(dMajor);
        minorLen = std::llabs(dMinor);
        majorSign = dMajor < 0 ? -1 : 1;
        minorSign = dMinor < 0 ? -1 : 1;
    }

    // Numerator over 2 * majorLen of the minor offset at step i: i * minorLen
    // / majorLen rounded, halves towards the smaller minor coordinate as
    // Windows does. Closed form, so a clipped walk can start anywhere.
    Wide offsetNumerator(std::int64_t i) const { return Wide{2} * i * minorLen + majorLen - (minorSign > 0 ? 1 : 0); }

    // Steps in [first, last] whose major coordinate lies in [lo, hi].
    void stepsFor(std::int64_t lo, std::int64_t hi, std::int64_t& first, std::int64_t& last) const
    {
        if (majorSign > 0) {
            first = lo - major0;
            last = hi - major0;
        } else {
            first = major0 - hi;
            last = major0 - lo;
        }
    }
};

}  // namespace

void Canvas::fill(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom, std::uint32_t v)
{
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, width_);
    bottom = std::min<std::int64_t>(bottom, height_);
    if (left >= right || top >= bottom)
        return;
    for (std::int64_t y = top; y < bottom; ++y) {
        std::uint32_t* row = pixels_ + y * width_;
        std::fill(row + left, row + right, v);
    }
}

void ThinSegment(Canvas& canvas, POINT from, POINT to, COLORREF colour)
{
    const LineWalk walk(from, to);
    if (walk.majorLen == 0)
        return;
    const std::uint32_t v = canvas.device(colour);
    const std::int64_t majorSize = walk.xMajor ? canvas.width() : canvas.height();
    const std::int64_t minorSize = walk.xMajor ? canvas.height() : canvas.width();

    // Only the steps whose major coordinate is on the canvas; the end point
    // (step majorLen) is left out.
    std::int64_t first = 0;
    std::int64_t last = 0;
    walk.stepsFor(0, majorSize - 1, first, last);
    first = std::max<std::int64_t>(first, 0);
    last = std::min<std::int64_t>(last, walk.majorLen - 1);
    if (first > last)
        return;

    const std::int64_t twiceMajor = 2 * walk.majorLen;
    const std::int64_t twiceMinor = 2 * walk.minorLen;
    const Wide num = walk.offsetNumerator(first);
    std::int64_t offset = static_cast<std::int64_t>(num / twiceMajor);
    std::int64_t error = static_cast<std::int64_t>(num % twiceMajor);
    for (std::int64_t i = first; i <= last; ++i) {
        const std::int64_t major = walk.major0 + walk.majorSign * i;
        const std::int64_t minor = walk.minor0 + walk.minorSign * offset;
        if (minor >= 0 && minor < minorSize) {
            if (walk.xMajor)
                canvas.plot(major, minor, v);
            else
                canvas.plot(minor, major, v);
        }
        error += twiceMinor;
        if (error >= twiceMajor) {
            error -= twiceMajor;
            ++offset;
        }
    }
}

}  // namespace gdi::raster
