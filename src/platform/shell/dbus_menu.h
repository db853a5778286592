// A QMenu published on the session bus as com.canonical.dbusmenu, for tray
// hosts that draw an item's menu themselves. Whatever the menu holds is
// published, submenus, check marks and radio groups included, and kept up to
// date as actions come, go and change.
#pragma once

#include "shell/session_bus.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

#include <map>
#include <set>

class QAction;
class QMenu;

namespace shell {

// (ia{sv}av): an item, its properties and its children (each in a variant).
struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};
// The label of `text` with its mnemonic in dbusmenu's form ('_' for Qt's '&').
QString DBusMenuLabel(const QString& text);

class DBusMenu : public QObject {
    Q_OBJECT

public:
    explicit DBusMenu(QMenu* menu, QObject* parent = nullptr);
    ~DBusMenu() override;

    // Exports the menu at `path` on `bus`; false when the path is taken.
    bool Publish(SessionBus& bus, const char* path);
    void Withdraw();

    uint Revision() const { return revision_; }
    // The item `id` (0: the menu itself) with `depth` levels of children
    // (-1: all); only `names` among its properties, or all when empty.
    DBusMenuLayout Layout(int id, int depth, const QStringList& names);
    // After a host's read of the layout: the submenus with children that
    // its depth left out.
    void TellLeftOut();
    QVariantMap Properties(int id, const QStringList& names);
    // Whether `id` is the menu or one of its entries now.
    bool Knows(int id) const { return id == 0 || ActionOf(id); }
    // A "clicked" runs the action once the caller has had its answer;
    // "opened" (and AboutToShow) let a submenu fill itself.
    void Event(int id, const QString& eventId);
    // Whether the children of `id` changed since the host last heard of it,
    // once the submenu has been told it opens.
    bool AboutToShow(int id);

signals:
    // Each burst of changes: one new revision, the item whose children
    // changed (0: more than one, or the menu itself), and the items whose
    // own properties changed. A submenu a read left out comes at the same
    // revision.
    void LayoutUpdated(uint revision, int parent);
    void ItemsPropertiesUpdated(const QList<int>& ids);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int IdOf(QAction* action);
    QAction* ActionOf(int id) const;
    QMenu* MenuOf(int id) const;
    DBusMenuLayout LayoutOf(int id, int depth, const QStringList& names, bool top);
    int IdOfMenu(QMenu* menu);
    void Watch(QMenu* menu);
    void Changed(int parent, QAction* changed);
    void Announce();
    int EmitProperties(const QList<int>& ids);

    QPointer<QMenu> menu_;
    SessionBus* bus_ = nullptr;
    const char* path_ = nullptr;
    BusSlot slot_;
    uint revision_ = 1;
    bool updatePending_ = false;
    std::set<int> changedParents_;  // of this burst
    std::set<int> changedItems_;
    std::set<int> leftOut_;  // by the last layout read
    int nextId_ = 1;
    std::map<QAction*, int> ids_;
    QHash<int, QPointer<QAction>> actions_;
};

}  // namespace shell
