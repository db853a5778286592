// The one pixel copy behind every blit: a source rectangle onto a
// destination rectangle, stretched when the sizes differ, limited to a clip
// rectangle of the destination.
#pragma once

#include "gdi/gdi_access.h"
#include "win32/win32.h"

namespace ddraw {

// Both rectangles are non-empty and `src` lies within `from`. Destination
// pixel i of a row shows source pixel floor((2i + 1) * srcWidth / (2 * destWidth)),
// the one under its centre (likewise for rows). Only pixels inside both
// `clip` and `to` are written. `to` and `from` must not share pixels.
void StretchCopy(const gdi::PixelView& to, const RECT& dest, const RECT& clip, const gdi::PixelView& from,
                 const RECT& src);

// The overlap of two rectangles (empty, left >= right, when none).
RECT Intersect(const RECT& a, const RECT& b);
bool IsEmpty(const RECT& r);
bool IsAllZero(const RECT& r);

}  // namespace ddraw
