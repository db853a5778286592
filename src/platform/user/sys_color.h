// GetSysColor for the three button colours the tray icon uses.
#pragma once

#include "win32/win32.h"

constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_BTNHIGHLIGHT = 20;

// From the application palette (Button, Dark, Light) when a Qt GUI
// application exists, else the classic Windows colours. Any other index
// gives 0 (black).
DWORD GetSysColor(int nIndex);
