// Kelvo's own artwork, drawn by code: the window's background, the canvas
// picture and the applet icon.
#pragma once

#include <QIcon>
#include <QImage>

namespace kelvo {

// 188 x 94 logical pixels drawn at `ratio` device pixels each: a blue panel
// with a light edge and a title strip reading "Kelvo".
QImage FormBackground(double ratio = 1.0);
// `width` x `height` device pixels: a diagonal gradient of 14 blue shades.
QImage CanvasPicture(int width = 172, int height = 61);
// The application icon (data/kelvo.svg: the blue canvas and its light trace)
// `size` pixels square, as the build drew it (AppletIcon.cpp).
QImage IconImage(int size);
// The icon at the common sizes from 16 to 128 pixels.
QIcon AppletIcon();

}  // namespace kelvo
