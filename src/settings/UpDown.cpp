#include "settings/UpDown.h"

#include "comctl/commctrl.h"
#include "kernel/library.h"
#include "user/window_table.h"

namespace {

using InitCommonControlsExProc = BOOL (*)(const INITCOMMONCONTROLSEX*);

}  // namespace

UpDown::UpDown()
{
    InitCommonControls();
    const HMODULE library = LoadLibraryA("comctl32.dll");
    if (!library) return;
    if (const FARPROC found = GetProcAddress(library, "InitCommonControlsEx")) {
        const auto init = reinterpret_cast<InitCommonControlsExProc>(reinterpret_cast<void (*)()>(found));
        const INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
        init(&icc);
    }
    FreeLibrary(library);
}

UpDown::~UpDown()
{
    if (hUpDown) DestroyWindow(hUpDown);
}

HWND UpDown::Create(HWND hParent, SHORT Left, SHORT Top, SHORT Width, SHORT Height, HWND hBuddy, SHORT iID,
                    SHORT Upper, SHORT Lower, SHORT Position, bool SetBuddy, bool ArrowKeys)
{
    DWORD style = WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT;
    if (SetBuddy) style |= UDS_SETBUDDYINT;
    if (ArrowKeys) style |= UDS_ARROWKEYS;
    hUpDown = CreateUpDownControl(style, Left, Top, Width, Height, hParent, iID, GetModuleHandleA(nullptr), hBuddy,
                                  Upper, Lower, Position);
    return hUpDown;
}
