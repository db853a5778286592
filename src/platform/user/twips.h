// Form designs measure in twips, 1440 to the inch: 15 to the pixel on a
// 96 dpi screen. Sizes follow the screen's logical dpi, as fonts do.
#pragma once

#include <QRect>

namespace user {

// Pixels for `twips` at `dpi` (rounded to nearest, halves to even).
int TwipsToPixels(int twips, double dpi);
// The primary screen's logical dpi, 96 when there is no screen.
double LogicalDpi();
// A designed rectangle in pixels of the primary screen.
QRect TwipsRect(int left, int top, int width, int height);

}  // namespace user
