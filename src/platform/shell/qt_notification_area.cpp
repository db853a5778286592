#include "shell/qt_notification_area.h"

#include "gdi/gdi_access.h"
#include "shell/xembed_slot.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QSystemTrayIcon>

#include <cstring>

namespace shell {

struct QtNotificationArea::Entry {
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT callbackMessage = 0;
    TrayHost host = TrayHost::XEmbed;
    std::unique_ptr<QMenu> menu;  // the host's copy of the window's menu
    std::unique_ptr<QSystemTrayIcon> icon;
};

namespace {

// Every area, so that the application's end can remove their icons while the
// window system is still there.
std::vector<QtNotificationArea*>& liveAreas()
{
    static std::vector<QtNotificationArea*> areas;
    return areas;
}

void clearAllAreas()
{
    for (QtNotificationArea* area : liveAreas()) area->Clear();
}

void clearAtApplicationEnd()
{
    static QPointer<QCoreApplication> registeredFor;
    QCoreApplication* app = QCoreApplication::instance();
    if (app && registeredFor != app) {
        registeredFor = app;
        qAddPostRoutine(clearAllAreas);
    }
}

QIcon blankIcon()
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return QIcon(QPixmap::fromImage(image));
}

}  // namespace

QImage IconQImage(HICON hIcon)
{
    gdi::IconImage picture;
    if (!hIcon || !gdi::IconPicture(hIcon, picture) || picture.width <= 0 || picture.height <= 0) return {};
    QImage image(picture.width, picture.height, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height; ++y) {
        std::memcpy(image.scanLine(y), picture.argb.data() + static_cast<std::size_t>(y) * picture.width,
                    static_cast<std::size_t>(picture.width) * sizeof(std::uint32_t));
    }
    return image;
}

bool StatusNotifierHostRegistered()
{
    static const bool registered = [] {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) return false;
        QDBusMessage get = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.kde.StatusNotifierWatcher") << QStringLiteral("IsStatusNotifierHostRegistered");
        const QDBusMessage reply = bus.call(get, QDBus::Block, 2000);
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
               reply.arguments().front().value<QDBusVariant>().variant().toBool();
    }();
    return registered;
}

UINT MouseMessageOfActivation(int reason, TrayHost host)
{
    const bool item = host == TrayHost::StatusNotifierItem;
    switch (static_cast<QSystemTrayIcon::ActivationReason>(reason)) {
    case QSystemTrayIcon::Context: return WM_RBUTTONDOWN;  // Qt reports it on the press
    case QSystemTrayIcon::Trigger: return item ? WM_LBUTTONDBLCLK : WM_LBUTTONUP;  // Activate, or a left click
    case QSystemTrayIcon::DoubleClick: return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::MiddleClick: return WM_MBUTTONUP;
    case QSystemTrayIcon::Unknown: break;
    }
    return 0;
}

QtNotificationArea::QtNotificationArea(std::function<bool()> available) : available_(std::move(available))
{
    liveAreas().push_back(this);
}

QtNotificationArea::~QtNotificationArea()
{
    Clear();
    std::erase(liveAreas(), this);
}

bool QtNotificationArea::Available()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
    if (available_) return available_();
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    StatusNotifierHostRegistered();  // asked when Qt makes its own choice
    return available;
}

TrayHost QtNotificationArea::Host()
{
    if (!Available()) return TrayHost::None;
    return StatusNotifierHostRegistered() ? TrayHost::StatusNotifierItem : TrayHost::XEmbed;
}

void QtNotificationArea::SetIconMenu(HWND hWnd, QMenu* menu)
{
    menus_[hWnd] = menu;
}

BOOL QtNotificationArea::NotifyIcon(DWORD dwMessage, const NOTIFYICONDATAA& data)
{
    switch (dwMessage) {
    case NIM_ADD: return Add(data);
    case NIM_MODIFY: return Modify(data);
    case NIM_DELETE: return Delete(data);
    default: return FALSE;
    }
}

QSystemTrayIcon* QtNotificationArea::TrayIconOf(HWND hWnd, UINT uID) const
{
    const auto it = entries_.find({hWnd, uID});
    return it == entries_.end() ? nullptr : it->second->icon.get();
}

void QtNotificationArea::Clear()
{
    entries_.clear();
}

BOOL QtNotificationArea::Add(const NOTIFYICONDATAA& data)
{
    if (!Available()) return FALSE;
    const auto key = std::make_pair(data.hWnd, data.uID);
    if (entries_.count(key)) return FALSE;
    clearAtApplicationEnd();

    auto entry = std::make_unique<Entry>();
    entry->hWnd = data.hWnd;
    entry->uID = data.uID;
    entry->host = Host();
    entry->icon = std::make_unique<QSystemTrayIcon>();
    entry->icon->setIcon(blankIcon());
    Entry* raw = entry.get();
    QObject::connect(raw->icon.get(), &QSystemTrayIcon::activated, raw->icon.get(),
                     [raw](QSystemTrayIcon::ActivationReason reason) {
                         PostIconCallback(raw->hWnd, raw->uID, raw->callbackMessage,
                                          MouseMessageOfActivation(static_cast<int>(reason), raw->host));
                     });
    Apply(*raw, data);
    // An XEmbed icon would open its context menu beside the callback's.
    if (const auto menu = menus_.find(data.hWnd);
        raw->host == TrayHost::StatusNotifierItem && menu != menus_.end() && menu->second) {
        raw->menu = std::make_unique<QMenu>();
        raw->menu->addActions(menu->second->actions());
        raw->icon->setContextMenu(raw->menu.get());
    }
    raw->icon->show();
    FitXEmbedSlot(raw->icon.get());
    entries_.emplace(key, std::move(entry));
    return TRUE;
}

BOOL QtNotificationArea::Modify(const NOTIFYICONDATAA& data)
{
    const auto it = entries_.find({data.hWnd, data.uID});
    if (it == entries_.end()) return FALSE;
    Apply(*it->second, data);
    return TRUE;
}

BOOL QtNotificationArea::Delete(const NOTIFYICONDATAA& data)
{
    const auto it = entries_.find({data.hWnd, data.uID});
    if (it == entries_.end()) return FALSE;
    // A choice from the host's menu may be what removes the icon: its D-Bus
    // call is still running, so the icon and menu go once it has returned.
    Entry& entry = *it->second;
    QObject::disconnect(entry.icon.get(), nullptr, nullptr, nullptr);  // its callback names the entry
    entry.icon->hide();
    entry.icon->setContextMenu(nullptr);
    entry.icon.release()->deleteLater();
    ForgetXEmbedSlot();
    if (entry.menu) entry.menu.release()->deleteLater();
    entries_.erase(it);
    return TRUE;
}

void QtNotificationArea::Apply(Entry& entry, const NOTIFYICONDATAA& data)
{
    if (data.uFlags & NIF_MESSAGE) entry.callbackMessage = data.uCallbackMessage;
    if (data.uFlags & NIF_ICON) {
        // The picture is copied now: the caller may destroy its icon next.
        const QImage image = IconQImage(data.hIcon);
        entry.icon->setIcon(image.isNull() ? blankIcon() : QIcon(QPixmap::fromImage(image)));
    }
    if (data.uFlags & NIF_TIP) {
        const std::size_t length = strnlen(data.szTip, sizeof data.szTip);
        entry.icon->setToolTip(QString::fromLocal8Bit(data.szTip, static_cast<qsizetype>(length)));
    }
}

}  // namespace shell
