#include "app/AppletIconHandle.h"

#include "app/Artwork.h"
#include "app/GdiHandles.h"
#include "gdi/gdi.h"

namespace kelvo {

AppletIconHandle::AppletIconHandle(int size)
{
    const QImage image = IconImage(size).convertToFormat(QImage::Format_ARGB32);
    GdiObject<HBITMAP> mask(CreateBitmap(size, size, 1, 1, nullptr));
    GdiObject<HBITMAP> colour(CreateBitmap(size, size, 1, 32, nullptr));
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc || !mask || !colour) {
        if (dc) DeleteDC(dc);
        return;
    }
    // Transparent pixels: mask set over black, as an AND/XOR icon has them.
    HGDIOBJ old = SelectObject(dc, mask.get());
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) SetPixel(dc, x, y, qAlpha(image.pixel(x, y)) < 128 ? RGB(255, 255, 255) : 0);
    }
    SelectObject(dc, colour.get());
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const QRgb p = image.pixel(x, y);
            SetPixel(dc, x, y, qAlpha(p) < 128 ? 0 : RGB(qRed(p), qGreen(p), qBlue(p)));
        }
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    ICONINFO info{TRUE, 0, 0, mask.get(), colour.get()};
    icon_ = CreateIconIndirect(&info);
}

AppletIconHandle::~AppletIconHandle()
{
    if (icon_) DestroyIcon(icon_);
}

}  // namespace kelvo
