// The desktop's notification area behind Shell_NotifyIconA, replaceable so
// that tests can record the calls instead of reaching a real panel.
#pragma once

#include "shell/shellapi.h"

#include <functional>
#include <vector>

class QMenu;

// Kelvo extension: an icon size in device pixels.
struct IconSize {
    int width = 0;
    int height = 0;
    bool operator==(const IconSize&) const = default;
};

namespace shell {

// What shows the icons. An XEmbed tray passes the mouse on as it is; a
// StatusNotifierItem host only asks the item to activate (on a click) or
// for its context menu, and has no double-click.
enum class TrayHost { None, XEmbed, StatusNotifierItem };

class NotificationArea {
public:
    virtual ~NotificationArea() = default;
    // Whether icons can be shown at all (a panel with a tray is running).
    virtual bool Available() = 0;
    virtual TrayHost Host() { return Available() ? TrayHost::XEmbed : TrayHost::None; }
    // The menu for the icons of hWnd, for hosts that draw menus themselves.
    virtual void SetIconMenu(HWND /*hWnd*/, QMenu* /*menu*/) {}
    // One Shell_NotifyIconA call whose record has been checked for size.
    virtual BOOL NotifyIcon(DWORD dwMessage, const NOTIFYICONDATAA& data) = 0;
    // Sizes besides the small-icon size at which the host of (hWnd, uID) may
    // show it, and a picture of one of them for the next icon change.
    virtual std::vector<IconSize> MoreIconSizes(HWND /*hWnd*/, UINT /*uID*/) { return {}; }
    virtual BOOL AddIconPicture(HWND /*hWnd*/, UINT /*uID*/, HICON /*hIcon*/) { return FALSE; }
};

// Installs `area` for Shell_NotifyIconA (not owned); nullptr restores the
// desktop's own. Returns the previously installed one (nullptr for the default).
NotificationArea* SetNotificationArea(NotificationArea* area);
NotificationArea& CurrentNotificationArea();

// What an area calls when a tray host comes or goes: every
// NotificationAreaWatch looks again.
void NotifyAvailabilityChanged();

// The mouse message an icon reports for a Qt activation reason
// (QSystemTrayIcon::ActivationReason as int) from `host`; 0 for none. A
// StatusNotifierItem activation stands for the double-click it replaces.
UINT MouseMessageOfActivation(int reason, TrayHost host = TrayHost::XEmbed);

// Posts the callback of an icon: uCallbackMessage to hWnd, wParam uID,
// lParam the mouse message. FALSE when the window is unknown or
// callbackMessage is 0.
BOOL PostIconCallback(HWND hWnd, UINT uID, UINT callbackMessage, UINT mouseMessage);

}  // namespace shell

// Kelvo extension: `menu` is what a StatusNotifierItem host shows on a right
// click on the icons of hWnd (such hosts draw the menu themselves, over
// com.canonical.dbusmenu, instead of asking the item); its actions run as
// if chosen from `menu`. Other hosts leave menus to the callback.
void SetNotifyIconMenu(HWND hWnd, QMenu* menu);

// Kelvo extension: the sizes besides SM_CXSMICON x SM_CYSMICON at which the
// host of (hWnd, uID) may show the icon (a StatusNotifierItem host picks one
// of the pictures it is given; an XEmbed tray has none). A picture given for
// each with AddNotifyIconPicture goes to the host with the next NIM_MODIFY
// that sets the icon, so that the host scales none.
std::vector<IconSize> NotifyIconMoreSizes(HWND hWnd, UINT uID);
BOOL AddNotifyIconPicture(HWND hWnd, UINT uID, HICON hIcon);

// Kelvo extension: whether the desktop offers a notification area now.
bool NotificationAreaAvailable();

// Kelvo extension: calls `onChange(available)` whenever the availability of
// the notification area changes while the object lives, as the area reports
// the coming and going of tray hosts (no polling).
class NotificationAreaWatch {
public:
    explicit NotificationAreaWatch(std::function<void(bool available)> onChange);
    ~NotificationAreaWatch();
    NotificationAreaWatch(const NotificationAreaWatch&) = delete;
    NotificationAreaWatch& operator=(const NotificationAreaWatch&) = delete;

    // Looks at once; returns the current state.
    bool Poll();
    bool LastKnown() const { return last_; }

private:
    std::function<void(bool)> onChange_;
    bool last_ = false;
};
