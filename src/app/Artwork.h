// Kelvo's own artwork, drawn by code: the window's background, the canvas
// picture and the applet icon.
#pragma once

#include <QIcon>
#include <QImage>

namespace kelvo {

// 188 x 94: a blue panel with a light edge and a title strip reading "Kelvo".
QImage FormBackground();
// 172 x 61: a diagonal gradient of 14 blue shades.
QImage CanvasPicture();
// A waveform of cyan and dark-cyan strokes on transparency, `size` square.
QImage IconImage(int size);
// The 16 x 16 and 32 x 32 images together.
QIcon AppletIcon();

}  // namespace kelvo
