// Common controls: initialisation and the up-down (spin) control, with the
// published signatures, records, styles and messages.
#pragma once

#include "win32/win32.h"

struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};
using LPINITCOMMONCONTROLSEX = INITCOMMONCONTROLSEX*;
static_assert(sizeof(INITCOMMONCONTROLSEX) == 8);

constexpr DWORD ICC_LISTVIEW_CLASSES = 0x01;
constexpr DWORD ICC_TREEVIEW_CLASSES = 0x02;
constexpr DWORD ICC_BAR_CLASSES = 0x04;
constexpr DWORD ICC_TAB_CLASSES = 0x08;
constexpr DWORD ICC_UPDOWN_CLASS = 0x10;
constexpr DWORD ICC_PROGRESS_CLASS = 0x20;
constexpr DWORD ICC_HOTKEY_CLASS = 0x40;
constexpr DWORD ICC_ANIMATE_CLASS = 0x80;
constexpr DWORD ICC_WIN95_CLASSES = 0xFF;

// Up-down styles. Only UDS_SETBUDDYINT, UDS_ALIGNRIGHT, UDS_ARROWKEYS and
// UDS_HORZ (for the control's size) are acted on; the others are kept in the
// style and otherwise ignored.
constexpr DWORD UDS_WRAP = 0x0001;
constexpr DWORD UDS_SETBUDDYINT = 0x0002;
constexpr DWORD UDS_ALIGNRIGHT = 0x0004;
constexpr DWORD UDS_ALIGNLEFT = 0x0008;
constexpr DWORD UDS_AUTOBUDDY = 0x0010;
constexpr DWORD UDS_ARROWKEYS = 0x0020;
constexpr DWORD UDS_HORZ = 0x0040;
constexpr DWORD UDS_NOTHOUSANDS = 0x0080;

// Up-down messages (16-bit ranges and positions).
constexpr UINT UDM_SETRANGE = WM_USER + 101;  // lParam: MAKELONG(upper, lower)
constexpr UINT UDM_GETRANGE = WM_USER + 102;  // MAKELONG(upper, lower)
constexpr UINT UDM_SETPOS = WM_USER + 103;    // lParam: MAKELONG(pos, 0); the previous position
constexpr UINT UDM_GETPOS = WM_USER + 104;    // MAKELONG(pos, nonzero when the buddy shows no valid number)
constexpr UINT UDM_SETBUDDY = WM_USER + 105;  // wParam: the buddy; the previous buddy
constexpr UINT UDM_GETBUDDY = WM_USER + 106;
constexpr UINT UDM_SETBASE = WM_USER + 109;     // wParam: 10 or 16; the previous base, 0 for any other
constexpr UINT UDM_GETBASE = WM_USER + 110;
// Up-down messages (32-bit ranges and positions).
constexpr UINT UDM_SETRANGE32 = WM_USER + 111;  // wParam: lower, lParam: upper
constexpr UINT UDM_GETRANGE32 = WM_USER + 112;  // wParam: int* lower, lParam: int* upper (either may be NULL)
constexpr UINT UDM_SETPOS32 = WM_USER + 113;    // lParam: pos; the previous position
constexpr UINT UDM_GETPOS32 = WM_USER + 114;    // lParam: BOOL* set when the buddy shows no valid number, or NULL

constexpr int UD_MAXVAL = 0x7FFF;
constexpr int UD_MINVAL = -UD_MAXVAL;

// Prepares the classic control classes. Nothing can fail.
void InitCommonControls();
// FALSE when dwSize is not 8.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce);

// A spin control, child of hParent, attached to hBuddy (when not NULL) with
// the range nUpper..nLower (either order; each clamped to the 16-bit range)
// and the position nPos. NULL with ERROR_INVALID_WINDOW_HANDLE when the parent
// is not a window.
HWND CreateUpDownControl(DWORD dwStyle, int x, int y, int cx, int cy, HWND hParent, int nID, HINSTANCE hInst,
                         HWND hBuddy, int nUpper, int nLower, int nPos);
