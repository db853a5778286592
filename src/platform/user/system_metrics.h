// GetSystemMetrics for the icon sizes, from the desktop's style.
#pragma once

#include "win32/win32.h"

constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;
constexpr int SM_CXSMSIZE = 52;
constexpr int SM_CYSMSIZE = 53;

// The sizes come from the application's style when a QApplication exists
// (small and large icon size, title-bar button size); without one, the
// classic Windows values (32, 16, 12 x 15). Any other index gives 0.
int GetSystemMetrics(int nIndex);
