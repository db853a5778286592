#include "ddraw/ddraw.h"

#include "ddraw/display.h"
#include "ddraw/surface_state.h"
#include "gdi/gdi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kKnownCaps =
    DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
constexpr DWORD kLargestSide = 32767;

HRESULT CheckCaps(DWORD caps)
{
    if (caps & ~kKnownCaps) return DDERR_INVALIDCAPS;
    if ((caps & DDSCAPS_PRIMARYSURFACE) && (caps & DDSCAPS_OFFSCREENPLAIN)) return DDERR_INVALIDCAPS;
    return DD_OK;
}

// The size a description asks for; false when it asks for none or a bad one.
bool RequestedSize(const DDSURFACEDESC2& desc, int& width, int& height)
{
    if ((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) return false;
    if (desc.dwWidth < 1 || desc.dwHeight < 1 || desc.dwWidth > kLargestSide || desc.dwHeight > kLargestSide)
        return false;
    width = static_cast<int>(desc.dwWidth);
    height = static_cast<int>(desc.dwHeight);
    return true;
}

}  // namespace

std::string DirectDrawResultName(HRESULT hr)
{
    static const struct {
        HRESULT code;
        const char* name;
    } names[] = {
        {DD_OK, "DD_OK"},
        {DDERR_GENERIC, "DDERR_GENERIC"},
        {DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED"},
        {DDERR_OUTOFMEMORY, "DDERR_OUTOFMEMORY"},
        {DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS"},
        {DDERR_INVALIDCAPS, "DDERR_INVALIDCAPS"},
        {DDERR_INVALIDOBJECT, "DDERR_INVALIDOBJECT"},
        {DDERR_INVALIDRECT, "DDERR_INVALIDRECT"},
        {DDERR_NOCLIPLIST, "DDERR_NOCLIPLIST"},
        {DDERR_NOCOOPERATIVELEVELSET, "DDERR_NOCOOPERATIVELEVELSET"},
        {DDERR_NOTFOUND, "DDERR_NOTFOUND"},
        {DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY"},
        {DDERR_SURFACELOST, "DDERR_SURFACELOST"},
        {DDERR_INVALIDDIRECTDRAWGUID, "DDERR_INVALIDDIRECTDRAWGUID"},
        {DDERR_NOCLIPPERATTACHED, "DDERR_NOCLIPPERATTACHED"},
        {DDERR_CANTCREATEDC, "DDERR_CANTCREATEDC"},
        {DDERR_NODC, "DDERR_NODC"},
        {DDERR_DCALREADYCREATED, "DDERR_DCALREADYCREATED"},
        {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
    };
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(hr));
    for (const auto& n : names)
        if (n.code == hr) return std::string(n.name) + " (" + hex + ")";
    return hex;
}

HRESULT DirectDrawClipper::SetHWnd(HWND hWnd)
{
    if (!hWnd) return DDERR_INVALIDPARAMS;
    hWnd_ = hWnd;
    return DD_OK;
}

HRESULT DirectDrawClipper::GetHWnd(HWND& hWnd) const
{
    hWnd = hWnd_;
    return hWnd_ ? DD_OK : DDERR_NOCLIPLIST;
}

HRESULT DirectX7::Create(std::unique_ptr<DirectX7>& root)
{
    const char* wanted = std::getenv("KELVO_DIRECTDRAW");
    ddraw::Display& display = ddraw::CurrentDisplay();
    if ((wanted && std::strcmp(wanted, "off") == 0) || !display.Available()) return REGDB_E_CLASSNOTREG;
    root.reset(new DirectX7);
    root->device_ = std::make_shared<ddraw::Device>(ddraw::Device{&display});
    return DD_OK;
}

HRESULT DirectX7::DirectDrawCreate(const std::string& driverGuid, std::shared_ptr<DirectDraw7>& ddraw)
{
    if (!driverGuid.empty()) return DDERR_INVALIDDIRECTDRAWGUID;
    ddraw.reset(new DirectDraw7(device_));
    return DD_OK;
}

HRESULT DirectX7::GetWindowRect(HWND hWnd, RECT& rect)
{
    return device_->display->WindowRect(hWnd, rect) ? DD_OK : DDERR_INVALIDPARAMS;
}

DirectDraw7::DirectDraw7(std::shared_ptr<ddraw::Device> device) : device_(std::move(device)) {}

HRESULT DirectDraw7::SetCooperativeLevel(HWND, DWORD flags)
{
    if (flags & (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE)) return DDERR_UNSUPPORTED;  // windows only
    if (!(flags & DDSCL_NORMAL)) return DDERR_INVALIDPARAMS;
    cooperating_ = true;
    return DD_OK;
}

HRESULT DirectDraw7::CreateClipper(DWORD flags, std::shared_ptr<DirectDrawClipper>& clipper)
{
    if (flags != 0) return DDERR_INVALIDPARAMS;
    clipper = std::make_shared<DirectDrawClipper>();
    return DD_OK;
}

namespace {

std::unique_ptr<DirectDrawSurface7::State> NewState(const std::shared_ptr<ddraw::Device>& device, DWORD caps)
{
    auto state = std::make_unique<DirectDrawSurface7::State>();
    state->device = device;
    state->generation = device->display->ModeGeneration();
    state->caps = caps;
    return state;
}

// An off-screen surface around `bitmap` (owned from here on).
HRESULT Offscreen(DirectDrawSurface7::State& state, HBITMAP bitmap)
{
    state.bitmap = bitmap;
    if (!bitmap) return DDERR_OUTOFMEMORY;
    const gdi::PixelView view = gdi::BitmapPixels(bitmap);
    state.width = view.width;
    state.height = view.height;
    state.dc = CreateCompatibleDC(nullptr);
    return state.dc ? DD_OK : DDERR_OUTOFMEMORY;
}

}  // namespace

HRESULT DirectDraw7::CreateSurface(const DDSURFACEDESC2& desc, std::shared_ptr<DirectDrawSurface7>& surface)
{
    if (!cooperating_) return DDERR_NOCOOPERATIVELEVELSET;
    if (!(desc.dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
    const DWORD caps = desc.ddsCaps.dwCaps;
    if (HRESULT hr = CheckCaps(caps); FAILED(hr)) return hr;
    auto state = NewState(device_, caps);
    if (caps & DDSCAPS_PRIMARYSURFACE) {
        if (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
        state->primary = true;
        if (!device_->display->ScreenSize(state->width, state->height)) return DDERR_GENERIC;
    } else {
        int width = 0, height = 0;
        if (!RequestedSize(desc, width, height)) return DDERR_INVALIDPARAMS;
        if (HRESULT hr = Offscreen(*state, CreateBitmap(width, height, 1, 32, nullptr)); FAILED(hr)) return hr;
    }
    surface.reset(new DirectDrawSurface7(std::move(state)));
    return DD_OK;
}

HRESULT DirectDraw7::CreateSurfaceFromFile(const std::string& path, const DDSURFACEDESC2& desc,
                                           std::shared_ptr<DirectDrawSurface7>& surface)
{
    if (!cooperating_) return DDERR_NOCOOPERATIVELEVELSET;
    const DWORD caps = (desc.dwFlags & DDSD_CAPS) ? desc.ddsCaps.dwCaps : DDSCAPS_OFFSCREENPLAIN;
    if (HRESULT hr = CheckCaps(caps); FAILED(hr)) return hr;
    if (caps & DDSCAPS_PRIMARYSURFACE) return DDERR_INVALIDCAPS;
    if (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_UNSUPPORTED;  // no stretching on loading

    HBITMAP picture = nullptr;
    if (HRESULT hr = device_->display->LoadBitmapFile(path, picture); FAILED(hr)) return hr;
    auto state = NewState(device_, caps);
    if (HRESULT hr = Offscreen(*state, picture); FAILED(hr)) return hr;
    surface.reset(new DirectDrawSurface7(std::move(state)));
    return DD_OK;
}
