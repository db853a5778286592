// The screen behind the primary surface: where windows are, the pixels a
// blit may change inside a window, and the reading of bitmap files. The
// desktop's own lives in qt_display.cpp; tests may install another.
#pragma once

#include "ddraw/ddraw.h"
#include "gdi/gdi_access.h"

#include <cstdint>
#include <string>

namespace ddraw {

// The pixels of one window as the screen shows them. `screen` is the
// window's rectangle in screen coordinates; pixel (0, 0) of `pixels` is its
// top-left corner. `pixels` is empty while the window is not shown.
struct WindowPixels {
    gdi::PixelView pixels;
    RECT screen{};
};

class Display {
public:
    virtual ~Display() = default;
    virtual bool Available() = 0;
    // Changes whenever the display mode changes: surfaces made before are lost.
    virtual std::uint64_t ModeGeneration() = 0;
    virtual bool ScreenSize(int& width, int& height) = 0;
    virtual bool WindowRect(HWND hWnd, RECT& screen) = 0;
    // False for an unknown window.
    virtual bool BeginWindowUpdate(HWND hWnd, WindowPixels& window) = 0;
    // `changed` (screen coordinates) was written since BeginWindowUpdate.
    virtual void EndWindowUpdate(HWND hWnd, const RECT& changed) = 0;
    // The window shows its own painting again.
    virtual void ReleaseWindow(HWND hWnd) = 0;
    // A 32 bpp GDI bitmap with the file's picture; DDERR_NOTFOUND when the
    // file cannot be opened, DDERR_GENERIC when it is not a readable BMP.
    virtual HRESULT LoadBitmapFile(const std::string& path, HBITMAP& bitmap) = 0;
};

// Installs `display` (not owned); nullptr restores the desktop's own.
// Returns the one installed before (nullptr for the desktop's own).
Display* SetDisplay(Display* display);
Display& CurrentDisplay();

// What DirectDraw objects share: the display they draw on.
struct Device {
    Display* display = nullptr;
};

}  // namespace ddraw
