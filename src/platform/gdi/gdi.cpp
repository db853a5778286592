#include "gdi/gdi.h"

#include "gdi/gdi_access.h"
#include "gdi/objects.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

using gdi::detail::Bitmap;
using gdi::detail::Brush;
using gdi::detail::Dc;
using gdi::detail::Pen;
using gdi::detail::Table;
using gdi::raster::Canvas;

namespace {

using Lock = std::lock_guard<std::mutex>;

constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 26;

int gDisplayWidth = 1024;
int gDisplayHeight = 768;

Table& table() { return Table::instance(); }

// A memory DC able to draw; information contexts only answer queries.
Dc* FindDrawingDc(HDC hdc)
{
    Dc* dc = table().find<Dc>(hdc);
    return dc && !dc->informationOnly ? dc : nullptr;
}

// The selected bitmap as a canvas. The shared default bitmap is read-only, so
// drawing into a DC that never got a bitmap of its own is lost.
Canvas CanvasOf(const Dc& dc)
{
    if (table().isStock(dc.bitmap))
        return {};
    Bitmap* bm = table().find<Bitmap>(dc.bitmap);
    if (!bm)
        return {};
    return Canvas(bm->pixels.data(), bm->width, bm->height, bm->bitsPerPixel == 1);
}

COLORREF PixelColour(const Bitmap& bm, int x, int y)
{
    const std::uint32_t p = bm.pixels[static_cast<std::size_t>(y) * bm.width + x];
    if (bm.bitsPerPixel == 1)
        return p ? RGB(255, 255, 255) : RGB(0, 0, 0);
    return gdi::raster::ColourFromRgb(p);
}

HBITMAP MakeBitmap(int width, int height, int bitsPerPixel, const void* bits)
{
    if (width < 0 || height < 0)
        return nullptr;
    if (width == 0 || height == 0)  // documented: a 1-by-1 monochrome bitmap
        return static_cast<HBITMAP>(table().defaultBitmap());
    if (std::int64_t{width} * height > kMaxBitmapPixels)
        return nullptr;
    Bitmap bm;
    bm.width = width;
    bm.height = height;
    bm.bitsPerPixel = bitsPerPixel;
    try {
        bm.pixels.assign(static_cast<std::size_t>(width) * height, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (bits) {
        const auto* src = static_cast<const std::uint8_t*>(bits);
        if (bitsPerPixel == 1) {
            const std::size_t rowBytes = (static_cast<std::size_t>(width) + 15) / 16 * 2;  // WORD-aligned rows
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const std::uint8_t byte = src[y * rowBytes + x / 8];
                    bm.pixels[static_cast<std::size_t>(y) * width + x] = (byte >> (7 - x % 8)) & 1;
                }
        } else {
            for (std::size_t i = 0; i < bm.pixels.size(); ++i) {
                std::uint32_t v;
                std::memcpy(&v, src + i * 4, 4);
                bm.pixels[i] = v & 0x00FFFFFF;
            }
        }
    }
    return static_cast<HBITMAP>(table().add(std::move(bm)));
}

HGDIOBJ SelectBitmap(HDC hdc, Dc& dc, HBITMAP h, Bitmap& bm)
{
    if (dc.informationOnly)
        return nullptr;
    const bool stock = table().isStock(h);
    if (!stock && bm.selectedInto && bm.selectedInto != hdc)
        return nullptr;
    HBITMAP previous = dc.bitmap;
    if (Bitmap* old = table().find<Bitmap>(previous); old && !table().isStock(previous))
        old->selectedInto = nullptr;
    if (!stock)
        bm.selectedInto = hdc;
    dc.bitmap = h;
    return previous;
}

template <class T>
void Release(void* handle)
{
    if (T* object = table().find<T>(handle))
        --object->selections;
}

}  // namespace

HDC CreateICA(LPCSTR pszDriver, LPCSTR, LPCSTR, const void*)
{
    if (!pszDriver)
        return nullptr;
    constexpr char kDisplay[] = "DISPLAY";
    if (std::strlen(pszDriver) != sizeof(kDisplay) - 1)
        return nullptr;
    for (std::size_t i = 0; kDisplay[i]; ++i)
        if (std::toupper(static_cast<unsigned char>(pszDriver[i])) != kDisplay[i])
            return nullptr;
    Lock lock(table().mutex());
    Dc dc;
    dc.informationOnly = true;
    return static_cast<HDC>(table().add(dc));
}

HDC CreateCompatibleDC(HDC hdc)
{
    Lock lock(table().mutex());
    if (hdc && !table().find<Dc>(hdc))
        return nullptr;
    Dc dc;
    dc.bitmap = static_cast<HBITMAP>(table().defaultBitmap());
    dc.pen = static_cast<HPEN>(table().stock(BLACK_PEN));
    dc.brush = static_cast<HBRUSH>(table().stock(WHITE_BRUSH));
    Pen* pen = table().find<Pen>(dc.pen);
    Brush* brush = table().find<Brush>(dc.brush);
    ++pen->selections;
    ++brush->selections;
    dc.stroke = gdi::detail::StrokeFor(*pen);
    dc.fill = gdi::detail::FillFor(*brush);
    return static_cast<HDC>(table().add(dc));
}

BOOL DeleteDC(HDC hdc)
{
    Lock lock(table().mutex());
    Dc* dc = table().find<Dc>(hdc);
    if (!dc)
        return FALSE;
    // Selected objects are not deleted; they just become free again.
    if (Bitmap* bm = table().find<Bitmap>(dc->bitmap); bm && bm->selectedInto == hdc)
        bm->selectedInto = nullptr;
    Release<Pen>(dc->pen);
    Release<Brush>(dc->brush);
    table().remove(hdc);
    return TRUE;
}

HBITMAP CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void* lpBits)
{
    if (nPlanes != 1 || (nBitCount != 1 && nBitCount != 32))
        return nullptr;
    Lock lock(table().mutex());
    return MakeBitmap(nWidth, nHeight, static_cast<int>(nBitCount), lpBits);
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int cx, int cy)
{
    Lock lock(table().mutex());
    Dc* dc = table().find<Dc>(hdc);
    if (!dc)
        return nullptr;
    // A memory DC is as deep as its selected bitmap (monochrome at first);
    // an information context is as deep as the display.
    int bits = 32;
    if (!dc->informationOnly)
        if (Bitmap* bm = table().find<Bitmap>(dc->bitmap))
            bits = bm->bitsPerPixel;
    return MakeBitmap(cx, cy, bits, nullptr);
}

int GetDeviceCaps(HDC hdc, int index)
{
    Lock lock(table().mutex());
    if (!table().find<Dc>(hdc))
        return 0;
    switch (index) {
    case BITSPIXEL:
        return 32;
    case PLANES:
        return 1;
    case HORZRES:
        return gDisplayWidth;
    case VERTRES:
        return gDisplayHeight;
    default:
        return 0;
    }
}

HGDIOBJ GetStockObject(int i)
{
    Lock lock(table().mutex());
    return table().stock(i);
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h)
{
    Lock lock(table().mutex());
    Dc* dc = table().find<Dc>(hdc);
    if (!dc)
        return nullptr;
    if (Bitmap* bm = table().find<Bitmap>(h))
        return SelectBitmap(hdc, *dc, static_cast<HBITMAP>(h), *bm);
    if (Pen* pen = table().find<Pen>(h)) {
        HPEN previous = dc->pen;
        Release<Pen>(previous);
        ++pen->selections;
        dc->pen = static_cast<HPEN>(h);
        dc->stroke = gdi::detail::StrokeFor(*pen);
        return previous;
    }
    if (Brush* brush = table().find<Brush>(h)) {
        HBRUSH previous = dc->brush;
        Release<Brush>(previous);
        ++brush->selections;
        dc->brush = static_cast<HBRUSH>(h);
        dc->fill = gdi::detail::FillFor(*brush);
        return previous;
    }
    return nullptr;
}

BOOL DeleteObject(HGDIOBJ ho)
{
    Lock lock(table().mutex());
    if (table().isStock(ho))
        return TRUE;
    // As documented, an object still selected into a DC is not deleted and
    // the call fails; pens and brushes are refused rather than deferred.
    if (Bitmap* bm = table().find<Bitmap>(ho))
        return bm->selectedInto ? FALSE : table().remove(ho);
    if (Pen* pen = table().find<Pen>(ho))
        return pen->selections ? FALSE : table().remove(ho);
    if (Brush* brush = table().find<Brush>(ho))
        return brush->selections ? FALSE : table().remove(ho);
    return FALSE;
}

HPEN CreatePen(int iStyle, int cWidth, COLORREF color)
{
    if (iStyle != PS_SOLID && iStyle != PS_NULL)
        return nullptr;
    Lock lock(table().mutex());
    // Zero (or less) is documented as one pixel.
    return static_cast<HPEN>(table().add(Pen{iStyle, std::max(cWidth, 1), color & 0x00FFFFFF, 0}));
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    Lock lock(table().mutex());
    return static_cast<HBRUSH>(table().add(Brush{false, color & 0x00FFFFFF, 0}));
}

BOOL SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom)
{
    if (!lprc)
        return FALSE;
    *lprc = RECT{xLeft, yTop, xRight, yBottom};
    return TRUE;
}

int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr)
{
    if (!lprc)
        return 0;
    Lock lock(table().mutex());
    Dc* dc = FindDrawingDc(hDC);
    Brush* brush = table().find<Brush>(hbr);
    if (!dc || !brush)
        return 0;
    if (!brush->hollow) {
        Canvas canvas = CanvasOf(*dc);
        // Corners out of order fill from the first edge inclusive back to the
        // second exclusive, as Windows does.
        const auto span = [](std::int64_t from, std::int64_t to, std::int64_t& lo, std::int64_t& hi) {
            lo = from <= to ? from : to + 1;
            hi = from <= to ? to : from + 1;
        };
        std::int64_t left, right, top, bottom;
        span(lprc->left, lprc->right, left, right);
        span(lprc->top, lprc->bottom, top, bottom);
        canvas.fill(left, top, right, bottom, canvas.device(brush->colour));
    }
    return 1;
}

BOOL Polyline(HDC hdc, const POINT* apt, int cpt)
{
    if (!apt || cpt < 2)
        return FALSE;
    Lock lock(table().mutex());
    Dc* dc = FindDrawingDc(hdc);
    if (!dc)
        return FALSE;
    Canvas canvas = CanvasOf(*dc);
    for (int i = 0; i + 1 < cpt; ++i)
        dc->stroke.segment(canvas, apt[i], apt[i + 1], dc->stroke);
    return TRUE;
}

namespace {

BOOL DrawEllipticShape(HDC hdc, RECT box, const POINT* r1, const POINT* r2)
{
    Lock lock(table().mutex());
    Dc* dc = FindDrawingDc(hdc);
    if (!dc)
        return FALSE;
    Canvas canvas = CanvasOf(*dc);
    return gdi::raster::EllipticShape(canvas, box, r1, r2, dc->stroke.outlineWidth, dc->stroke.colour,
                                      dc->fill.paints, dc->fill.colour)
        ? TRUE
        : FALSE;
}

}  // namespace

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    return DrawEllipticShape(hdc, RECT{left, top, right, bottom}, nullptr, nullptr);
}

BOOL Pie(HDC hdc, int left, int top, int right, int bottom, int xr1, int yr1, int xr2, int yr2)
{
    const POINT r1{xr1, yr1};
    const POINT r2{xr2, yr2};
    return DrawEllipticShape(hdc, RECT{left, top, right, bottom}, &r1, &r2);
}

COLORREF GetPixel(HDC hdc, int x, int y)
{
    Lock lock(table().mutex());
    Dc* dc = FindDrawingDc(hdc);
    if (!dc)
        return CLR_INVALID;
    Bitmap* bm = table().find<Bitmap>(dc->bitmap);
    if (!bm || x < 0 || y < 0 || x >= bm->width || y >= bm->height)
        return CLR_INVALID;
    return PixelColour(*bm, x, y);
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    Lock lock(table().mutex());
    Dc* dc = FindDrawingDc(hdc);
    if (!dc)
        return CLR_INVALID;
    Canvas canvas = CanvasOf(*dc);
    if (x < 0 || y < 0 || x >= canvas.width() || y >= canvas.height())
        return CLR_INVALID;
    canvas.plot(x, y, canvas.device(color));
    return PixelColour(*table().find<Bitmap>(dc->bitmap), x, y);
}

BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop)
{
    if (rop != SRCCOPY)
        return FALSE;
    Lock lock(table().mutex());
    Dc* dst = FindDrawingDc(hdc);
    Dc* src = FindDrawingDc(hdcSrc);
    if (!dst || !src)
        return FALSE;
    Bitmap* from = table().find<Bitmap>(src->bitmap);
    Canvas to = CanvasOf(*dst);
    if (!from)
        return FALSE;
    if (cx <= 0 || cy <= 0)
        return TRUE;

    // Clip the one rectangle against both bitmaps.
    std::int64_t dx = x, dy = y, sx = x1, sy = y1, w = cx, h = cy;
    const std::int64_t skipX = std::max<std::int64_t>({0, -dx, -sx});
    const std::int64_t skipY = std::max<std::int64_t>({0, -dy, -sy});
    dx += skipX, sx += skipX, w -= skipX;
    dy += skipY, sy += skipY, h -= skipY;
    w = std::min<std::int64_t>({w, to.width() - dx, from->width - sx});
    h = std::min<std::int64_t>({h, to.height() - dy, from->height - sy});
    if (w <= 0 || h <= 0)
        return TRUE;

    // Same format: whole rows, in an order that survives an overlap within
    // one bitmap. This is every frame's background, so it must be cheap.
    if (Bitmap* into = table().find<Bitmap>(dst->bitmap); into && into->bitsPerPixel == from->bitsPerPixel) {
        const bool upwards = into == from && dy > sy;
        for (std::int64_t j = 0; j < h; ++j) {
            const std::int64_t row = upwards ? h - 1 - j : j;
            std::memmove(&into->pixels[static_cast<std::size_t>((dy + row) * into->width + dx)],
                         &from->pixels[static_cast<std::size_t>((sy + row) * from->width + sx)],
                         static_cast<std::size_t>(w) * sizeof(std::uint32_t));
        }
        return TRUE;
    }

    // Read everything first so that overlapping copies within one bitmap work.
    std::vector<COLORREF> colours;
    colours.reserve(static_cast<std::size_t>(w * h));
    for (std::int64_t j = 0; j < h; ++j)
        for (std::int64_t i = 0; i < w; ++i)
            colours.push_back(PixelColour(*from, static_cast<int>(sx + i), static_cast<int>(sy + j)));
    std::size_t k = 0;
    for (std::int64_t j = 0; j < h; ++j)
        for (std::int64_t i = 0; i < w; ++i)
            to.plot(dx + i, dy + j, to.device(colours[k++]));
    return TRUE;
}

namespace gdi {

PixelView BitmapPixels(HBITMAP bitmap)
{
    Lock lock(table().mutex());
    Bitmap* bm = table().find<Bitmap>(bitmap);
    if (!bm || bm->bitsPerPixel != 32)
        return {};
    return PixelView{bm->pixels.data(), bm->width, bm->height, bm->width};
}

HBITMAP SelectedBitmap(HDC hdc)
{
    Lock lock(table().mutex());
    Dc* dc = table().find<Dc>(hdc);
    return dc ? dc->bitmap : nullptr;
}

int LiveObjectCount()
{
    Lock lock(table().mutex());
    return table().liveCount();
}

void SetDisplaySize(int width, int height)
{
    Lock lock(table().mutex());
    gDisplayWidth = width;
    gDisplayHeight = height;
}

}  // namespace gdi
