// GetSystemMetrics for the icon sizes, from the desktop's style, in device
// pixels as on a Windows screen set to more than 96 dpi.
#pragma once

#include "win32/win32.h"

constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;
constexpr int SM_CXSMSIZE = 52;
constexpr int SM_CYSMSIZE = 53;

// The sizes come from the application's style when a QApplication exists
// (small and large icon size, title-bar button size) at the screen's device
// pixel ratio; without one, the classic Windows values (32, 16, 12 x 15).
// The small-icon size is the notification area's, once it has told it. Any
// other index gives 0.
int GetSystemMetrics(int nIndex);

// Kelvo extension: the notification area gives its icons `width` x `height`
// device pixels (0 x 0: not known), which SM_CXSMICON and SM_CYSMICON report.
void SetNotificationIconSize(int width, int height);
