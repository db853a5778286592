// The default notification area: per (hWnd, uID) one icon in whichever tray
// host the desktop offers now (a QSystemTrayIcon in an XEmbed tray, an item
// of our own in a StatusNotifierItem host), moved when the host changes.
#pragma once

#include "shell/notification_area.h"

#include <QImage>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class QMenu;
class QSystemTrayIcon;

namespace shell {

class StatusNotifierItem;
class TrayPresence;

// The picture an icon shows, as the notification area receives it; a null
// image when the handle is not an icon.
QImage IconQImage(HICON hIcon);

class QtNotificationArea : public NotificationArea {
public:
    // `host` replaces the desktop query (tests); empty asks the desktop.
    explicit QtNotificationArea(std::function<TrayHost()> host = {});
    ~QtNotificationArea() override;

    bool Available() override;
    TrayHost Host() override;
    void SetIconMenu(HWND hWnd, QMenu* menu) override;
    BOOL NotifyIcon(DWORD dwMessage, const NOTIFYICONDATAA& data) override;
    std::vector<IconSize> MoreIconSizes(HWND hWnd, UINT uID) override;
    BOOL AddIconPicture(HWND hWnd, UINT uID, HICON hIcon) override;

    // The icon behind (hWnd, uID) in an XEmbed tray or in a
    // StatusNotifierItem host; nullptr when there is none of that kind.
    QSystemTrayIcon* TrayIconOf(HWND hWnd, UINT uID) const;
    StatusNotifierItem* ItemOf(HWND hWnd, UINT uID) const;
    // Removes every icon (the application is going away).
    void Clear();

private:
    struct Entry;
    BOOL Add(const NOTIFYICONDATAA& data);
    BOOL Modify(const NOTIFYICONDATAA& data);
    BOOL Delete(const NOTIFYICONDATAA& data);
    static void Apply(Entry& entry, const NOTIFYICONDATAA& data);
    void Show(Entry& entry);
    void WatchEmbedding(QSystemTrayIcon* icon);
    static void Hide(Entry& entry);
    void HostChanged();
    TrayPresence* Presence();

    std::function<TrayHost()> host_;
    std::unique_ptr<TrayPresence> presence_;
    std::map<std::pair<HWND, UINT>, std::unique_ptr<Entry>> entries_;
    std::map<HWND, QPointer<QMenu>> menus_;
};

}  // namespace shell
