// GetModuleFileNameA: the full path of the running program.
#pragma once

#include "win32/win32.h"

// Only the program itself (hModule nullptr) is known. Returns the length
// copied without the NUL; when the buffer is too small the path is cut and
// nSize returned, as documented for Windows XP and later.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
