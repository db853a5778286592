#include "shell/dbus_menu.h"

#include <QAction>
#include <QActionEvent>
#include <QActionGroup>
#include <QDBusAbstractAdaptor>
#include <QDBusMetaType>
#include <QMenu>
#include <QTimer>

namespace shell {

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayout& layout)
{
    argument.beginStructure();
    argument >> layout.id >> layout.properties;
    argument.beginArray();
    layout.children.clear();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        layout.children.append(qdbus_cast<DBusMenuLayout>(child.variant()));
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayout& layout)
{
    argument.beginStructure();
    argument << layout.id << layout.properties;
    argument.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayout& child : layout.children) argument << QDBusVariant(QVariant::fromValue(child));
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItem& item)
{
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItem& item)
{
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemKeys& keys)
{
    argument.beginStructure();
    argument >> keys.id >> keys.names;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemKeys& keys)
{
    argument.beginStructure();
    argument << keys.id << keys.names;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event)
{
    argument.beginStructure();
    argument >> event.id >> event.eventId >> event.data >> event.timestamp;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event)
{
    argument.beginStructure();
    argument << event.id << event.eventId << event.data << event.timestamp;
    argument.endStructure();
    return argument;
}

namespace {

void RegisterTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<DBusMenuLayout>();
        qDBusRegisterMetaType<DBusMenuItem>();
        qDBusRegisterMetaType<QList<DBusMenuItem>>();
        qDBusRegisterMetaType<DBusMenuItemKeys>();
        qDBusRegisterMetaType<QList<DBusMenuItemKeys>>();
        qDBusRegisterMetaType<DBusMenuEvent>();
        qDBusRegisterMetaType<QList<DBusMenuEvent>>();
        return true;
    }();
    (void)registered;
}

QVariantMap Only(QVariantMap properties, const QStringList& names)
{
    if (names.isEmpty()) return properties;
    for (auto it = properties.begin(); it != properties.end();) {
        it = names.contains(it.key()) ? std::next(it) : properties.erase(it);
    }
    return properties;
}

}  // namespace

// com.canonical.dbusmenu on the bus, answered by the DBusMenu it belongs to.
class DBusMenuAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    // Types in signatures are named in full: the bus finds them by name.
    Q_PROPERTY(uint Version READ Version)
    Q_PROPERTY(QString TextDirection READ TextDirection)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(QStringList IconThemePath READ IconThemePath)

public:
    explicit DBusMenuAdaptor(DBusMenu* menu) : QDBusAbstractAdaptor(menu), menu_(menu)
    {
        setAutoRelaySignals(false);
        connect(menu, &DBusMenu::LayoutUpdated, this, &DBusMenuAdaptor::LayoutUpdated);
    }
    uint Version() const { return 3; }
    QString TextDirection() const { return QStringLiteral("ltr"); }
    QString Status() const { return QStringLiteral("normal"); }
    QStringList IconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, shell::DBusMenuLayout& layout)
    {
        layout = menu_->Layout(parentId, recursionDepth, propertyNames);
        return menu_->Revision();
    }
    QList<shell::DBusMenuItem> GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames)
    {
        QList<shell::DBusMenuItem> items;
        for (int id : ids) items.append({id, menu_->Properties(id, propertyNames)});
        return items;
    }
    QDBusVariant GetProperty(int id, const QString& name)
    {
        return QDBusVariant(menu_->Properties(id, {name}).value(name));
    }
    void Event(int id, const QString& eventId, const QDBusVariant&, uint) { menu_->Event(id, eventId); }
    QList<int> EventGroup(const QList<shell::DBusMenuEvent>& events)
    {
        for (const DBusMenuEvent& event : events) menu_->Event(event.id, event.eventId);
        return {};
    }
    bool AboutToShow(int id) { return menu_->AboutToShow(id); }
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors)
    {
        idErrors.clear();
        QList<int> updates;
        for (int id : ids) {
            if (menu_->AboutToShow(id)) updates.append(id);
        }
        return updates;
    }

signals:
    void ItemsPropertiesUpdated(const QList<shell::DBusMenuItem>& updatedProps,
                                const QList<shell::DBusMenuItemKeys>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    DBusMenu* menu_;
};

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
    RegisterTypes();
    new DBusMenuAdaptor(this);
    if (menu) Watch(menu);
}

DBusMenu::~DBusMenu()
{
    Withdraw();
}

bool DBusMenu::Publish(QDBusConnection bus, const QString& path)
{
    Withdraw();
    if (!bus.registerObject(path, this, QDBusConnection::ExportAdaptors)) return false;
    bus_ = bus;
    path_ = path;
    return true;
}

void DBusMenu::Withdraw()
{
    if (path_.isEmpty()) return;
    bus_.unregisterObject(path_);
    path_.clear();
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

void DBusMenu::Watch(QMenu* menu)
{
    menu->installEventFilter(this);
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
    DBusMenuLayout layout{id, Properties(id, names), {}};
    QMenu* menu = MenuOf(id);
    if (!menu || depth == 0) return layout;
    Watch(menu);
    for (QAction* action : menu->actions()) {
        layout.children.append(Layout(IdOf(action), depth < 0 ? -1 : depth - 1, names));
    }
    return layout;
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
    const bool pendingBefore = updatePending_;
    emit menu->aboutToShow();
    return updatePending_ && !pendingBefore;
}

bool DBusMenu::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ActionAdded:
    case QEvent::ActionRemoved:
    case QEvent::ActionChanged: LayoutChanged(); break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

void DBusMenu::LayoutChanged()
{
    if (updatePending_) return;
    updatePending_ = true;
    // One update for a burst of changes, once they are all made.
    QTimer::singleShot(0, this, [this] {
        updatePending_ = false;
        ++revision_;
        emit LayoutUpdated(revision_, 0);
    });
}

}  // namespace shell

#include "dbus_menu.moc"
