// What a DirectDrawSurface7 holds: its GDI bitmap and DC (off-screen) or the
// screen (primary), its drawing state and its clipper.
#pragma once

#include "ddraw/ddraw.h"
#include "ddraw/display.h"

#include <cstdint>
#include <memory>

struct DirectDrawSurface7::State {
    std::shared_ptr<ddraw::Device> device;
    std::uint64_t generation = 0;  // the display mode the surface was made in
    DWORD caps = 0;
    bool primary = false;
    int width = 0;
    int height = 0;
    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;
    HGDIOBJ firstBitmap = nullptr;
    HGDIOBJ firstPen = nullptr;
    HGDIOBJ firstBrush = nullptr;
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;  // nullptr while the fill is transparent
    bool dcLent = false;
    LONG drawStyle = kDrawStyleSolid;
    LONG drawWidth = 1;
    LONG fillColor = 0;
    LONG fillStyle = kFillStyleTransparent;
    LONG foreColor = 0;
    std::shared_ptr<DirectDrawClipper> clipper;
    HWND shownIn = nullptr;  // the window a primary surface has drawn into

    ~State();
};
