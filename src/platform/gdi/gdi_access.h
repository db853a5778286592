// What the window glue needs from the software GDI beyond the Windows calls:
// a view of a bitmap's pixels (to blit a canvas to the screen) and the
// picture an icon shows (to hand it to the notification area).
#pragma once

#include "gdi/gdi.h"

#include <cstdint>
#include <vector>

namespace gdi {

// Pixels of a 32 bpp bitmap, rows top-down, each pixel 0x00RRGGBB (the memory
// layout of a 32-bit DIB and of QImage::Format_RGB32). Empty when `bitmap` is
// not a 32 bpp bitmap.
struct PixelView {
    std::uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;  // in pixels
};
PixelView BitmapPixels(HBITMAP bitmap);

// The bitmap currently selected into a DC (0 when `hdc` is not a DC).
HBITMAP SelectedBitmap(HDC hdc);

// The picture an icon shows, as premultiplied-free ARGB (0xAARRGGBB) pixels,
// rows top-down: transparent where the mask is set and the colour is black,
// opaque colour where the mask is clear.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};
bool IconPicture(HICON icon, IconImage& out);

// Number of live GDI objects (DCs, bitmaps, pens, brushes, icons), stock
// objects excluded; for leak checks in tests.
int LiveObjectCount();

// The screen size that GetDeviceCaps reports as HORZRES and VERTRES
// (1024 x 768 until set); the window glue sets it from the real screen.
void SetDisplaySize(int width, int height);

}  // namespace gdi
