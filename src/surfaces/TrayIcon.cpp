#include "surfaces/TrayIcon.h"

#include "shell/shellapi.h"

#include <algorithm>
#include <cstring>

namespace kelvo {
namespace {

NOTIFYICONDATAA zeroedRecord(HWND hWnd, LONG lID)
{
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAA_TIP128_SIZE;
    data.hWnd = hWnd;
    data.uID = static_cast<UINT>(lID);
    return data;
}

// The tip, a NUL, then spaces to the end of the field.
void fillTip(NOTIFYICONDATAA& data, const std::string& tip)
{
    constexpr std::size_t field = sizeof data.szTip;
    std::size_t length = std::min(tip.size(), field - 1);
    if (length < tip.size()) {
        // Back off to the start of a UTF-8 character.
        while (length > 0 && (static_cast<unsigned char>(tip[length]) & 0xC0) == 0x80) --length;
    }
    std::memset(data.szTip, ' ', field);
    std::memcpy(data.szTip, tip.data(), length);
    data.szTip[length] = '\0';
}

}  // namespace

bool TrayAdd(HWND hWnd, HICON hIcon, const std::string& sTip, LONG lCallbackMessage, LONG lID)
{
    NOTIFYICONDATAA data = zeroedRecord(hWnd, lID);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = static_cast<UINT>(lCallbackMessage);
    data.hIcon = hIcon;
    fillTip(data, sTip);
    return Shell_NotifyIconA(NIM_ADD, &data) != 0;
}

bool TrayModify(HWND hWnd, std::optional<HICON> hIcon, const std::optional<std::string>& sTip, LONG lID)
{
    NOTIFYICONDATAA data = zeroedRecord(hWnd, lID);
    if (hIcon) {
        data.hIcon = *hIcon;
        data.uFlags |= NIF_ICON;
    }
    if (sTip) {
        fillTip(data, *sTip);
        data.uFlags |= NIF_TIP;
    }
    return Shell_NotifyIconA(NIM_MODIFY, &data) != 0;
}

bool TrayDelete(HWND hWnd, LONG lID)
{
    NOTIFYICONDATAA data = zeroedRecord(hWnd, lID);
    return Shell_NotifyIconA(NIM_DELETE, &data) != 0;
}

}  // namespace kelvo
