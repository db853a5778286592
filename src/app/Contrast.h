// Contrast between two colours as WCAG 2 measures it: the ratio of their
// relative luminances, each plus 0.05, from 1 (none) to 21 (black on white).
#pragma once

#include "win32/win32.h"

namespace kelvo {

double RelativeLuminance(COLORREF colour);
double ContrastRatio(COLORREF a, COLORREF b);

}  // namespace kelvo
