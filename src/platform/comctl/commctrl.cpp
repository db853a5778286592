#include "comctl/commctrl.h"

#include "comctl/updown_control.h"
#include "kernel/library.h"

#include <algorithm>

namespace {

FARPROC Export(BOOL (*function)(const INITCOMMONCONTROLSEX*))
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// "comctl32.dll" can be loaded by name wherever these functions are linked in.
const bool kProvided = [] {
    kernel::ProvideLibrary("comctl32.dll", kernel::Exports{{"InitCommonControlsEx", Export(&InitCommonControlsEx)}});
    return true;
}();

}  // namespace

void InitCommonControls()
{
    // The control classes are Qt widgets, ready without registration.
    (void)kProvided;
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce)
{
    return picce && picce->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}

HWND CreateUpDownControl(DWORD dwStyle, int x, int y, int cx, int cy, HWND hParent, int /*nID*/,
                         HINSTANCE /*hInst*/, HWND hBuddy, int nUpper, int nLower, int nPos)
{
    QWidget* parent = user::WindowFromHandle(hParent);
    if (!parent) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    auto* control = new comctl::UpDownControl(parent, dwStyle, QRect(x, y, cx, cy));
    const HWND hWnd = user::RegisterWindow(control);
    if (hBuddy) control->SetBuddy(hBuddy);
    control->SetRange(std::clamp(nUpper, UD_MINVAL, UD_MAXVAL), std::clamp(nLower, UD_MINVAL, UD_MAXVAL));
    control->SetPos(nPos);
    if (dwStyle & WS_VISIBLE) control->show();
    return hWnd;
}
