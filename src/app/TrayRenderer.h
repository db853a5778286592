// The tray display's renderer: one fresh small icon per tick, handed to the
// notification-area icon (hTray, 1).
#pragma once

#include "win32/win32.h"

#include <cstdint>
#include <span>

namespace kelvo {

// lTrayStyle 0: the trace in a sunken frame over an opaque background on
// every platform class, legible on light and dark panels alike; 1: a green
// level bar; others: nothing. The icon is as large as the small-icon metrics.
void RenderTrayFrame(std::span<const std::uint8_t> samples, LONG lTrayStyle, LONG lPlatform, HWND hTray);

// The trace's background: the button face, unless the blue trace would not
// stand out from it by 3:1 (a dark desktop palette), then the classic grey.
COLORREF TrayBackground();

// Height of the level bar for a block in an icon `height` pixels high; an
// empty block gives 0.
std::int16_t TrayLevel(std::span<const std::uint8_t> samples, std::int16_t height);

}  // namespace kelvo
