// Clipped pixel primitives over one bitmap's pixels. Every primitive clips to
// the canvas first, so callers may pass any coordinates.
#pragma once

#include "win32/win32.h"

#include <cstdint>

namespace gdi::raster {

// Colour of a pixel on a monochrome surface: nearest of black (0) and white (1).
constexpr std::uint32_t MonoFromColour(COLORREF c)
{
    return GetRValue(c) + GetGValue(c) + GetBValue(c) >= 383 ? 1u : 0u;
}
constexpr std::uint32_t RgbFromColour(COLORREF c)
{
    return (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (static_cast<std::uint32_t>(GetGValue(c)) << 8)
        | GetBValue(c);
}
constexpr COLORREF ColourFromRgb(std::uint32_t p)
{
    return RGB(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p));
}

// A writable view of pixels: 0/1 per pixel when monochrome, else 0x00RRGGBB.
// A default-constructed canvas is empty and silently drops every write.
class Canvas {
public:
    Canvas() = default;
    Canvas(std::uint32_t* pixels, int width, int height, bool monochrome)
        : pixels_(pixels), width_(width), height_(height), monochrome_(monochrome)
    {
    }

    int width() const { return width_; }
    int height() const { return height_; }
    std::uint32_t device(COLORREF c) const { return monochrome_ ? MonoFromColour(c) : RgbFromColour(c); }

    // Half-open rectangle [left, right) x [top, bottom) of device value v.
    void fill(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom, std::uint32_t v);
    void plot(std::int64_t x, std::int64_t y, std::uint32_t v)
    {
        if (x >= 0 && y >= 0 && x < width_ && y < height_)
            pixels_[y * width_ + x] = v;
    }

private:
    std::uint32_t* pixels_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool monochrome_ = false;
};

// One-pixel Bresenham line that leaves out its end point.
void ThinSegment(Canvas& canvas, POINT from, POINT to, COLORREF colour);

// A line of a round-capped pen `width` pixels wide, both ends included.
void WideSegment(Canvas& canvas, POINT from, POINT to, int width, COLORREF colour);

// The ellipse inscribed in the half-open box, traced as gdi32 traces it, or
// with radials given, the wedge from the radial through r1 counter-clockwise
// (on screen) to the one through r2. penWidth 0 draws no outline. False when
// the box is wider or taller than 2^20 pixels.
bool EllipticShape(Canvas& canvas, RECT box, const POINT* r1, const POINT* r2, int penWidth, COLORREF pen,
                   bool filled, COLORREF brush);

}  // namespace gdi::raster
