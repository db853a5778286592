// The pointer shown over the about box's links, drawn by code: a hand whose
// index finger points at the hot spot.
#pragma once

#include <QCursor>
#include <QImage>

namespace kelvo {

constexpr int kLinkPointerSize = 32;
constexpr int kLinkPointerHotX = 5;
constexpr int kLinkPointerHotY = 1;

// 32 x 32, white with a black outline on transparency.
QImage LinkPointerImage();
QCursor LinkPointer();

}  // namespace kelvo
