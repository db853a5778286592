#include "gdi/raster.h"

#include <algorithm>
#include <vector>

namespace gdi::raster {

namespace {

__extension__ using Wide = __int128;

// The rows of a filled ellipse as gdi32 rasterizes it: the curve is traced
// by an incremental algorithm over the box's corner pixels (Alois Zingl's
// ellipse in a rectangle), and each row covers what lies between the curve's
// pixels. Very thin ellipses lose their tips, as they do in gdi32. Only the
// rows in [first, last] are kept.
class EllipseRows {
public:
    EllipseRows(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom, std::int64_t first,
                std::int64_t last)
        : first_(first), rows_(static_cast<std::size_t>(std::max<std::int64_t>(last - first + 1, 0)))
    {
        const std::int64_t w = right - left;
        const std::int64_t h = bottom - top;
        if (w <= 0 || h <= 0 || (w == 1 && h == 1))
            return;
        if (w <= 2 || h <= 2) {  // the whole box
            for (std::int64_t y = top; y < bottom; ++y)
                keep(y, left, right - 1);
            return;
        }
        const Wide a = w - 1;
        const Wide b = h - 1;
        const Wide odd = b & 1;
        Wide dx = 4 * (1 - a) * b * b;
        Wide dy = 4 * (odd + 1) * a * a;
        Wide err = dx + dy + odd * a * a;
        std::int64_t x0 = left;
        std::int64_t x1 = right - 1;
        std::int64_t y0 = top + static_cast<std::int64_t>((b + 1) / 2);
        std::int64_t y1 = y0 - static_cast<std::int64_t>(odd);
        do {
            keep(y0, x0, x1);
            keep(y1, x0, x1);
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

    // The span of row y; false when the row is empty or not kept.
    bool span(std::int64_t y, std::int64_t& left, std::int64_t& right) const
    {
        if (y < first_ || y >= first_ + static_cast<std::int64_t>(rows_.size()) || !rows_[y - first_].set)
            return false;
        left = rows_[y - first_].left;
        right = rows_[y - first_].right;
        return true;
    }
    bool contains(std::int64_t x, std::int64_t y) const
    {
        std::int64_t l = 0, r = 0;
        return span(y, l, r) && x >= l && x <= r;
    }

private:
    // A row's first visit is its widest: the trace only narrows.
    void keep(std::int64_t y, std::int64_t left, std::int64_t right)
    {
        if (y < first_ || y >= first_ + static_cast<std::int64_t>(rows_.size()))
            return;
        Row& row = rows_[y - first_];
        if (!row.set)
            row = Row{true, left, right};
    }

    struct Row {
        bool set = false;
        std::int64_t left = 0, right = 0;
    };
    std::int64_t first_;
    std::vector<Row> rows_;
};

// Which side of the two radials a pixel lies on, in doubled coordinates
// relative to the box's centre so that everything stays integral.
class Wedge {
public:
    Wedge(std::int64_t sumX, std::int64_t sumY, const POINT* r1, const POINT* r2) : sumX_(sumX), sumY_(sumY)
    {
        if (!r1 || !r2)
            return;
        radial(*r1, ax_, ay_);
        radial(*r2, bx_, by_);
        const Wide cross = ax_ * by_ - ay_ * bx_;
        const Wide dot = ax_ * bx_ + ay_ * by_;
        cut_ = !(cross == 0 && dot > 0);  // equal radials give the whole ellipse
        reflex_ = cross < 0;
    }

    bool contains(std::int64_t x, std::int64_t y) const
    {
        if (!cut_)
            return true;
        // Counter-clockwise on screen is counter-clockwise with y pointing up.
        const Wide px = Wide{2} * x + 1 - sumX_;
        const Wide py = -(Wide{2} * y + 1 - sumY_);
        const Wide fromA = ax_ * py - ay_ * px;
        const Wide toB = px * by_ - py * bx_;
        return reflex_ ? (fromA >= 0 || toB >= 0) : (fromA >= 0 && toB >= 0);
    }
    bool cuts() const { return cut_; }

private:
    void radial(POINT p, Wide& x, Wide& y) const
    {
        x = Wide{2} * p.x - sumX_;
        y = -(Wide{2} * p.y - sumY_);
        if (x == 0 && y == 0)
            x = 1;  // a radial point at the centre has no direction; take the right-hand one
    }

    std::int64_t sumX_, sumY_;
    Wide ax_ = 0, ay_ = 0, bx_ = 0, by_ = 0;
    bool cut_ = false;
    bool reflex_ = false;
};

}  // namespace

bool EllipticShape(Canvas& canvas, RECT box, const POINT* r1, const POINT* r2, int penWidth, COLORREF pen,
                   bool filled, COLORREF brush)
{
    const std::int64_t left = std::min(box.left, box.right);
    const std::int64_t right = std::max(box.left, box.right);
    const std::int64_t top = std::min(box.top, box.bottom);
    const std::int64_t bottom = std::max(box.top, box.bottom);
    // The trace takes a step per row and column; beyond this it would take too long.
    constexpr std::int64_t kMaxExtent = std::int64_t{1} << 20;
    if (right - left > kMaxExtent || bottom - top > kMaxExtent)
        return false;
    const std::int64_t y0 = std::max<std::int64_t>(top, 0);
    const std::int64_t y1 = std::min<std::int64_t>(bottom, canvas.height());
    if (y0 >= y1)
        return true;
    const std::uint32_t penValue = canvas.device(pen);
    const std::uint32_t brushValue = canvas.device(brush);
    // A pen wider than the shape outlines all of it.
    const std::int64_t reach = std::min<std::int64_t>(std::max(penWidth, 0), std::max(right - left, bottom - top));
    const EllipseRows rows(left, top, right, bottom, y0 - reach, y1 - 1 + reach);
    const Wedge wedge(left + right, top + bottom, r1, r2);
    const auto inside = [&](std::int64_t x, std::int64_t y) { return rows.contains(x, y) && wedge.contains(x, y); };

    for (std::int64_t y = y0; y < y1; ++y) {
        std::int64_t l = 0, r = 0;
        if (!rows.span(y, l, r))
            continue;
        // Outline: the pixels within the pen's width of the shape's edge. For
        // a whole ellipse, whose rows narrow steadily from the middle, that is
        // each row less what its neighbours up to the pen's width share.
        std::int64_t innerL = l + reach;
        std::int64_t innerR = r - reach;
        for (std::int64_t k = 1; k <= reach && innerL <= innerR; ++k) {
            std::int64_t ul = 0, ur = 0, dl = 0, dr = 0;
            if (!rows.span(y - k, ul, ur) || !rows.span(y + k, dl, dr)) {
                innerL = r + 1;
                break;
            }
            innerL = std::max({innerL, ul, dl});
            innerR = std::min({innerR, ur, dr});
        }
        const std::int64_t x0 = std::max<std::int64_t>(l, 0);
        const std::int64_t x1 = std::min<std::int64_t>(r + 1, canvas.width());
        for (std::int64_t x = x0; x < x1; ++x) {
            bool edge = x < innerL || x > innerR;
            if (wedge.cuts()) {
                if (!wedge.contains(x, y))
                    continue;
                for (std::int64_t k = 1; k <= reach && !edge; ++k)
                    edge = !inside(x - k, y) || !inside(x + k, y) || !inside(x, y - k) || !inside(x, y + k);
            }
            if (edge)
                canvas.plot(x, y, penValue);
            else if (filled)
                canvas.plot(x, y, brushValue);
        }
    }
    return true;
}

}  // namespace gdi::raster
