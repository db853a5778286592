// Bitmap files as GDI bitmaps, read with Qt's BMP reader.
#pragma once

#include "ddraw/ddraw.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace ddraw {

// A 32 bpp GDI bitmap with the picture of BMP data; DDERR_GENERIC when the
// data is not a BMP picture that can be read whole, DDERR_OUTOFMEMORY when
// it is too large for a bitmap.
HRESULT DecodeBitmap(const std::uint8_t* data, std::size_t size, HBITMAP& bitmap);
// The same for a file; DDERR_NOTFOUND when it cannot be opened or is not a
// regular file (a FIFO, say), which is never waited for.
HRESULT ReadBitmapFile(const std::string& path, HBITMAP& bitmap);

}  // namespace ddraw
