#include "shell/dbus_menu.h"

#include <QAction>
#include <QActionEvent>
#include <QActionGroup>
#include <QMenu>
#include <QTimer>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace shell {
namespace {

constexpr const char* kInterface = "com.canonical.dbusmenu";

QVariantMap Only(QVariantMap properties, const QStringList& names)
{
    if (names.isEmpty()) return properties;
    for (auto it = properties.begin(); it != properties.end();) {
        it = names.contains(it.key()) ? std::next(it) : properties.erase(it);
    }
    return properties;
}

// What the calls carry. Each returns sd-bus's result: an error ends the call
// with an error reply.
int ReadStrings(sd_bus_message* m, QStringList& strings)
{
    int r = sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "s");
    if (r < 0) return r;
    const char* string = nullptr;
    while ((r = sd_bus_message_read_basic(m, SD_BUS_TYPE_STRING, &string)) > 0) {
        strings.append(QString::fromUtf8(string));
    }
    return r < 0 ? r : sd_bus_message_exit_container(m);
}

int ReadIds(sd_bus_message* m, QList<int>& ids)
{
    const void* data = nullptr;
    size_t size = 0;
    const int r = sd_bus_message_read_array(m, SD_BUS_TYPE_INT32, &data, &size);
    const auto* first = static_cast<const std::int32_t*>(data);
    for (size_t i = 0; r >= 0 && i < size / sizeof(std::int32_t); ++i) ids.append(first[i]);
    return r;
}

int AppendVariant(sd_bus_message* m, const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool: return sd_bus_message_append(m, "v", "b", int(value.toBool()));
    case QMetaType::Int: return sd_bus_message_append(m, "v", "i", std::int32_t(value.toInt()));
    case QMetaType::QString: return sd_bus_message_append(m, "v", "s", value.toString().toUtf8().constData());
    default: return -EINVAL;  // no property of an item is of another kind
    }
}

// a{sv}
int AppendProperties(sd_bus_message* m, const QVariantMap& properties)
{
    int r = sd_bus_message_open_container(m, SD_BUS_TYPE_ARRAY, "{sv}");
    for (auto it = properties.begin(); r >= 0 && it != properties.end(); ++it) {
        r = sd_bus_message_open_container(m, SD_BUS_TYPE_DICT_ENTRY, "sv");
        if (r >= 0) r = sd_bus_message_append_basic(m, SD_BUS_TYPE_STRING, it.key().toUtf8().constData());
        if (r >= 0) r = AppendVariant(m, it.value());
        if (r >= 0) r = sd_bus_message_close_container(m);
    }
    return r < 0 ? r : sd_bus_message_close_container(m);
}

// (ia{sv}av), each child in a variant
int AppendLayout(sd_bus_message* m, const DBusMenuLayout& layout)
{
    int r = sd_bus_message_open_container(m, SD_BUS_TYPE_STRUCT, "ia{sv}av");
    if (r >= 0) r = sd_bus_message_append_basic(m, SD_BUS_TYPE_INT32, &layout.id);
    if (r >= 0) r = AppendProperties(m, layout.properties);
    if (r >= 0) r = sd_bus_message_open_container(m, SD_BUS_TYPE_ARRAY, "v");
    for (const DBusMenuLayout& child : layout.children) {
        if (r >= 0) r = sd_bus_message_open_container(m, SD_BUS_TYPE_VARIANT, "(ia{sv}av)");
        if (r >= 0) r = AppendLayout(m, child);
        if (r >= 0) r = sd_bus_message_close_container(m);
    }
    if (r >= 0) r = sd_bus_message_close_container(m);
    return r < 0 ? r : sd_bus_message_close_container(m);
}

DBusMenu& Menu(void* userdata)
{
    return *static_cast<DBusMenu*>(userdata);
}

int GetLayout(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    std::int32_t parent = 0;
    std::int32_t depth = 0;
    QStringList names;
    int r = sd_bus_message_read(m, "ii", &parent, &depth);
    if (r >= 0) r = ReadStrings(m, names);
    if (r < 0) return r;
    const DBusMenuLayout layout = Menu(userdata).Layout(parent, depth, names);
    const std::uint32_t revision = Menu(userdata).Revision();
    r = Reply(m, [&](sd_bus_message* reply) {
        const int r = sd_bus_message_append_basic(reply, SD_BUS_TYPE_UINT32, &revision);
        return r < 0 ? r : AppendLayout(reply, layout);
    });
    if (r >= 0) Menu(userdata).TellLeftOut();
    return r;
}

int GetGroupProperties(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    QList<int> ids;
    QStringList names;
    int r = ReadIds(m, ids);
    if (r >= 0) r = ReadStrings(m, names);
    if (r < 0) return r;
    return Reply(m, [&](sd_bus_message* reply) {
        int r = sd_bus_message_open_container(reply, SD_BUS_TYPE_ARRAY, "(ia{sv})");
        for (const std::int32_t id : ids) {
            if (r >= 0) r = sd_bus_message_open_container(reply, SD_BUS_TYPE_STRUCT, "ia{sv}");
            if (r >= 0) r = sd_bus_message_append_basic(reply, SD_BUS_TYPE_INT32, &id);
            if (r >= 0) r = AppendProperties(reply, Menu(userdata).Properties(id, names));
            if (r >= 0) r = sd_bus_message_close_container(reply);
        }
        return r < 0 ? r : sd_bus_message_close_container(reply);
    });
}

int GetProperty(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    std::int32_t id = 0;
    const char* name = nullptr;
    const int r = sd_bus_message_read(m, "is", &id, &name);
    if (r < 0) return r;
    const QString key = QString::fromUtf8(name);
    const QVariant value = Menu(userdata).Properties(id, {key}).value(key);
    return Reply(m, [&](sd_bus_message* reply) { return AppendVariant(reply, value); });
}

// (isvu): the data and the time stamp mean nothing to a QAction.
int ReadEvent(sd_bus_message* m, std::int32_t& id, QString& eventId)
{
    const char* name = nullptr;
    int r = sd_bus_message_read(m, "is", &id, &name);
    if (r >= 0) eventId = QString::fromUtf8(name);
    if (r >= 0) r = sd_bus_message_skip(m, "vu");
    return r;
}

int Event(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    std::int32_t id = 0;
    QString eventId;
    const int r = ReadEvent(m, id, eventId);
    if (r < 0) return r;
    Menu(userdata).Event(id, eventId);
    return sd_bus_reply_method_return(m, "");
}

int EventGroup(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    int r = sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "(isvu)");
    while (r >= 0 && (r = sd_bus_message_enter_container(m, SD_BUS_TYPE_STRUCT, "isvu")) > 0) {
        std::int32_t id = 0;
        QString eventId;
        r = ReadEvent(m, id, eventId);
        if (r >= 0) r = sd_bus_message_exit_container(m);
        if (r >= 0) Menu(userdata).Event(id, eventId);
    }
    if (r >= 0) r = sd_bus_message_exit_container(m);
    return r < 0 ? r : sd_bus_reply_method_return(m, "ai", 0);
}

int AboutToShow(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    std::int32_t id = 0;
    const int r = sd_bus_message_read(m, "i", &id);
    return r < 0 ? r : sd_bus_reply_method_return(m, "b", int(Menu(userdata).AboutToShow(id)));
}

int AboutToShowGroup(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    QList<int> ids;
    const int r = ReadIds(m, ids);
    if (r < 0) return r;
    std::vector<std::int32_t> updates;
    std::vector<std::int32_t> unknown;
    for (const int id : ids) {
        if (!Menu(userdata).Knows(id)) unknown.push_back(id);
        else if (Menu(userdata).AboutToShow(id)) updates.push_back(id);
    }
    return Reply(m, [&](sd_bus_message* reply) {
        int r = sd_bus_message_append_array(reply, SD_BUS_TYPE_INT32, updates.data(), updates.size() * sizeof(std::int32_t));
        if (r >= 0) r = sd_bus_message_append_array(reply, SD_BUS_TYPE_INT32, unknown.data(), unknown.size() * sizeof(std::int32_t));
        return r;
    });
}

int Property(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*, sd_bus_error*)
{
    if (!std::strcmp(property, "Version")) return sd_bus_message_append(reply, "u", std::uint32_t(3));
    if (!std::strcmp(property, "TextDirection")) return sd_bus_message_append(reply, "s", "ltr");
    if (!std::strcmp(property, "Status")) return sd_bus_message_append(reply, "s", "normal");
    return sd_bus_message_append(reply, "as", 0);  // IconThemePath
}

const sd_bus_vtable kMenuVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Version", "u", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("TextDirection", "s", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Status", "s", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "as", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("GetLayout", "iias", "u(ia{sv}av)", GetLayout, kAnyCaller),
    SD_BUS_METHOD("GetGroupProperties", "aias", "a(ia{sv})", GetGroupProperties, kAnyCaller),
    SD_BUS_METHOD("GetProperty", "is", "v", GetProperty, kAnyCaller),
    SD_BUS_METHOD("Event", "isvu", "", Event, kAnyCaller),
    SD_BUS_METHOD("EventGroup", "a(isvu)", "ai", EventGroup, kAnyCaller),
    SD_BUS_METHOD("AboutToShow", "i", "b", AboutToShow, kAnyCaller),
    SD_BUS_METHOD("AboutToShowGroup", "ai", "aiai", AboutToShowGroup, kAnyCaller),
    SD_BUS_SIGNAL("ItemsPropertiesUpdated", "a(ia{sv})a(ias)", 0),
    SD_BUS_SIGNAL("LayoutUpdated", "ui", 0),
    SD_BUS_SIGNAL("ItemActivationRequested", "iu", 0),
    SD_BUS_VTABLE_END};

}  // namespace

QString DBusMenuLabel(const QString& text)
{
    QString label;
    label.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'_') {
            label += QStringLiteral("__");
        } else if (c == u'&') {
            if (i + 1 < text.size() && text.at(i + 1) == u'&') {
                label += u'&';
                ++i;
            } else {
                label += u'_';
            }
        } else {
            label += c;
        }
    }
    return label;
}

DBusMenu::DBusMenu(QMenu* menu, QObject* parent) : QObject(parent), menu_(menu)
{
    if (menu) Watch(menu);
}

DBusMenu::~DBusMenu()
{
    Withdraw();
}

bool DBusMenu::Publish(SessionBus& bus, const char* path)
{
    Withdraw();
    sd_bus_slot* slot = nullptr;
    if (BusFailure("sd_bus_add_object_vtable", sd_bus_add_object_vtable(bus.get(), &slot, path, kInterface,
                                                                         kMenuVtable, this)) < 0) {
        return false;
    }
    slot_.reset(slot);
    bus_ = &bus;
    path_ = path;
    return true;
}

void DBusMenu::Withdraw()
{
    slot_.reset();
    bus_ = nullptr;
    path_ = nullptr;
}

int DBusMenu::IdOf(QAction* action)
{
    // An address can come back for a new action: the id follows the action.
    const auto it = ids_.find(action);
    if (it != ids_.end() && actions_.value(it->second) == action) return it->second;
    const int id = nextId_++;
    ids_[action] = id;
    actions_.insert(id, action);
    return id;
}

QAction* DBusMenu::ActionOf(int id) const
{
    return actions_.value(id);
}

QMenu* DBusMenu::MenuOf(int id) const
{
    if (id == 0) return menu_;
    QAction* action = ActionOf(id);
    return action ? action->menu() : nullptr;
}

int DBusMenu::IdOfMenu(QMenu* menu)
{
    return menu == menu_ ? 0 : IdOf(menu->menuAction());
}

// The whole tree: a submenu changes before any host has opened it too.
void DBusMenu::Watch(QMenu* menu)
{
    menu->installEventFilter(this);
    for (QAction* action : menu->actions()) {
        if (action->menu()) Watch(action->menu());
    }
}

QVariantMap DBusMenu::Properties(int id, const QStringList& names)
{
    QVariantMap properties;
    if (id == 0) {
        properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        return Only(properties, names);
    }
    QAction* action = ActionOf(id);
    if (!action) return properties;
    if (action->isSeparator()) {
        properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        properties.insert(QStringLiteral("label"), DBusMenuLabel(action->text()));
    }
    if (!action->isEnabled()) properties.insert(QStringLiteral("enabled"), false);
    if (!action->isVisible()) properties.insert(QStringLiteral("visible"), false);
    if (action->isCheckable()) {
        const bool radio = action->actionGroup() && action->actionGroup()->isExclusive();
        properties.insert(QStringLiteral("toggle-type"), radio ? QStringLiteral("radio") : QStringLiteral("checkmark"));
        properties.insert(QStringLiteral("toggle-state"), action->isChecked() ? 1 : 0);
    }
    if (action->menu()) properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    return Only(properties, names);
}

DBusMenuLayout DBusMenu::Layout(int id, int depth, const QStringList& names)
{
    leftOut_.clear();
    return LayoutOf(id, depth, names, true);
}

DBusMenuLayout DBusMenu::LayoutOf(int id, int depth, const QStringList& names, bool top)
{
    DBusMenuLayout layout{id, Properties(id, names), {}};
    QMenu* menu = MenuOf(id);
    if (!menu) return layout;
    if (depth == 0) {
        if (!top && !menu->isEmpty()) leftOut_.insert(id);
        return layout;
    }
    for (QAction* action : menu->actions()) {
        layout.children.append(LayoutOf(IdOf(action), depth < 0 ? -1 : depth - 1, names, false));
    }
    return layout;
}

// A host that reads one level at a time (libdbusmenu-qt) would read a
// submenu only as it opens, after placing it by its empty size: it hears at
// once of each submenu it left out, and reads it before it opens.
void DBusMenu::TellLeftOut()
{
    const std::set<int> ids = std::exchange(leftOut_, {});
    for (const int id : ids) emit LayoutUpdated(revision_, id);
    if (!bus_ || !bus_->Connected()) return;
    for (const int id : ids) {
        BusFailure("sd_bus_emit_signal", sd_bus_emit_signal(bus_->get(), path_, kInterface, "LayoutUpdated", "ui",
                                                             std::uint32_t(revision_), std::int32_t(id)));
    }
    bus_->Sent();
}

void DBusMenu::Event(int id, const QString& eventId)
{
    if (eventId == QLatin1String("opened")) {
        AboutToShow(id);
        return;
    }
    if (eventId != QLatin1String("clicked")) return;
    QAction* action = ActionOf(id);
    if (!action || action->menu() || !action->isEnabled()) return;
    // The host waits for its answer; what the action opens may take long.
    QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
}

bool DBusMenu::AboutToShow(int id)
{
    QMenu* menu = MenuOf(id);
    if (!menu) return false;
    emit menu->aboutToShow();
    return changedParents_.contains(id) || changedParents_.contains(0);
}

bool DBusMenu::eventFilter(QObject* watched, QEvent* event)
{
    auto* menu = qobject_cast<QMenu*>(watched);
    switch (menu ? event->type() : QEvent::None) {
    case QEvent::ActionAdded:
        if (QMenu* submenu = static_cast<QActionEvent*>(event)->action()->menu()) Watch(submenu);
        Changed(IdOfMenu(menu), nullptr);
        break;
    case QEvent::ActionRemoved: Changed(IdOfMenu(menu), nullptr); break;
    case QEvent::ActionChanged: Changed(-1, static_cast<QActionEvent*>(event)->action()); break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

void DBusMenu::Changed(int parent, QAction* changed)
{
    if (parent >= 0) changedParents_.insert(parent);
    if (changed) changedItems_.insert(IdOf(changed));
    if (updatePending_) return;
    updatePending_ = true;
    // One update for a burst of changes, once they are all made.
    QTimer::singleShot(0, this, &DBusMenu::Announce);
}

// Children that came or went are a new layout; a changed label or check
// mark is only new properties, so a host keeps the menu it shows.
void DBusMenu::Announce()
{
    updatePending_ = false;
    const std::set<int> parents = std::exchange(changedParents_, {});
    const std::set<int> items = std::exchange(changedItems_, {});
    const bool connected = bus_ && bus_->Connected();
    if (!parents.empty()) {
        ++revision_;
        const int parent = parents.size() == 1 ? *parents.begin() : 0;
        emit LayoutUpdated(revision_, parent);
        if (connected) {
            BusFailure("sd_bus_emit_signal", sd_bus_emit_signal(bus_->get(), path_, kInterface, "LayoutUpdated", "ui",
                                                                 std::uint32_t(revision_), std::int32_t(parent)));
        }
    }
    if (!items.empty()) {
        const QList<int> ids(items.begin(), items.end());
        emit ItemsPropertiesUpdated(ids);
        if (connected) BusFailure("sd_bus_send", EmitProperties(ids));
    }
    if (connected) bus_->Sent();
}

// a(ia{sv})a(ias): what may change on an entry a host keeps, those left at
// their defaults spelled out, since a host keeps what it was last told.
int DBusMenu::EmitProperties(const QList<int>& ids)
{
    sd_bus_message* raw = nullptr;
    int r = sd_bus_message_new_signal(bus_->get(), &raw, path_, kInterface, "ItemsPropertiesUpdated");
    if (r < 0) return r;
    const BusMessage signal(raw);
    r = sd_bus_message_open_container(raw, SD_BUS_TYPE_ARRAY, "(ia{sv})");
    for (const std::int32_t id : ids) {
        static const QStringList kChanging{QStringLiteral("label"), QStringLiteral("enabled"),
                                           QStringLiteral("visible"), QStringLiteral("toggle-state")};
        QVariantMap properties = Properties(id, kChanging);
        properties.insert(QStringLiteral("enabled"), properties.value(QStringLiteral("enabled"), true));
        properties.insert(QStringLiteral("visible"), properties.value(QStringLiteral("visible"), true));
        if (r >= 0) r = sd_bus_message_open_container(raw, SD_BUS_TYPE_STRUCT, "ia{sv}");
        if (r >= 0) r = sd_bus_message_append_basic(raw, SD_BUS_TYPE_INT32, &id);
        if (r >= 0) r = AppendProperties(raw, properties);
        if (r >= 0) r = sd_bus_message_close_container(raw);
    }
    if (r >= 0) r = sd_bus_message_close_container(raw);
    if (r >= 0) r = sd_bus_message_append(raw, "a(ias)", 0);
    return r < 0 ? r : sd_bus_send(bus_->get(), raw, nullptr);
}

}  // namespace shell
