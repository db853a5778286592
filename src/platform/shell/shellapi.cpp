#include "shell/shellapi.h"

#include "shell/notification_area.h"
#include "shell/qt_notification_area.h"
#include "user/window_table.h"

#include <algorithm>
#include <vector>

namespace shell {
namespace {

NotificationArea* installed = nullptr;

// Never destroyed: its icons go with the application object, and an exit
// the toolkit starts itself (a lost display connection) must leave no Qt
// object for the exit handlers to delete after the toolkit's state is gone.
QtNotificationArea& desktopArea()
{
    static QtNotificationArea* const area = new QtNotificationArea;
    return *area;
}

}  // namespace

NotificationArea* SetNotificationArea(NotificationArea* area)
{
    NotificationArea* previous = installed;
    installed = area;
    return previous;
}

NotificationArea& CurrentNotificationArea()
{
    if (installed) return *installed;
    return desktopArea();
}

BOOL PostIconCallback(HWND hWnd, UINT uID, UINT callbackMessage, UINT mouseMessage)
{
    if (callbackMessage == 0 || mouseMessage == 0) return FALSE;
    return user::PostMessageA(hWnd, callbackMessage, uID, static_cast<LPARAM>(mouseMessage));
}

}  // namespace shell

BOOL Shell_NotifyIconA(DWORD dwMessage, PNOTIFYICONDATAA lpData)
{
    if (!lpData) return FALSE;
    if (lpData->cbSize != NOTIFYICONDATAA_TIP128_SIZE && lpData->cbSize != sizeof(NOTIFYICONDATAA)) return FALSE;
    return shell::CurrentNotificationArea().NotifyIcon(dwMessage, *lpData);
}

void SetNotifyIconMenu(HWND hWnd, QMenu* menu)
{
    shell::CurrentNotificationArea().SetIconMenu(hWnd, menu);
}

std::vector<IconSize> NotifyIconMoreSizes(HWND hWnd, UINT uID)
{
    return shell::CurrentNotificationArea().MoreIconSizes(hWnd, uID);
}

BOOL AddNotifyIconPicture(HWND hWnd, UINT uID, HICON hIcon)
{
    return shell::CurrentNotificationArea().AddIconPicture(hWnd, uID, hIcon);
}

bool NotificationAreaAvailable()
{
    return shell::CurrentNotificationArea().Available();
}

namespace {

std::vector<NotificationAreaWatch*>& liveWatches()
{
    static std::vector<NotificationAreaWatch*> watches;
    return watches;
}

}  // namespace

void shell::NotifyAvailabilityChanged()
{
    // A watch's owner may end another watch (or itself) from its callback.
    const std::vector<NotificationAreaWatch*> watches = liveWatches();
    for (NotificationAreaWatch* watch : watches) {
        if (std::find(liveWatches().begin(), liveWatches().end(), watch) != liveWatches().end()) watch->Poll();
    }
}

NotificationAreaWatch::NotificationAreaWatch(std::function<void(bool)> onChange)
    : onChange_(std::move(onChange)), last_(NotificationAreaAvailable())
{
    liveWatches().push_back(this);
}

NotificationAreaWatch::~NotificationAreaWatch()
{
    std::erase(liveWatches(), this);
}

bool NotificationAreaWatch::Poll()
{
    const bool now = NotificationAreaAvailable();
    if (now != last_) {
        last_ = now;
        if (onChange_) onChange_(now);
    }
    return now;
}
