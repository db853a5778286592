// libFuzzer target for reading bitmap files: any input either gives a whole
// 32 bpp bitmap or fails with a result code, and nothing is left behind.
#include "ddraw/bitmap_file.h"
#include "gdi/gdi_access.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int before = gdi::LiveObjectCount();
    HBITMAP bitmap = nullptr;
    const HRESULT hr = ddraw::DecodeBitmap(data, size, bitmap);
    if (SUCCEEDED(hr)) {
        const gdi::PixelView view = gdi::BitmapPixels(bitmap);
        if (!view.bits || view.width < 1 || view.height < 1) std::abort();
        if (!DeleteObject(bitmap)) std::abort();
    } else if (bitmap || (hr != DDERR_GENERIC && hr != DDERR_OUTOFMEMORY)) {
        std::abort();
    }
    if (gdi::LiveObjectCount() != before) std::abort();
    return 0;
}
