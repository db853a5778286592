// Device pixels are the screen's own; Qt places widgets in logical pixels.
// At a device pixel ratio of 2 (Xft.dpi 192, a Wayland output scale of 2,
// QT_SCALE_FACTOR=2) a logical pixel is 2 x 2 device pixels, and a picture
// stays sharp only when it is drawn at the device size.
#pragma once

namespace user {

// The primary screen's device pixel ratio; 1 without a screen.
double DevicePixelRatio();
// `logical` pixels at `ratio` in device pixels, rounded to nearest, halves to
// even, like every other conversion of the applet's.
int DevicePixels(int logical, double ratio);

}  // namespace user
