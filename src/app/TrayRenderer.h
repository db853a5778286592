// The tray display's renderer: one fresh small icon per tick, handed to the
// notification-area icon (hTray, 1).
#pragma once

#include "win32/win32.h"

#include <cstdint>
#include <span>

namespace kelvo {

// lTrayStyle 0: the trace in a sunken frame (on platform classes 2 and 3 over
// an opaque button-face background); 1: a green level bar; others: nothing.
void RenderTrayFrame(std::span<const std::uint8_t> samples, LONG lTrayStyle, LONG lPlatform, HWND hTray);

// Height of the level bar for a block in an icon `height` pixels high; an
// empty block gives 0.
std::int16_t TrayLevel(std::span<const std::uint8_t> samples, std::int16_t height);

}  // namespace kelvo
