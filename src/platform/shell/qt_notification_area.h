// The default notification area: one QSystemTrayIcon per (hWnd, uID).
#pragma once

#include "shell/notification_area.h"

#include <QImage>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <utility>

class QMenu;
class QSystemTrayIcon;

namespace shell {

// The picture an icon shows, as the notification area receives it; a null
// image when the handle is not an icon.
QImage IconQImage(HICON hIcon);

// Whether a StatusNotifierItem host is registered on the session bus. Qt
// makes this choice once per process, so the first answer is kept.
bool StatusNotifierHostRegistered();

class QtNotificationArea : public NotificationArea {
public:
    // `available` replaces the desktop query (tests); empty asks Qt.
    explicit QtNotificationArea(std::function<bool()> available = {});
    ~QtNotificationArea() override;

    bool Available() override;
    TrayHost Host() override;
    void SetIconMenu(HWND hWnd, QMenu* menu) override;
    BOOL NotifyIcon(DWORD dwMessage, const NOTIFYICONDATAA& data) override;

    // The Qt icon behind (hWnd, uID), nullptr when there is none.
    QSystemTrayIcon* TrayIconOf(HWND hWnd, UINT uID) const;
    // Removes every icon (the application is going away).
    void Clear();

private:
    struct Entry;
    BOOL Add(const NOTIFYICONDATAA& data);
    BOOL Modify(const NOTIFYICONDATAA& data);
    BOOL Delete(const NOTIFYICONDATAA& data);
    static void Apply(Entry& entry, const NOTIFYICONDATAA& data);

    std::function<bool()> available_;
    std::map<std::pair<HWND, UINT>, std::unique_ptr<Entry>> entries_;
    std::map<HWND, QPointer<QMenu>> menus_;
};

}  // namespace shell
