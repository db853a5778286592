// Pies as gdi32 draws them.
#pragma once

#include "gdi/raster.h"

namespace gdi::raster {

// The pie of the ellipse in the ordered, non-empty half-open box from the
// radial through r1 counter-clockwise (on screen) to the one through r2.
// penWidth 0 draws no outline.
void PieShape(Canvas& canvas, RECT box, POINT r1, POINT r2, int penWidth, COLORREF pen, bool filled,
              COLORREF brush);

}  // namespace gdi::raster
