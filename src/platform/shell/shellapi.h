// The notification-area call of the Windows shell, narrow-character form.
#pragma once

#include "win32/win32.h"

#include <cstddef>

constexpr DWORD NIM_ADD = 0;
constexpr DWORD NIM_MODIFY = 1;
constexpr DWORD NIM_DELETE = 2;

constexpr UINT NIF_MESSAGE = 0x1;
constexpr UINT NIF_ICON = 0x2;
constexpr UINT NIF_TIP = 0x4;

// The record with a 128-byte tip. On a 32-bit system it is 152 bytes long and
// cbSize carries 152; on 64-bit Linux the handles are 8 bytes and the compiler
// pads around them, so the structure is larger (sizeof gives its real size)
// while the fields, their order and cbSize = 152 stay as on the 32-bit system.
// Shell_NotifyIconA accepts cbSize 152 or sizeof(NOTIFYICONDATAA).
struct NOTIFYICONDATAA {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[128];
};
using PNOTIFYICONDATAA = NOTIFYICONDATAA*;

// cbSize of the record as laid out for a 32-bit system.
constexpr DWORD NOTIFYICONDATAA_TIP128_SIZE = 152;
static_assert(sizeof(void*) != 4 || sizeof(NOTIFYICONDATAA) == NOTIFYICONDATAA_TIP128_SIZE);
static_assert(sizeof(NOTIFYICONDATAA::szTip) == 128);

// Adds, changes or removes the icon named by (hWnd, uID). Mouse activity over
// an icon added or modified with NIF_MESSAGE is posted to hWnd as
// uCallbackMessage with wParam uID and the mouse message in lParam.
BOOL Shell_NotifyIconA(DWORD dwMessage, PNOTIFYICONDATAA lpData);

// ShellExecuteA's usual show command and the error codes
// of its published return convention: a value above 32 is success.
constexpr INT SW_SHOWNORMAL = 1;
constexpr INT SE_ERR_FNF = 2;
constexpr INT SE_ERR_NOASSOC = 31;

// Opens lpFile with the desktop's handler for it (a web address in the
// browser, a "mailto:" address in the mail program). Only the default verb
// (null or "open") is known; parameters and directory apply to programs,
// which are not started. Returns a value above 32 on success, else an error
// code of 32 or below, like the system call.
HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory,
                        INT nShowCmd);
