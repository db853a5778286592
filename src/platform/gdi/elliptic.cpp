#include "gdi/raster.h"

#include "gdi/ellipse_trace.h"
#include "gdi/pie.h"

#include <algorithm>
#include <vector>

namespace gdi::raster {

namespace {

// The rows of a filled ellipse as gdi32 rasterizes it: each row covers what
// lies between the traced curve's pixels. Only the rows in [first, last] are
// kept.
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
        TraceEllipse(left, top, right, bottom,
                     [this](std::int64_t x0, std::int64_t x1, std::int64_t y0, std::int64_t y1) {
                         keep(y0, x0, x1);
                         keep(y1, x0, x1);
                     });
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
    if (r1 && r2) {
        if (right > left && bottom > top)
            PieShape(canvas, RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
                                  static_cast<LONG>(bottom)},
                     *r1, *r2, penWidth, pen, filled, brush);
        return true;
    }
    const std::int64_t y0 = std::max<std::int64_t>(top, 0);
    const std::int64_t y1 = std::min<std::int64_t>(bottom, canvas.height());
    if (y0 >= y1)
        return true;
    const std::uint32_t penValue = canvas.device(pen);
    const std::uint32_t brushValue = canvas.device(brush);
    // A pen wider than the shape outlines all of it.
    const std::int64_t reach = std::min<std::int64_t>(std::max(penWidth, 0), std::max(right - left, bottom - top));
    const EllipseRows rows(left, top, right, bottom, y0 - reach, y1 - 1 + reach);

    for (std::int64_t y = y0; y < y1; ++y) {
        std::int64_t l = 0, r = 0;
        if (!rows.span(y, l, r))
            continue;
        // Outline: the pixels within the pen's width of the edge. The rows
        // narrow steadily from the middle, so that is each row less what its
        // neighbours up to the pen's width share.
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
            if (x < innerL || x > innerR)
                canvas.plot(x, y, penValue);
            else if (filled)
                canvas.plot(x, y, brushValue);
        }
    }
    return true;
}

}  // namespace gdi::raster
