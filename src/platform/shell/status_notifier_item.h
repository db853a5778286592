// Kelvo's own StatusNotifierItem on the session bus: one icon, its tip and
// the window's menu (over com.canonical.dbusmenu), on a connection of its
// own. The toolkit's tray icon chooses between this protocol and XEmbed once
// per process; an item of our own can come and go with the hosts.
#pragma once

#include "shell/dbus_menu.h"
#include "shell/notification_area.h"
#include "shell/session_bus.h"
#include "shell/shellapi.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <span>
#include <vector>

class QMenu;

namespace shell {

// (iiay): ARGB32 in network byte order.
struct StatusNotifierPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using StatusNotifierPixmaps = QList<StatusNotifierPixmap>;

StatusNotifierPixmap ToStatusNotifierPixmap(const QImage& image);

// The sizes, besides the small-icon size `small`, that an item offers its
// host: the common ones below it. A host that takes the largest picture and
// scales it to its own size (waybar) thus gets the small-icon size; one that
// takes the closest finds its own among them.
std::vector<IconSize> StatusNotifierIconSizes(IconSize small);

class StatusNotifierItem : public QObject {
    Q_OBJECT

public:
    // `onMouse` gets the mouse message a host's request stands for.
    StatusNotifierItem(QMenu* menu, std::function<void(UINT mouseMessage)> onMouse, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Connects to the session bus, takes a name there and registers with
    // the watcher; false when the bus is not there or refuses the name.
    bool Publish();
    const QString& Service() const { return service_; }

    // `more`: the same picture drawn at other sizes, for the host to pick from.
    void SetImage(const QImage& image, std::span<const QImage> more = {});
    void SetTip(const QString& tip);

    // What the bus reads.
    const StatusNotifierPixmaps& Pixmaps() const { return pixmaps_; }
    const QString& Tip() const { return tip_; }
    // After the host has its answer: what the mouse message leads to may
    // take the item away.
    void Request(UINT mouseMessage);

signals:
    void NewIcon();

private:
    void Withdraw();
    void Announce(const char* signal);

    std::unique_ptr<SessionBus> bus_;  // outlives the objects below on it
    BusSlot object_;
    DBusMenu menu_;
    std::function<void(UINT)> onMouse_;
    StatusNotifierPixmaps pixmaps_;
    QString tip_;
    QString service_;
};

}  // namespace shell
