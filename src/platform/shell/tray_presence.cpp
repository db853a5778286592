#include "shell/tray_presence.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

#include <functional>

#if KELVO_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string>
#endif

namespace shell {
namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

QDBusMessage HostRegisteredQuestion()
{
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    return get;
}

bool HostRegisteredAnswer(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().front().value<QDBusVariant>().variant().toBool();
}

}  // namespace

#if KELVO_HAVE_XCB
// The system tray protocol: a tray owns the selection _NET_SYSTEM_TRAY_S<n>,
// announces itself with a MANAGER client message to the root window, and
// goes when its window is destroyed.
struct TrayPresence::XEmbedWatch : QAbstractNativeEventFilter {
    XEmbedWatch(xcb_connection_t* connection, std::function<void(bool)> onChange)
        : connection_(connection), onChange_(std::move(onChange))
    {
        int screenNumber = 0;
        char* host = nullptr;
        int display = 0;
        if (!xcb_parse_display(nullptr, &host, &display, &screenNumber)) screenNumber = 0;
        std::free(host);
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
        for (int i = 0; i < screenNumber && screens.rem > 1; ++i) xcb_screen_next(&screens);
        if (!screens.rem) return;
        root_ = screens.data->root;
        selection_ = Atom("_NET_SYSTEM_TRAY_S" + std::to_string(screenNumber));
        manager_ = Atom("MANAGER");
        // The toolkit listens on the root window too: its events stay.
        const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
            xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, root_), nullptr),
            &std::free);
        const uint32_t mask =
            (attributes ? attributes->your_event_mask : 0u) | static_cast<uint32_t>(XCB_EVENT_MASK_STRUCTURE_NOTIFY);
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        QCoreApplication::instance()->installNativeEventFilter(this);
        Locate();
    }
    ~XEmbedWatch() override
    {
        if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
    }

    bool Present() const { return owner_ != XCB_WINDOW_NONE && owner_ != refused_; }

    void Refuse()
    {
        const bool was = Present();
        refused_ = owner_;
        if (Present() != was) onChange_(Present());
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t" || selection_ == XCB_ATOM_NONE) return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        switch (event->response_type & 0x7f) {
        case XCB_CLIENT_MESSAGE: {
            const auto* m = reinterpret_cast<const xcb_client_message_event_t*>(event);
            if (m->type == manager_ && m->format == 32 && m->data.data32[1] == selection_) Locate();
            break;
        }
        case XCB_DESTROY_NOTIFY:
            if (owner_ != XCB_WINDOW_NONE &&
                reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == owner_) {
                // The next tray's window may well get the same id.
                refused_ = XCB_WINDOW_NONE;
                Locate();
            }
            break;
        default: break;
        }
        return false;  // the toolkit's own tray icon needs these as well
    }

private:
    xcb_atom_t Atom(const std::string& name) const
    {
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, name.size(), name.c_str()), nullptr),
            &std::free);
        return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    }

    void Locate()
    {
        if (selection_ == XCB_ATOM_NONE) return;
        const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
            xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection_), nullptr),
            &std::free);
        const xcb_window_t owner = reply ? reply->owner : static_cast<xcb_window_t>(XCB_WINDOW_NONE);
        if (owner != XCB_WINDOW_NONE) {
            // Its destruction is how a tray that is killed goes.
            const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(connection_, owner, XCB_CW_EVENT_MASK, &mask);
            xcb_flush(connection_);
        }
        const bool was = Present();
        owner_ = owner;
        if (Present() != was) onChange_(Present());
    }

    xcb_connection_t* connection_;
    std::function<void(bool)> onChange_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t selection_ = XCB_ATOM_NONE;
    xcb_atom_t manager_ = XCB_ATOM_NONE;
    xcb_window_t owner_ = XCB_WINDOW_NONE;
    xcb_window_t refused_ = XCB_WINDOW_NONE;
};
#else
struct TrayPresence::XEmbedWatch {
    bool Present() const { return false; }
    void Refuse() {}
};
#endif

TrayPresence::TrayPresence(QObject* parent) : QObject(parent)
{
#if KELVO_HAVE_XCB
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr) {
            xembedWatch_ = std::make_unique<XEmbedWatch>(connection, [this](bool present) { SetXEmbed(present); });
            xembed_ = xembedWatch_->Present();
        }
    }
#endif
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    auto* owner = new QDBusServiceWatcher(kWatcherService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                if (newOwner.isEmpty()) {
                    ++question_;  // an answer on its way is about the old owner
                    SetStatusNotifierHost(false);
                } else {
                    AskWatcher();
                }
            });
    for (const char* name : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"}) {
        bus.connect(QString(), kWatcherPath, kWatcherService, QLatin1String(name), this, SLOT(HostSignal()));
    }
    statusNotifierHost_ = HostRegisteredAnswer(bus.call(HostRegisteredQuestion(), QDBus::Block, 2000));
}

TrayPresence::~TrayPresence() = default;

TrayHost TrayPresence::Current() const
{
    if (statusNotifierHost_) return TrayHost::StatusNotifierItem;
    return xembed_ ? TrayHost::XEmbed : TrayHost::None;
}

void TrayPresence::RefuseXEmbedTray()
{
    if (xembedWatch_) xembedWatch_->Refuse();
}

void TrayPresence::HostSignal()
{
    AskWatcher();
}

void TrayPresence::SetXEmbed(bool present)
{
    if (present == xembed_) return;
    xembed_ = present;
    emit Changed();
}

void TrayPresence::SetStatusNotifierHost(bool present)
{
    if (present == statusNotifierHost_) return;
    statusNotifierHost_ = present;
    emit Changed();
}

void TrayPresence::AskWatcher()
{
    const quint64 question = ++question_;
    auto* answer = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(HostRegisteredQuestion(), 2000),
                                               this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this, question](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (question == question_) SetStatusNotifierHost(HostRegisteredAnswer(call->reply()));
    });
}

}  // namespace shell
