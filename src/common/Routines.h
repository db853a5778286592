// General routines shared by the applet's modules.
#pragma once

#include "win32/win32.h"

#include <optional>
#include <string>

// Platform class of the running system: 0 Windows 95, 1 Windows 98/Me,
// 2 NT 5.x, 3 NT 4.0, 4 other NT, 5 Win32s, 6 unknown platform, 7 query failed.
LONG GetPlatform();

// Trims blanks (unless bTrim is false), then cuts a system-filled text buffer
// at its first NUL.
std::string TrimNull(const std::string& sText, std::optional<bool> bTrim = std::nullopt);
