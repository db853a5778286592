// One icon in the desktop's notification area, named by a window handle and
// an identifier; each call fills one record and makes one Shell_NotifyIconA.
#pragma once

#include "win32/win32.h"

#include <optional>
#include <string>

namespace kelvo {

// Tips are cut to 127 bytes (the field keeps room for its NUL), never in the
// middle of a UTF-8 character.
bool TrayAdd(HWND hWnd, HICON hIcon, const std::string& sTip, LONG lCallbackMessage, LONG lID);
// Only what is given changes: the icon (NIF_ICON), the tip (NIF_TIP).
bool TrayModify(HWND hWnd, std::optional<HICON> hIcon, const std::optional<std::string>& sTip, LONG lID);
bool TrayDelete(HWND hWnd, LONG lID);

}  // namespace kelvo
