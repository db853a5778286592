// gdi32 draws a pie as a polygon: the run of the traced ellipse's pixels
// between the radials, closed through the box's centre, filled with the brush
// and then outlined with the pen.
#include "gdi/pie.h"

#include "gdi/ellipse_trace.h"

#include <algorithm>
#include <vector>

namespace gdi::raster {

namespace {

// The traced ellipse's pixels counter-clockwise (on screen) from the
// right-hand end of the upper half: four quarters of equal length, the upper
// right one in trace order and the others its mirror images.
class Outline {
public:
    Outline(RECT box, POINT centre) : box_(box), centre_(centre)
    {
        TraceEllipse(box.left, box.top, box.right, box.bottom,
                     [this](std::int64_t, std::int64_t x1, std::int64_t, std::int64_t y1) {
                         upperRight_.push_back(POINT{static_cast<LONG>(x1), static_cast<LONG>(y1)});
                     });
    }

    std::size_t quarter() const { return upperRight_.size(); }
    std::size_t size() const { return 4 * quarter(); }

    // What the radials are compared with: the offset from the centre, y
    // pointing up, of pixel i's mirror image in the upper right quarter
    // taken from the lower middle row, with the signs of pixel i's quarter.
    // For an even size that is not the pixel's own offset.
    POINT offset(std::size_t i) const
    {
        const std::size_t q = i / quarter();
        const POINT p = upperRight_[step(q, i % quarter())];
        const LONG x = p.x - centre_.x;
        const LONG y = mirrorY(p.y) - centre_.y;
        return POINT{q == 1 || q == 2 ? -x : x, q >= 2 ? -y : y};
    }

    // Calls f(pixel) for the pixels first, first + 1, ... before end, round
    // the outline.
    template <class F>
    void visit(std::size_t first, std::size_t end, F f) const
    {
        for (std::size_t i = first; i < end;) {
            const std::size_t q = (i / quarter()) % 4;
            const std::size_t k = i % quarter();
            const std::size_t count = std::min(end - i, quarter() - k);
            for (std::size_t c = k; c < k + count; ++c) {
                const POINT p = upperRight_[step(q, c)];
                f(POINT{q == 1 || q == 2 ? mirrorX(p.x) : p.x, q >= 2 ? mirrorY(p.y) : p.y});
            }
            i += count;
        }
    }

private:
    // The trace step of the k-th pixel of quarter q: the upper right and
    // lower left quarters run with the trace, the others against it.
    std::size_t step(std::size_t q, std::size_t k) const { return q % 2 == 0 ? k : quarter() - 1 - k; }
    LONG mirrorX(LONG x) const { return static_cast<LONG>(std::int64_t{box_.left} + box_.right - 1 - x); }
    LONG mirrorY(LONG y) const { return static_cast<LONG>(std::int64_t{box_.top} + box_.bottom - 1 - y); }

    RECT box_;
    POINT centre_;
    std::vector<POINT> upperRight_;
};

// The index of the first pixel of the arc beyond the radial through r: the
// radial picks a quarter (its x >= 0 counts as right, y >= 0 as upper), and
// within that quarter the first pixel counter-clockwise of it. A pixel on
// the radial counts as lying to its left.
std::size_t Beyond(const Outline& outline, POINT centre, POINT r)
{
    const Wide dx = Wide{r.x} - centre.x;
    const Wide dy = Wide{centre.y} - r.y;
    const std::size_t q = dy >= 0 ? (dx >= 0 ? 0 : 1) : (dx < 0 ? 2 : 3);
    const std::size_t end = (q + 1) * outline.quarter();
    std::size_t i = q * outline.quarter();
    for (; i < end; ++i) {
        const POINT p = outline.offset(i);
        const Wide cross = dx * p.y - dy * p.x;
        if (cross > 0 || (cross == 0 && q < 2))
            break;
    }
    return i;
}

// Calls f(from, to) for each edge of the pie's closed outline: from the
// centre along the arc's pixels [first, end) and back to the centre.
template <class F>
void PieEdges(const Outline& outline, std::size_t first, std::size_t end, POINT centre, F f)
{
    POINT from = centre;
    outline.visit(first, end, [&](POINT to) {
        f(from, to);
        from = to;
    });
    f(from, centre);
}

// Rows [top, bottom) of a polygon filled as gdi32 fills one: a pixel is in
// when its top left corner is inside, left and top edges included.
class PolygonRows {
public:
    PolygonRows(std::int64_t top, std::int64_t bottom)
        : top_(top), rows_(static_cast<std::size_t>(std::max<std::int64_t>(bottom - top, 0)))
    {
    }

    void edge(POINT p, POINT q)
    {
        const std::int64_t bottom = top_ + static_cast<std::int64_t>(rows_.size());
        const std::int64_t y0 = std::max<std::int64_t>(std::min(p.y, q.y), top_);
        const std::int64_t y1 = std::min<std::int64_t>(std::max(p.y, q.y), bottom);
        for (std::int64_t y = y0; y < y1; ++y) {
            // p.x + (y - p.y) (q.x - p.x) / (q.y - p.y), rounded up
            Wide num = Wide{y - p.y} * (std::int64_t{q.x} - p.x);
            Wide den = std::int64_t{q.y} - p.y;
            if (den < 0)
                num = -num, den = -den;
            const Wide up = num >= 0 ? (num + den - 1) / den : -(-num / den);
            rows_[static_cast<std::size_t>(y - top_)].push_back(p.x + static_cast<std::int64_t>(up));
        }
    }

    void fill(Canvas& canvas, std::uint32_t value)
    {
        for (std::size_t r = 0; r < rows_.size(); ++r) {
            std::vector<std::int64_t>& xs = rows_[r];
            std::sort(xs.begin(), xs.end());
            const std::int64_t y = top_ + static_cast<std::int64_t>(r);
            for (std::size_t i = 0; i + 1 < xs.size(); i += 2)
                canvas.fill(xs[i], y, xs[i + 1], y + 1, value);
        }
    }

private:
    std::int64_t top_;
    std::vector<std::vector<std::int64_t>> rows_;  // where edges cross each row
};

}  // namespace

void PieShape(Canvas& canvas, RECT box, POINT r1, POINT r2, int penWidth, COLORREF pen, bool filled,
              COLORREF brush)
{
    const POINT centre{static_cast<LONG>((std::int64_t{box.left} + box.right) >> 1),
                       static_cast<LONG>((std::int64_t{box.top} + box.bottom) >> 1)};
    const Outline outline(box, centre);
    const std::size_t first = Beyond(outline, centre, r1);
    std::size_t end = Beyond(outline, centre, r2);
    if (end <= first)
        end += outline.size();

    if (filled) {
        PolygonRows rows(std::max<std::int64_t>(box.top, 0), std::min<std::int64_t>(box.bottom, canvas.height()));
        PieEdges(outline, first, end, centre, [&](POINT a, POINT b) { rows.edge(a, b); });
        rows.fill(canvas, canvas.device(brush));
    }
    if (penWidth <= 0)
        return;
    // A segment wholly beside the canvas, pen included, paints nothing there.
    const std::int64_t reach = penWidth;
    PieEdges(outline, first, end, centre, [&](POINT a, POINT b) {
        if (std::max(a.x, b.x) + reach < 0 || std::max(a.y, b.y) + reach < 0
            || std::min(a.x, b.x) - reach >= canvas.width() || std::min(a.y, b.y) - reach >= canvas.height())
            return;
        if (penWidth > 1)
            WideSegment(canvas, a, b, penWidth, pen);
        else
            ThinSegment(canvas, a, b, pen);
    });
}

}  // namespace gdi::raster
