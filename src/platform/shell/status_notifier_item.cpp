#include "shell/status_notifier_item.h"

#include "shell/notification_area.h"

#include <QCoreApplication>
#include <QSystemTrayIcon>
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace shell {
namespace {

constexpr const char* kInterface = "org.kde.StatusNotifierItem";
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kMenuPath = "/MenuBar";

StatusNotifierItem& Item(void* userdata)
{
    return *static_cast<StatusNotifierItem*>(userdata);
}

// a(iiay)
int AppendPixmaps(sd_bus_message* m, const StatusNotifierPixmaps& pixmaps)
{
    int r = sd_bus_message_open_container(m, SD_BUS_TYPE_ARRAY, "(iiay)");
    for (const StatusNotifierPixmap& pixmap : pixmaps) {
        if (r >= 0) r = sd_bus_message_open_container(m, SD_BUS_TYPE_STRUCT, "iiay");
        if (r >= 0) r = sd_bus_message_append(m, "ii", std::int32_t(pixmap.width), std::int32_t(pixmap.height));
        if (r >= 0) r = sd_bus_message_append_array(m, 'y', pixmap.bytes.constData(), size_t(pixmap.bytes.size()));
        if (r >= 0) r = sd_bus_message_close_container(m);
    }
    return r < 0 ? r : sd_bus_message_close_container(m);
}

int Property(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
             sd_bus_error*)
{
    const auto is = [property](const char* name) { return !std::strcmp(property, name); };
    if (is("IconPixmap")) return AppendPixmaps(reply, Item(userdata).Pixmaps());
    if (is("OverlayIconPixmap") || is("AttentionIconPixmap")) return AppendPixmaps(reply, {});
    if (is("Title")) return sd_bus_message_append(reply, "s", Item(userdata).Tip().toUtf8().constData());
    if (is("ToolTip")) {
        return sd_bus_message_append(reply, "(sa(iiay)ss)", "", 0, Item(userdata).Tip().toUtf8().constData(), "");
    }
    if (is("Category")) return sd_bus_message_append(reply, "s", "ApplicationStatus");
    if (is("Id")) return sd_bus_message_append(reply, "s", QCoreApplication::applicationName().toUtf8().constData());
    if (is("Status")) return sd_bus_message_append(reply, "s", "Active");
    if (is("WindowId")) return sd_bus_message_append(reply, "i", std::int32_t(0));
    if (is("ItemIsMenu")) return sd_bus_message_append(reply, "b", 0);
    if (is("Menu")) return sd_bus_message_append(reply, "o", kMenuPath);
    return sd_bus_message_append(reply, "s", "");  // the names of icons: none, the pixmaps say it all
}

// The host's answer goes first; the request runs after it.
int Ask(sd_bus_message* m, void* userdata, UINT mouseMessage)
{
    Item(userdata).Request(mouseMessage);
    return sd_bus_reply_method_return(m, "");
}
int ContextMenu(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    return Ask(m, userdata, WM_RBUTTONDOWN);
}
int Activate(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    return Ask(m, userdata, MouseMessageOfActivation(QSystemTrayIcon::Trigger, TrayHost::StatusNotifierItem));
}
int SecondaryActivate(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    return Ask(m, userdata, WM_MBUTTONUP);
}
int Scroll(sd_bus_message* m, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(m, "");
}

constexpr std::uint64_t kChanges = 0;  // announced by the item's own signals, not PropertiesChanged
const sd_bus_vtable kItemVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Category", "s", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Id", "s", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Title", "s", Property, 0, kChanges),
    SD_BUS_PROPERTY("Status", "s", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("WindowId", "i", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "s", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconName", "s", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconPixmap", "a(iiay)", Property, 0, kChanges),
    SD_BUS_PROPERTY("OverlayIconName", "s", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("OverlayIconPixmap", "a(iiay)", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionIconName", "s", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionIconPixmap", "a(iiay)", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionMovieName", "s", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", Property, 0, kChanges),
    SD_BUS_PROPERTY("ItemIsMenu", "b", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Menu", "o", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("ContextMenu", "ii", "", ContextMenu, kAnyCaller),
    SD_BUS_METHOD("Activate", "ii", "", Activate, kAnyCaller),
    SD_BUS_METHOD("SecondaryActivate", "ii", "", SecondaryActivate, kAnyCaller),
    SD_BUS_METHOD("Scroll", "is", "", Scroll, kAnyCaller),
    SD_BUS_SIGNAL("NewTitle", "", 0),
    SD_BUS_SIGNAL("NewIcon", "", 0),
    SD_BUS_SIGNAL("NewAttentionIcon", "", 0),
    SD_BUS_SIGNAL("NewOverlayIcon", "", 0),
    SD_BUS_SIGNAL("NewToolTip", "", 0),
    SD_BUS_SIGNAL("NewStatus", "s", 0),
    SD_BUS_VTABLE_END};

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

StatusNotifierItem::StatusNotifierItem(QMenu* menu, std::function<void(UINT)> onMouse, QObject* parent)
    : QObject(parent), menu_(menu), onMouse_(std::move(onMouse))
{
}

StatusNotifierItem::~StatusNotifierItem()
{
    Withdraw();
}

bool StatusNotifierItem::Publish()
{
    if (bus_) return true;
    bus_ = SessionBus::Open();
    if (!bus_) return false;
    static int instances = 0;
    service_ = QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(QCoreApplication::applicationPid()).arg(++instances);
    sd_bus_slot* object = nullptr;
    const int exported = sd_bus_add_object_vtable(bus_->get(), &object, kItemPath, kInterface, kItemVtable, this);
    object_.reset(object);
    if (BusFailure("sd_bus_add_object_vtable", exported) < 0 || !menu_.Publish(*bus_, kMenuPath) ||
        BusFailure("sd_bus_request_name", sd_bus_request_name(bus_->get(), service_.toUtf8().constData(), 0)) < 0) {
        Withdraw();
        return false;
    }
    BusFailure("sd_bus_call_method_async",
               sd_bus_call_method_async(bus_->get(), nullptr, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                        "org.kde.StatusNotifierWatcher", "RegisterStatusNotifierItem", nullptr,
                                        nullptr, "s", service_.toUtf8().constData()));
    bus_->Sent();
    return true;
}

void StatusNotifierItem::Withdraw()
{
    // A host that waits for an answer gets it, then sees the item go with
    // its name (the watcher tells the hosts), and only then the connection
    // close: no call of a host's is left without an answer.
    if (bus_ && bus_->Connected()) {
        bus_->Answer();
        BusFailure("sd_bus_release_name_async", sd_bus_release_name_async(bus_->get(), nullptr, service_.toUtf8().constData(),
                                                                          nullptr, nullptr));
    }
    menu_.Withdraw();
    object_.reset();
    bus_.reset();
}

void StatusNotifierItem::Announce(const char* signal)
{
    if (!bus_ || !bus_->Connected()) return;
    BusFailure("sd_bus_emit_signal", sd_bus_emit_signal(bus_->get(), kItemPath, kInterface, signal, ""));
    bus_->Sent();
}

void StatusNotifierItem::SetImage(const QImage& image, std::span<const QImage> more)
{
    pixmaps_ = {ToStatusNotifierPixmap(image)};
    for (const QImage& other : more) pixmaps_.append(ToStatusNotifierPixmap(other));
    Announce("NewIcon");
    emit NewIcon();
}

void StatusNotifierItem::SetTip(const QString& tip)
{
    if (tip == tip_) return;
    tip_ = tip;
    Announce("NewTitle");
    Announce("NewToolTip");
}

void StatusNotifierItem::Request(UINT mouseMessage)
{
    if (!onMouse_ || !mouseMessage) return;
    QMetaObject::invokeMethod(this, [this, mouseMessage] { onMouse_(mouseMessage); }, Qt::QueuedConnection);
}

}  // namespace shell
