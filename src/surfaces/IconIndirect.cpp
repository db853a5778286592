#include "surfaces/IconIndirect.h"

#include "common/RuntimeError.h"
#include "gdi/gdi.h"
#include "user/system_metrics.h"

namespace kelvo {
namespace {

// Puts back the object a DC held before when it ends.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection()
    {
        if (previous_) SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A pen or brush made for one drawing call.
class Owned {
public:
    explicit Owned(HGDIOBJ object) : object_(object) {}
    ~Owned()
    {
        if (object_) DeleteObject(object_);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    HGDIOBJ get() const { return object_; }

private:
    HGDIOBJ object_;
};

HBRUSH stockBrush(int index) { return static_cast<HBRUSH>(GetStockObject(index)); }
COLORREF colourOf(LONG value) { return static_cast<COLORREF>(value); }

}  // namespace

IconIndirect::~IconIndirect()
{
    Release();
}

HICON IconIndirect::Icon()
{
    if (bChanged) DestroyCurrentIcon();
    if (!hIcon) {
        // The GDI copies both bitmaps, so they may stay selected and later
        // drawing leaves this icon as it is.
        ICONINFO info{TRUE, 0, 0, hMaskBitmap, hCanvasBitmap};
        hIcon = CreateIconIndirect(&info);
        bChanged = false;
    }
    return hIcon;
}

LONG IconIndirect::DefaultWidth() { return GetSystemMetrics(SM_CXICON); }
LONG IconIndirect::DefaultWidthSmall() { return GetSystemMetrics(SM_CXSMICON); }
LONG IconIndirect::DefaultWidthCaption() { return GetSystemMetrics(SM_CXSMSIZE); }
LONG IconIndirect::DefaultHeight() { return GetSystemMetrics(SM_CYICON); }
LONG IconIndirect::DefaultHeightSmall() { return GetSystemMetrics(SM_CYSMICON); }
LONG IconIndirect::DefaultHeightCaption() { return GetSystemMetrics(SM_CYSMSIZE); }

bool IconIndirect::Create(SHORT Width, SHORT Height)
{
    Release();
    if (!CreateMemoryDCs()) return false;
    if (!CreateIconBitmaps(Width, Height)) return false;
    hOldMaskObject = SelectObject(hMaskDC, hMaskBitmap);
    hOldCanvasObject = SelectObject(hCanvasDC, hCanvasBitmap);

    RECT all;
    SetRect(&all, 0, 0, Width, Height);
    FillRect(hMaskDC, &all, stockBrush(WHITE_BRUSH));
    FillRect(hCanvasDC, &all, stockBrush(BLACK_BRUSH));
    bChanged = false;
    return true;
}

void IconIndirect::DrawRect(LONG Left, LONG Top, LONG Width, LONG Height, LONG lColour)
{
    const LONG bottom = CheckedAdd(Top, Height);
    const LONG right = CheckedAdd(Left, Width);
    RECT box;
    SetRect(&box, Left, Top, right, bottom);
    FillRect(hMaskDC, &box, stockBrush(BLACK_BRUSH));
    {
        Owned brush(CreateSolidBrush(colourOf(lColour)));
        FillRect(hCanvasDC, &box, static_cast<HBRUSH>(brush.get()));
    }
    bChanged = true;
}

namespace {

void strokeBoth(HDC mask, HDC canvas, const POINT* points, int count, COLORREF colour, int width)
{
    {
        Selection pen(mask, GetStockObject(BLACK_PEN));
        Polyline(mask, points, count);
    }
    Owned pen(CreatePen(PS_SOLID, width, colour));
    Selection selected(canvas, pen.get());
    Polyline(canvas, points, count);
}

}  // namespace

void IconIndirect::HollowRect(LONG Left, LONG Top, LONG Width, LONG Height, std::optional<LONG> lColor,
                              std::optional<LONG> lWidth)
{
    const LONG right = CheckedAdd(Left, Width);
    const LONG bottom = CheckedAdd(Top, Height);
    const POINT outline[5] = {{Left, Top}, {right, Top}, {right, bottom}, {Left, bottom}, {Left, Top}};
    strokeBoth(hMaskDC, hCanvasDC, outline, 5, colourOf(lColor.value_or(0)), lWidth.value_or(1));
    bChanged = true;
}

void IconIndirect::DrawLine(LONG x1, LONG y1, LONG x2, LONG y2, std::optional<LONG> lColor,
                            std::optional<LONG> lWidth)
{
    const POINT line[2] = {{x1, y1}, {x2, y2}};
    strokeBoth(hMaskDC, hCanvasDC, line, 2, colourOf(lColor.value_or(0)), lWidth.value_or(1));
    bChanged = true;
}

void IconIndirect::DrawCircle(LONG Left, LONG Top, LONG Width, LONG Height, LONG lColour,
                              std::optional<LONG> lOutlineColour, bool Filled)
{
    // The sums come first so that an overflow leaves no object selected.
    const LONG bottom = CheckedAdd(Top, Height);
    const LONG right = CheckedAdd(Left, Width);
    Shape(false, Left, Top, right, bottom, nullptr, colourOf(lColour), colourOf(lOutlineColour.value_or(lColour)),
          Filled);
    bChanged = true;
}

void IconIndirect::DrawPie(LONG Left, LONG Top, LONG Width, LONG Height, LONG x1, LONG y1, LONG x2, LONG y2,
                           LONG lColour, std::optional<LONG> lOutlineColour)
{
    const LONG bottom = CheckedAdd(Top, Height);
    const LONG right = CheckedAdd(Left, Width);
    // Pie's arc runs counter-clockwise from its first radial to its second.
    const POINT radials[2] = {{x2, y2}, {x1, y1}};
    Shape(true, Left, Top, right, bottom, radials, colourOf(lColour), colourOf(lOutlineColour.value_or(lColour)),
          true);
    bChanged = true;
}

void IconIndirect::Shape(bool pie, LONG Left, LONG Top, LONG Right, LONG Bottom, const POINT* radials,
                         COLORREF fill, COLORREF outline, bool filled)
{
    const auto draw = [&](HDC dc) {
        if (pie) {
            Pie(dc, Left, Top, Right, Bottom, radials[0].x, radials[0].y, radials[1].x, radials[1].y);
        } else {
            Ellipse(dc, Left, Top, Right, Bottom);
        }
    };
    {
        Selection pen(hMaskDC, GetStockObject(BLACK_PEN));
        Selection brush(hMaskDC, GetStockObject(BLACK_BRUSH));
        draw(hMaskDC);
    }
    Owned pen(CreatePen(PS_SOLID, 1, outline));
    Selection selectedPen(hCanvasDC, pen.get());
    Owned brush(filled ? static_cast<HGDIOBJ>(CreateSolidBrush(fill)) : nullptr);
    Selection selectedBrush(hCanvasDC, filled ? brush.get() : GetStockObject(NULL_BRUSH));
    draw(hCanvasDC);
}

bool IconIndirect::CreateMemoryDCs()
{
    HDC info = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    if (!info) return false;
    hMaskDC = CreateCompatibleDC(info);
    if (hMaskDC) hCanvasDC = CreateCompatibleDC(info);
    DeleteDC(info);
    return hMaskDC && hCanvasDC;
}

bool IconIndirect::CreateIconBitmaps(SHORT Width, SHORT Height)
{
    hMaskBitmap = CreateBitmap(Width, Height, 1, 1, nullptr);
    if (!hMaskBitmap) return false;
    const int bitsPerPixel = GetDeviceCaps(hCanvasDC, BITSPIXEL);
    hCanvasBitmap = CreateBitmap(Width, Height, 1, static_cast<UINT>(bitsPerPixel), nullptr);
    return hCanvasBitmap != nullptr;
}

void IconIndirect::DeleteIconBitmaps()
{
    const auto release = [](HDC dc, HBITMAP& bitmap, HGDIOBJ& old) {
        if (!bitmap) return;
        if (old) {
            SelectObject(dc, old);
            old = nullptr;
        }
        DeleteObject(bitmap);
        bitmap = nullptr;
    };
    release(hMaskDC, hMaskBitmap, hOldMaskObject);
    release(hCanvasDC, hCanvasBitmap, hOldCanvasObject);
}

void IconIndirect::DeleteMemoryDCs()
{
    if (hMaskDC) DeleteDC(hMaskDC);
    hMaskDC = nullptr;
    if (hCanvasDC) DeleteDC(hCanvasDC);
    hCanvasDC = nullptr;
}

void IconIndirect::DestroyCurrentIcon()
{
    if (hIcon) DestroyIcon(hIcon);
    hIcon = nullptr;
}

void IconIndirect::Release()
{
    DestroyCurrentIcon();
    DeleteIconBitmaps();
    DeleteMemoryDCs();
    bChanged = false;
}

}  // namespace kelvo
