#include "ddraw/ddraw.h"

#include "ddraw/stretch.h"
#include "ddraw/surface_state.h"
#include "gdi/gdi.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

bool IsColour(LONG c) { return c >= 0 && c <= 0xFFFFFF; }

RECT Whole(int width, int height) { return RECT{0, 0, width, height}; }

bool Within(const RECT& r, int width, int height)
{
    return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height;
}

}  // namespace

DirectDrawSurface7::State::~State()
{
    if (shownIn && device) device->display->ReleaseWindow(shownIn);
    if (dc) {
        SelectObject(dc, firstBitmap);
        SelectObject(dc, firstPen);
        SelectObject(dc, firstBrush);
        DeleteDC(dc);
    }
    if (bitmap) DeleteObject(bitmap);
    if (pen) DeleteObject(pen);
    if (brush) DeleteObject(brush);
}

DirectDrawSurface7::DirectDrawSurface7(std::unique_ptr<State> state) : state_(std::move(state))
{
    if (state_->dc) {
        state_->firstBitmap = SelectObject(state_->dc, state_->bitmap);
        state_->firstPen = SelectObject(state_->dc, GetStockObject(BLACK_PEN));
        state_->firstBrush = SelectObject(state_->dc, GetStockObject(NULL_BRUSH));
        SelectDrawingObjects();
    }
}

DirectDrawSurface7::~DirectDrawSurface7() = default;

// Pen and brush follow the drawing state; the old ones go once deselected.
void DirectDrawSurface7::SelectDrawingObjects()
{
    State& s = *state_;
    if (!s.dc) return;
    const int style = s.drawStyle == kDrawStyleTransparent ? PS_NULL : PS_SOLID;
    HPEN pen = CreatePen(style, s.drawWidth, static_cast<COLORREF>(s.foreColor));
    SelectObject(s.dc, pen ? static_cast<HGDIOBJ>(pen) : GetStockObject(BLACK_PEN));
    if (s.pen) DeleteObject(s.pen);
    s.pen = pen;
    HBRUSH brush = s.fillStyle == kFillStyleSolid ? CreateSolidBrush(static_cast<COLORREF>(s.fillColor)) : nullptr;
    SelectObject(s.dc, brush ? static_cast<HGDIOBJ>(brush) : GetStockObject(NULL_BRUSH));
    if (s.brush) DeleteObject(s.brush);
    s.brush = brush;
}

HRESULT DirectDrawSurface7::IsLost() const
{
    return state_->device->display->ModeGeneration() == state_->generation ? DD_OK : DDERR_SURFACELOST;
}

HRESULT DirectDrawSurface7::Usable() const
{
    if (HRESULT hr = IsLost(); FAILED(hr)) return hr;
    return state_->dcLent ? DDERR_SURFACEBUSY : DD_OK;
}

HRESULT DirectDrawSurface7::SetClipper(std::shared_ptr<DirectDrawClipper> clipper)
{
    state_->clipper = std::move(clipper);
    return DD_OK;
}

HRESULT DirectDrawSurface7::GetSurfaceDesc(DDSURFACEDESC2& desc) const
{
    desc = DDSURFACEDESC2{};
    desc.dwSize = sizeof(DDSURFACEDESC2);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(state_->width);
    desc.dwHeight = static_cast<DWORD>(state_->height);
    desc.lPitch = state_->width * 4;
    desc.ddpfPixelFormat = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0};
    desc.ddsCaps.dwCaps = state_->caps;
    return DD_OK;
}

HRESULT DirectDrawSurface7::GetDC(HDC& hdc)
{
    if (state_->primary) return DDERR_CANTCREATEDC;
    if (state_->dcLent) return DDERR_DCALREADYCREATED;
    if (HRESULT hr = IsLost(); FAILED(hr)) return hr;
    state_->dcLent = true;
    hdc = state_->dc;
    return DD_OK;
}

HRESULT DirectDrawSurface7::ReleaseDC(HDC hdc)
{
    if (!state_->dcLent) return DDERR_NODC;
    if (hdc != state_->dc) return DDERR_INVALIDPARAMS;
    state_->dcLent = false;
    // Whatever the borrower selected, the surface draws with its own state.
    SelectObject(state_->dc, state_->bitmap);
    SelectDrawingObjects();
    return DD_OK;
}

HRESULT DirectDrawSurface7::Change(LONG State::*field, LONG value)
{
    state_.get()->*field = value;
    SelectDrawingObjects();
    return DD_OK;
}

HRESULT DirectDrawSurface7::SetDrawStyle(LONG style)
{
    if (style >= 1 && style <= 4) return DDERR_UNSUPPORTED;  // dashes and dots
    if (style != kDrawStyleSolid && style != kDrawStyleTransparent && style != kDrawStyleInsideSolid)
        return DDERR_INVALIDPARAMS;
    return Change(&State::drawStyle, style);
}

HRESULT DirectDrawSurface7::SetDrawWidth(LONG width)
{
    return width < 1 || width > 32767 ? DDERR_INVALIDPARAMS : Change(&State::drawWidth, width);
}

HRESULT DirectDrawSurface7::SetFillColor(LONG colour)
{
    return IsColour(colour) ? Change(&State::fillColor, colour) : DDERR_INVALIDPARAMS;
}

HRESULT DirectDrawSurface7::SetFillStyle(LONG style)
{
    if (style >= 2 && style <= 7) return DDERR_UNSUPPORTED;  // hatches
    if (style != kFillStyleSolid && style != kFillStyleTransparent) return DDERR_INVALIDPARAMS;
    return Change(&State::fillStyle, style);
}

HRESULT DirectDrawSurface7::SetForeColor(LONG colour)
{
    return IsColour(colour) ? Change(&State::foreColor, colour) : DDERR_INVALIDPARAMS;
}

HRESULT DirectDrawSurface7::GetDrawStyle(LONG& style) const { return style = state_->drawStyle, DD_OK; }
HRESULT DirectDrawSurface7::GetDrawWidth(LONG& width) const { return width = state_->drawWidth, DD_OK; }
HRESULT DirectDrawSurface7::GetFillColor(LONG& colour) const { return colour = state_->fillColor, DD_OK; }
HRESULT DirectDrawSurface7::GetFillStyle(LONG& style) const { return style = state_->fillStyle, DD_OK; }
HRESULT DirectDrawSurface7::GetForeColor(LONG& colour) const { return colour = state_->foreColor, DD_OK; }

HRESULT DirectDrawSurface7::DrawLine(LONG x1, LONG y1, LONG x2, LONG y2)
{
    if (state_->primary) return DDERR_UNSUPPORTED;
    if (HRESULT hr = Usable(); FAILED(hr)) return hr;
    const POINT line[2] = {{x1, y1}, {x2, y2}};
    Polyline(state_->dc, line, 2);
    return DD_OK;
}

HRESULT DirectDrawSurface7::DrawBox(LONG x1, LONG y1, LONG x2, LONG y2)
{
    if (state_->primary) return DDERR_UNSUPPORTED;
    if (HRESULT hr = Usable(); FAILED(hr)) return hr;
    const RECT box{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    if (ddraw::IsEmpty(box)) return DD_OK;
    if (state_->brush) FillRect(state_->dc, &box, state_->brush);
    const POINT outline[5] = {{box.left, box.top},
                              {box.right - 1, box.top},
                              {box.right - 1, box.bottom - 1},
                              {box.left, box.bottom - 1},
                              {box.left, box.top}};
    Polyline(state_->dc, outline, 5);
    return DD_OK;
}

HRESULT DirectDrawSurface7::Blt(const RECT& destRect, DirectDrawSurface7* source, const RECT& srcRect, DWORD flags)
{
    if (flags & ~(DDBLT_WAIT | DDBLT_DONOTWAIT)) return DDERR_UNSUPPORTED;
    if (!source) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Usable(); FAILED(hr)) return hr;
    if (HRESULT hr = source->Usable(); FAILED(hr)) return hr;
    const State& from = *source->state_;
    if (from.primary) return DDERR_UNSUPPORTED;
    const RECT src = ddraw::IsAllZero(srcRect) ? Whole(from.width, from.height) : srcRect;
    if (ddraw::IsEmpty(src) || !Within(src, from.width, from.height)) return DDERR_INVALIDRECT;
    if (state_->primary) return BltToScreen(destRect, *source, src);

    const RECT dest = ddraw::IsAllZero(destRect) ? Whole(state_->width, state_->height) : destRect;
    if (ddraw::IsEmpty(dest)) return DDERR_INVALIDRECT;
    // Without a clipper the rectangle must fit; with one it is cut to the surface.
    if (!state_->clipper && !Within(dest, state_->width, state_->height)) return DDERR_INVALIDRECT;
    const gdi::PixelView to = gdi::BitmapPixels(state_->bitmap);
    gdi::PixelView in = gdi::BitmapPixels(from.bitmap);
    std::vector<std::uint32_t> copy;
    if (source == this) {  // a copy within one surface reads the picture as it was
        copy.assign(in.bits, in.bits + static_cast<std::size_t>(in.stride) * in.height);
        in.bits = copy.data();
    }
    ddraw::StretchCopy(to, dest, Whole(state_->width, state_->height), in, src);
    return DD_OK;
}

HRESULT DirectDrawSurface7::BltToScreen(const RECT& destRect, const DirectDrawSurface7& source, const RECT& src)
{
    if (!state_->clipper) return DDERR_NOCLIPPERATTACHED;
    HWND hWnd = nullptr;
    state_->clipper->GetHWnd(hWnd);
    ddraw::Display& display = *state_->device->display;
    ddraw::WindowPixels window;
    if (!hWnd || !display.BeginWindowUpdate(hWnd, window)) return DDERR_NOCLIPLIST;
    state_->shownIn = hWnd;
    const RECT dest = ddraw::IsAllZero(destRect) ? Whole(state_->width, state_->height) : destRect;
    RECT changed{};
    if (!ddraw::IsEmpty(dest) && window.pixels.bits) {
        // The window's pixels are addressed from its own top-left corner.
        const LONG dx = window.screen.left;
        const LONG dy = window.screen.top;
        const RECT local{dest.left - dx, dest.top - dy, dest.right - dx, dest.bottom - dy};
        ddraw::StretchCopy(window.pixels, local, Whole(window.pixels.width, window.pixels.height),
                           gdi::BitmapPixels(source.state_->bitmap), src);
        changed = ddraw::Intersect(dest, window.screen);
    }
    display.EndWindowUpdate(hWnd, changed);
    return ddraw::IsEmpty(dest) ? DDERR_INVALIDRECT : DD_OK;
}
