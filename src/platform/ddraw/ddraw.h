// DirectX 7 DirectDraw objects in software: the DirectX7 root, DirectDraw7,
// DirectDrawSurface7 and DirectDrawClipper with the published names, flags
// and result codes. Off-screen surfaces are 32 bpp bitmaps of the software
// GDI and are drawn with it; the primary surface is the screen, reached
// through the Display of display.h.
#pragma once

#include "win32/win32.h"

#include <cstdint>
#include <memory>
#include <string>

using HRESULT = std::int32_t;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr HRESULT MakeDirectDrawResult(int code) { return static_cast<HRESULT>(0x88760000u + code); }

constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80004005u);        // E_FAIL
constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);    // E_NOTIMPL
constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);    // E_OUTOFMEMORY
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);  // E_INVALIDARG
constexpr HRESULT DDERR_INVALIDCAPS = MakeDirectDrawResult(100);
constexpr HRESULT DDERR_INVALIDOBJECT = MakeDirectDrawResult(130);
constexpr HRESULT DDERR_INVALIDRECT = MakeDirectDrawResult(150);
constexpr HRESULT DDERR_NOCLIPLIST = MakeDirectDrawResult(205);
constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = MakeDirectDrawResult(212);
constexpr HRESULT DDERR_NOTFOUND = MakeDirectDrawResult(255);
constexpr HRESULT DDERR_SURFACEBUSY = MakeDirectDrawResult(430);
constexpr HRESULT DDERR_SURFACELOST = MakeDirectDrawResult(450);
constexpr HRESULT DDERR_INVALIDDIRECTDRAWGUID = MakeDirectDrawResult(561);
constexpr HRESULT DDERR_NOCLIPPERATTACHED = MakeDirectDrawResult(568);
constexpr HRESULT DDERR_CANTCREATEDC = MakeDirectDrawResult(585);
constexpr HRESULT DDERR_NODC = MakeDirectDrawResult(586);
constexpr HRESULT DDERR_DCALREADYCREATED = MakeDirectDrawResult(620);
// What creating the DirectX7 root gives when DirectX is not installed.
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

// The code's published name ("DDERR_SURFACELOST"), or its hex value.
std::string DirectDrawResultName(HRESULT hr);

// DDSURFACEDESC2 flags.
constexpr DWORD DDSD_CAPS = 0x00000001;
constexpr DWORD DDSD_HEIGHT = 0x00000002;
constexpr DWORD DDSD_WIDTH = 0x00000004;
constexpr DWORD DDSD_PITCH = 0x00000008;
constexpr DWORD DDSD_PIXELFORMAT = 0x00001000;

// DDSCAPS capabilities.
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x00000040;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x00000200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x00000800;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x00004000;
constexpr DWORD DDSCAPS_LOCALVIDMEM = 0x10000000;

constexpr DWORD DDPF_RGB = 0x00000040;

// Cooperative levels.
constexpr DWORD DDSCL_FULLSCREEN = 0x00000001;
constexpr DWORD DDSCL_NORMAL = 0x00000008;
constexpr DWORD DDSCL_EXCLUSIVE = 0x00000010;

// Blt flags.
constexpr DWORD DDBLT_WAIT = 0x01000000;
constexpr DWORD DDBLT_DONOTWAIT = 0x08000000;

// Draw and fill styles of the automation library (the toolkit's numbering).
constexpr LONG kDrawStyleSolid = 0;
constexpr LONG kDrawStyleTransparent = 5;
constexpr LONG kDrawStyleInsideSolid = 6;
constexpr LONG kFillStyleSolid = 0;
constexpr LONG kFillStyleTransparent = 1;

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};

struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    DWORD dwCaps4;
};

struct DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount;
    DWORD dwMipMapCount;
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    LPVOID lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};

namespace ddraw {
class Display;
struct Device;
}  // namespace ddraw

class DirectDrawClipper {
public:
    HRESULT SetHWnd(HWND hWnd);
    HRESULT GetHWnd(HWND& hWnd) const;

private:
    HWND hWnd_ = nullptr;
};

class DirectDrawSurface7 {
public:
    ~DirectDrawSurface7();
    DirectDrawSurface7(const DirectDrawSurface7&) = delete;
    DirectDrawSurface7& operator=(const DirectDrawSurface7&) = delete;

    HRESULT SetClipper(std::shared_ptr<DirectDrawClipper> clipper);
    HRESULT GetSurfaceDesc(DDSURFACEDESC2& desc) const;
    // The surface's own DC; nothing else may use the surface until ReleaseDC.
    HRESULT GetDC(HDC& hdc);
    HRESULT ReleaseDC(HDC hdc);
    HRESULT IsLost() const;

    HRESULT SetDrawStyle(LONG style);
    HRESULT SetDrawWidth(LONG width);
    HRESULT SetFillColor(LONG colour);
    HRESULT SetFillStyle(LONG style);
    HRESULT SetForeColor(LONG colour);
    HRESULT GetDrawStyle(LONG& style) const;
    HRESULT GetDrawWidth(LONG& width) const;
    HRESULT GetFillColor(LONG& colour) const;
    HRESULT GetFillStyle(LONG& style) const;
    HRESULT GetForeColor(LONG& colour) const;

    // A GDI line: the end point is not painted.
    HRESULT DrawLine(LONG x1, LONG y1, LONG x2, LONG y2);
    // A GDI rectangle: right and bottom are outside it.
    HRESULT DrawBox(LONG x1, LONG y1, LONG x2, LONG y2);
    // Copies `srcRect` of `source` onto `destRect`, stretching when the sizes
    // differ; an all-zero rectangle is the whole surface.
    HRESULT Blt(const RECT& destRect, DirectDrawSurface7* source, const RECT& srcRect, DWORD flags);

    struct State;  // surface_state.h

private:
    friend class DirectDraw7;
    explicit DirectDrawSurface7(std::unique_ptr<State> state);
    HRESULT Usable() const;
    HRESULT BltToScreen(const RECT& destRect, const DirectDrawSurface7& source, const RECT& srcRect);
    void SelectDrawingObjects();
    HRESULT Change(LONG State::*field, LONG value);

    std::unique_ptr<State> state_;
};

class DirectDraw7 {
public:
    HRESULT SetCooperativeLevel(HWND hWnd, DWORD flags);
    HRESULT CreateSurface(const DDSURFACEDESC2& desc, std::shared_ptr<DirectDrawSurface7>& surface);
    // A surface holding the picture of a bitmap file, sized like it.
    HRESULT CreateSurfaceFromFile(const std::string& path, const DDSURFACEDESC2& desc,
                                  std::shared_ptr<DirectDrawSurface7>& surface);
    HRESULT CreateClipper(DWORD flags, std::shared_ptr<DirectDrawClipper>& clipper);

private:
    friend class DirectX7;
    explicit DirectDraw7(std::shared_ptr<ddraw::Device> device);

    std::shared_ptr<ddraw::Device> device_;
    bool cooperating_ = false;
};

class DirectX7 {
public:
    // The root object; REGDB_E_CLASSNOTREG when DirectX is not available
    // (KELVO_DIRECTDRAW=off in the environment, or no screen).
    static HRESULT Create(std::unique_ptr<DirectX7>& root);

    // driverGuid "" is the default display driver.
    HRESULT DirectDrawCreate(const std::string& driverGuid, std::shared_ptr<DirectDraw7>& ddraw);
    // The window's rectangle in screen coordinates.
    HRESULT GetWindowRect(HWND hWnd, RECT& rect);

private:
    DirectX7() = default;
    std::shared_ptr<ddraw::Device> device_;
};
