// The desktop's DirectDraw display, except that the test decides when the
// display mode changes (which loses every surface made before).
#pragma once

#include "ddraw/display.h"

namespace testing_support {

class ModeChangingDisplay : public ddraw::Display {
public:
    ddraw::Display& real = ddraw::CurrentDisplay();
    std::uint64_t generation = 0;

    bool Available() override { return real.Available(); }
    std::uint64_t ModeGeneration() override { return generation; }
    bool ScreenSize(int& w, int& h) override { return real.ScreenSize(w, h); }
    bool WindowRect(HWND hWnd, RECT& r) override { return real.WindowRect(hWnd, r); }
    bool BeginWindowUpdate(HWND hWnd, ddraw::WindowPixels& p) override { return real.BeginWindowUpdate(hWnd, p); }
    void EndWindowUpdate(HWND hWnd, const RECT& r) override { real.EndWindowUpdate(hWnd, r); }
    void ReleaseWindow(HWND hWnd) override { real.ReleaseWindow(hWnd); }
    HRESULT LoadBitmapFile(const std::string& path, HBITMAP& b) override { return real.LoadBitmapFile(path, b); }
};

}  // namespace testing_support
