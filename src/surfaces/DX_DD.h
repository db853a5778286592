// DirectDraw surfaces named by small indices: the DirectDraw display's
// primary, canvas and background surfaces. A failing DirectDraw call raises
// RuntimeError with the call's result code as its number.
#pragma once

#include "ddraw/ddraw.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace kelvo {

// A drawing option as the caller gives it: a number, or text that reads as
// one (anything else is a type mismatch).
class OptionValue {
public:
    OptionValue(double value) : value_(value) {}
    OptionValue(int value) : value_(static_cast<double>(value)) {}
    OptionValue(unsigned value) : value_(static_cast<double>(value)) {}
    OptionValue(const char* text) : value_(std::string(text)) {}
    OptionValue(std::string text) : value_(std::move(text)) {}
    // Rounded to the nearest, halves to even; errors 13 and 6.
    LONG ToLong() const;

private:
    std::variant<double, std::string> value_;
};

}  // namespace kelvo

class DX_DD {
public:
    DX_DD();
    ~DX_DD();
    DX_DD(const DX_DD&) = delete;
    DX_DD& operator=(const DX_DD&) = delete;

    // False when DirectDraw cannot be had for the window; never raises.
    bool Initialise(HWND hWnd);
    std::int16_t CreateSurface(LONG SurfaceType, HWND hClipper, LONG lWidth = 0, LONG lHeight = 0);
    // sFilename is looked for in the folder of the running program.
    std::int16_t CreateSurfaceFromFile(LONG SurfaceType, const std::string& sFilename, HWND hClipper);
    HDC GetSurfaceDC(std::int16_t iIndex);
    void ReleaseSurfaceDC(std::int16_t iIndex, HDC hdc);
    void SetSurfaceOptions(std::int16_t iIndex, const kelvo::OptionValue& DrawStyle = 0,
                           const kelvo::OptionValue& DrawWidth = 1, const kelvo::OptionValue& FillColor = 0,
                           const kelvo::OptionValue& FillStyle = 0, const kelvo::OptionValue& ForeColor = 16777215);
    void Copy(std::int16_t iSource, std::int16_t iDest);
    void DrawLine(std::int16_t iIndex, LONG x1, LONG y1, LONG x2, LONG y2);
    // Fills the surface with lColor inside an outline of its foreground colour.
    void Cls(std::int16_t iIndex, LONG lColor = 0);
    // The whole source surface stretched onto the window's screen rectangle.
    void Blt(std::int16_t iPrim, HWND hWnd, std::int16_t iSource);
    // The surface behind an index (nullptr for a failed creation), to inspect it.
    DirectDrawSurface7* SurfaceObject(std::int16_t iIndex) { return Entry(iIndex).oSurface.get(); }

private:
    struct DDSurfaceEntry {
        std::shared_ptr<DirectDrawSurface7> oSurface;
        std::shared_ptr<DirectDrawClipper> oClipper;
        LONG lSurfaceWidth = 0;
        LONG lSurfaceHeight = 0;
    };

    std::int16_t AddSurfaceSlot();
    DDSurfaceEntry& Entry(std::int16_t iIndex);
    DirectDraw7& DDraw();
    void AttachClipper(DDSurfaceEntry& entry, HWND hClipper);

    std::unique_ptr<DirectX7> oDX;
    std::shared_ptr<DirectDraw7> oDDraw;
    std::vector<DDSurfaceEntry> Surfaces;  // index i is Surfaces[i - 1]
    std::int16_t iSurfaceCount = 0;
};
