#include "shell/status_notifier_item.h"

#include "shell/notification_area.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QSystemTrayIcon>
#include <QtEndian>

#include <algorithm>

namespace shell {

const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierPixmap& pixmap)
{
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.bytes;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierPixmap& pixmap)
{
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.bytes;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierToolTip& tip)
{
    argument.beginStructure();
    argument >> tip.iconName >> tip.icon >> tip.title >> tip.text;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierToolTip& tip)
{
    argument.beginStructure();
    argument << tip.iconName << tip.icon << tip.title << tip.text;
    argument.endStructure();
    return argument;
}

namespace {

const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");

void RegisterTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<StatusNotifierPixmap>();
        qDBusRegisterMetaType<StatusNotifierPixmaps>();
        qDBusRegisterMetaType<StatusNotifierToolTip>();
        return true;
    }();
    (void)registered;
}

}  // namespace

StatusNotifierPixmap ToStatusNotifierPixmap(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    StatusNotifierPixmap pixmap{argb.width(), argb.height(), {}};
    pixmap.bytes.resize(static_cast<qsizetype>(argb.width()) * argb.height() * 4);
    auto* out = reinterpret_cast<uchar*>(pixmap.bytes.data());
    for (int y = 0; y < pixmap.height; ++y) {
        const auto* row = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < pixmap.width; ++x, out += 4) qToBigEndian(row[x], out);
    }
    return pixmap;
}

std::vector<IconSize> StatusNotifierIconSizes(IconSize small)
{
    // What panels draw at one and at two device pixels to the pixel.
    static constexpr int kCommonSides[] = {16, 22, 24, 32, 44, 48};
    std::vector<IconSize> sizes;
    for (const int side : kCommonSides) {
        if (side < std::min(small.width, small.height)) sizes.push_back({side, side});
    }
    return sizes;
}

// org.kde.StatusNotifierItem on the bus, answered by the item it belongs to.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ Category)
    Q_PROPERTY(QString Id READ Id)
    Q_PROPERTY(QString Title READ Title)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(int WindowId READ WindowId)
    Q_PROPERTY(QString IconThemePath READ Empty)
    Q_PROPERTY(QString IconName READ Empty)
    Q_PROPERTY(shell::StatusNotifierPixmaps IconPixmap READ IconPixmap)
    Q_PROPERTY(QString OverlayIconName READ Empty)
    Q_PROPERTY(shell::StatusNotifierPixmaps OverlayIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionIconName READ Empty)
    Q_PROPERTY(shell::StatusNotifierPixmaps AttentionIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ Empty)
    Q_PROPERTY(shell::StatusNotifierToolTip ToolTip READ ToolTip)
    Q_PROPERTY(bool ItemIsMenu READ ItemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ Menu)

public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item) : QDBusAbstractAdaptor(item), item_(item)
    {
        setAutoRelaySignals(true);
    }
    QString Category() const { return QStringLiteral("ApplicationStatus"); }
    QString Id() const { return QCoreApplication::applicationName(); }
    QString Title() const { return item_->Tip(); }
    QString Status() const { return QStringLiteral("Active"); }
    int WindowId() const { return 0; }
    QString Empty() const { return {}; }
    StatusNotifierPixmaps IconPixmap() const { return item_->Pixmaps(); }
    StatusNotifierPixmaps NoPixmaps() const { return {}; }
    StatusNotifierToolTip ToolTip() const { return {{}, {}, item_->Tip(), {}}; }
    bool ItemIsMenu() const { return false; }
    QDBusObjectPath Menu() const { return QDBusObjectPath(kMenuPath); }

public slots:
    void ContextMenu(int, int) { item_->Request(WM_RBUTTONDOWN); }
    void Activate(int, int) { item_->Request(MouseMessageOfActivation(QSystemTrayIcon::Trigger, TrayHost::StatusNotifierItem)); }
    void SecondaryActivate(int, int) { item_->Request(WM_MBUTTONUP); }
    void Scroll(int, const QString&) {}

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem* item_;
};

StatusNotifierItem::StatusNotifierItem(QMenu* menu, std::function<void(UINT)> onMouse, QObject* parent)
    : QObject(parent), menu_(menu), onMouse_(std::move(onMouse))
{
    RegisterTypes();
    new StatusNotifierItemAdaptor(this);
}

StatusNotifierItem::~StatusNotifierItem()
{
    Withdraw();
}

bool StatusNotifierItem::Publish()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (published_ || !bus.isConnected()) return published_;
    static int instances = 0;
    service_ = QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(QCoreApplication::applicationPid()).arg(++instances);
    if (!bus.registerObject(kItemPath, this, QDBusConnection::ExportAdaptors)) return false;
    if (!menu_.Publish(bus, kMenuPath) || !bus.registerService(service_)) {
        menu_.Withdraw();
        bus.unregisterObject(kItemPath);
        return false;
    }
    published_ = true;
    QDBusMessage registration = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("RegisterStatusNotifierItem"));
    registration << service_;
    bus.asyncCall(registration);
    return true;
}

void StatusNotifierItem::Withdraw()
{
    if (!published_) return;
    published_ = false;
    // The watcher forgets an item whose name goes.
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(service_);
    menu_.Withdraw();
    bus.unregisterObject(kItemPath);
}

void StatusNotifierItem::SetImage(const QImage& image, std::span<const QImage> more)
{
    pixmaps_ = {ToStatusNotifierPixmap(image)};
    for (const QImage& other : more) pixmaps_.append(ToStatusNotifierPixmap(other));
    emit NewIcon();
}

void StatusNotifierItem::SetTip(const QString& tip)
{
    if (tip == tip_) return;
    tip_ = tip;
    emit NewTitle();
    emit NewToolTip();
}

void StatusNotifierItem::Request(UINT mouseMessage)
{
    if (onMouse_ && mouseMessage) onMouse_(mouseMessage);
}

}  // namespace shell

#include "status_notifier_item.moc"
