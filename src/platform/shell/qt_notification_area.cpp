#include "shell/qt_notification_area.h"

#include "gdi/gdi_access.h"
#include "shell/status_notifier_item.h"
#include "shell/tray_presence.h"
#include "shell/xembed_slot.h"
#include "user/system_metrics.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QIconEngine>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace shell {

struct QtNotificationArea::Entry {
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT callbackMessage = 0;
    TrayHost host = TrayHost::None;
    QImage image;  // kept to show the icon again in another host
    std::vector<QImage> more;     // the picture at other sizes, for a StatusNotifierItem host
    std::vector<QImage> pending;  // the same, for the next picture
    QString tip;
    std::unique_ptr<QSystemTrayIcon> icon;      // in an XEmbed tray
    std::unique_ptr<StatusNotifierItem> item;  // in a StatusNotifierItem host
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

QImage blankImage()
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// One picture, painted as it is. A QIcon made of a pixmap keeps each
// picture it paints in the process-wide QPixmapCache, under a key of that
// pixmap: a tray picture that changes every frame filled the cache to its
// 10 MB of pictures and kept the heap growing behind it. The picture here
// is shown as a pixmap icon would show it (never enlarged, made smaller to
// fit), and nothing is kept.
class PictureEngine : public QIconEngine {
public:
    explicit PictureEngine(QImage image) : image_(std::move(image)) {}

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        QSize actual = image_.size();
        if (actual.width() > size.width() || actual.height() > size.height()) actual.scale(size, Qt::KeepAspectRatio);
        return actual;
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return QPixmap::fromImage(Fitted(actualSize(size, mode, state)));
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QSize pixels(qRound(rect.width() * ratio), qRound(rect.height() * ratio));
        painter->drawImage(rect, Fitted(actualSize(pixels, mode, state)));
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {image_.size()}; }
    QString key() const override { return QStringLiteral("KelvoPicture"); }
    QIconEngine* clone() const override { return new PictureEngine(image_); }

private:
    QImage Fitted(const QSize& size) const
    {
        if (size == image_.size() || size.isEmpty()) return image_;
        return image_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }

    QImage image_;
};

QIcon pictureIcon(const QImage& image)
{
    return QIcon(new PictureEngine(image.isNull() ? blankImage() : image));
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

QtNotificationArea::QtNotificationArea(std::function<TrayHost()> host) : host_(std::move(host))
{
    liveAreas().push_back(this);
}

QtNotificationArea::~QtNotificationArea()
{
    Clear();
    std::erase(liveAreas(), this);
}

TrayPresence* QtNotificationArea::Presence()
{
    if (!presence_) {
        clearAtApplicationEnd();
        presence_ = std::make_unique<TrayPresence>();
        QObject::connect(presence_.get(), &TrayPresence::Changed, presence_.get(), [this] { HostChanged(); });
    }
    return presence_.get();
}

bool QtNotificationArea::Available()
{
    return Host() != TrayHost::None;
}

TrayHost QtNotificationArea::Host()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return TrayHost::None;
    if (host_) return host_();
    return Presence()->Current();
}

void QtNotificationArea::HostChanged()
{
    // Icons follow the host to the other kind; when none is left, the
    // owners of the icons decide.
    const TrayHost host = Host();
    for (auto& [key, entry] : entries_) {
        if (host == TrayHost::None || entry->host == host) continue;
        Hide(*entry);
        entry->host = host;
        Show(*entry);
    }
    NotifyAvailabilityChanged();
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

StatusNotifierItem* QtNotificationArea::ItemOf(HWND hWnd, UINT uID) const
{
    const auto it = entries_.find({hWnd, uID});
    return it == entries_.end() ? nullptr : it->second->item.get();
}

std::vector<IconSize> QtNotificationArea::MoreIconSizes(HWND hWnd, UINT uID)
{
    const auto it = entries_.find({hWnd, uID});
    if (it == entries_.end() || !it->second->item) return {};
    return StatusNotifierIconSizes({GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)});
}

BOOL QtNotificationArea::AddIconPicture(HWND hWnd, UINT uID, HICON hIcon)
{
    const auto it = entries_.find({hWnd, uID});
    QImage image = IconQImage(hIcon);
    if (it == entries_.end() || image.isNull()) return FALSE;
    // One picture per size: a caller that never sets the icon keeps no more.
    std::vector<QImage>& pending = it->second->pending;
    std::erase_if(pending, [&](const QImage& other) { return other.size() == image.size(); });
    pending.push_back(std::move(image));
    return TRUE;
}

void QtNotificationArea::Clear()
{
    entries_.clear();
    presence_.reset();
}

BOOL QtNotificationArea::Add(const NOTIFYICONDATAA& data)
{
    const TrayHost host = Host();
    if (host == TrayHost::None) return FALSE;
    const auto key = std::make_pair(data.hWnd, data.uID);
    if (entries_.count(key)) return FALSE;
    clearAtApplicationEnd();

    auto entry = std::make_unique<Entry>();
    entry->hWnd = data.hWnd;
    entry->uID = data.uID;
    entry->host = host;
    Apply(*entry, data);
    Show(*entry);
    if (!entry->icon && !entry->item) return FALSE;
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
    Hide(*it->second);
    entries_.erase(it);
    return TRUE;
}

void QtNotificationArea::Show(Entry& entry)
{
    Entry* raw = &entry;
    const auto callback = [raw](UINT mouseMessage) {
        PostIconCallback(raw->hWnd, raw->uID, raw->callbackMessage, mouseMessage);
    };
    if (entry.host == TrayHost::StatusNotifierItem) {
        const auto menu = menus_.find(entry.hWnd);
        entry.item = std::make_unique<StatusNotifierItem>(menu == menus_.end() ? nullptr : menu->second.data(), callback);
        entry.item->SetImage(entry.image.isNull() ? blankImage() : entry.image, entry.more);
        entry.item->SetTip(entry.tip);
        if (!entry.item->Publish()) entry.item.reset();
        return;
    }
    // Created only while no StatusNotifierItem host is there, so that the
    // toolkit's once-per-process choice of protocol falls on XEmbed.
    entry.icon = std::make_unique<QSystemTrayIcon>();
    entry.icon->setIcon(pictureIcon(entry.image));
    entry.icon->setToolTip(entry.tip);
    QObject::connect(entry.icon.get(), &QSystemTrayIcon::activated, entry.icon.get(),
                     [callback](QSystemTrayIcon::ActivationReason reason) {
                         callback(MouseMessageOfActivation(static_cast<int>(reason), TrayHost::XEmbed));
                     });
    entry.icon->show();
    FitXEmbedSlot(entry.icon.get());
    if (!host_) WatchEmbedding(entry.icon.get());
}

void QtNotificationArea::WatchEmbedding(QSystemTrayIcon* icon)
{
    // A tray may take the selection and never show an icon (a panel whose
    // XEmbed plugin embeds nothing): the owner of the icon then hears that
    // there is no tray, and the next tray that comes is tried.
    constexpr auto kEmbedWait = std::chrono::seconds(5);
    auto* poll = new QTimer(icon);
    const auto since = std::chrono::steady_clock::now();
    QObject::connect(poll, &QTimer::timeout, icon, [this, poll, since, kEmbedWait] {
        if (XEmbedIconShown()) {
            poll->stop();
        } else if (std::chrono::steady_clock::now() - since >= kEmbedWait) {
            poll->stop();
            std::fprintf(stderr, "kelvo: the XEmbed tray has not shown the icon after %lld s; using the window until "
                                 "another tray comes\n", static_cast<long long>(kEmbedWait.count()));
            std::fflush(stderr);
            Presence()->RefuseXEmbedTray();
        }
    });
    poll->start(250);
}

void QtNotificationArea::Hide(Entry& entry)
{
    entry.item.reset();  // leaves the bus at once: the next item takes its paths
    if (!entry.icon) return;
    QObject::disconnect(entry.icon.get(), nullptr, nullptr, nullptr);  // its callback names the entry
    entry.icon->hide();
    entry.icon.release()->deleteLater();
    ForgetXEmbedSlot();
}

void QtNotificationArea::Apply(Entry& entry, const NOTIFYICONDATAA& data)
{
    if (data.uFlags & NIF_MESSAGE) entry.callbackMessage = data.uCallbackMessage;
    if (data.uFlags & NIF_ICON) {
        // The picture is copied now: the caller may destroy its icon next.
        QImage image = IconQImage(data.hIcon);
        std::vector<QImage> more = std::exchange(entry.pending, {});
        if (image.isNull()) more.clear();
        // A silent input draws the same picture frame after frame: the host
        // need not fetch it again.
        const bool same = image == entry.image && more == entry.more;
        entry.image = std::move(image);
        entry.more = std::move(more);
        if (entry.icon && !same) entry.icon->setIcon(pictureIcon(entry.image));
        if (entry.item && !same)
            entry.item->SetImage(entry.image.isNull() ? blankImage() : entry.image, entry.more);
    }
    if (data.uFlags & NIF_TIP) {
        const std::size_t length = strnlen(data.szTip, sizeof data.szTip);
        entry.tip = QString::fromLocal8Bit(data.szTip, static_cast<qsizetype>(length));
        if (entry.icon) entry.icon->setToolTip(entry.tip);
        if (entry.item) entry.item->SetTip(entry.tip);
    }
}

}  // namespace shell
