#include "shell/FakeNotificationArea.h"
#include "shell/qt_notification_area.h"
#include "shell/shellapi.h"
#include "shell/status_notifier_item.h"
#include "gdi/gdi.h"
#include "user/window_table.h"

#include <QActionGroup>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QMenu>
#include <QPainter>
#include <QPixmapCache>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using Message = std::tuple<UINT, WPARAM, LPARAM>;

// Keeps the window messages posted to it.
struct RecordingWidget : QWidget {
    std::vector<Message> messages;
    bool event(QEvent* e) override
    {
        if (e->type() != user::WindowMessageEvent::eventType()) return QWidget::event(e);
        const auto* m = static_cast<user::WindowMessageEvent*>(e);
        messages.push_back({m->message(), m->wParam(), m->lParam()});
        return true;
    }
};

NOTIFYICONDATAA record(HWND hWnd, UINT uID, UINT flags, UINT callback, HICON icon, const char* tip)
{
    NOTIFYICONDATAA data{NOTIFYICONDATAA_TIP128_SIZE, hWnd, uID, flags, callback, icon, {}};
    if (tip) std::strncpy(data.szTip, tip, sizeof data.szTip - 1);
    return data;
}

// A width x height icon of 32-bit colours; the icon keeps copies of the bitmaps.
HICON Icon(int width, int height, const void* mask, const void* colour)
{
    ICONINFO info{TRUE, 0, 0, CreateBitmap(width, height, 1, 1, mask), CreateBitmap(width, height, 1, 32, colour)};
    const HICON icon = CreateIconIndirect(&info);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    return icon;
}

// A Qt area, installed for the test, that believes a tray is present.
struct ForcedQtArea : shell::QtNotificationArea {
    ForcedQtArea() : QtNotificationArea([] { return shell::TrayHost::XEmbed; }), previous(shell::SetNotificationArea(this)) {}
    ~ForcedQtArea() override { shell::SetNotificationArea(previous); }
    shell::NotificationArea* previous;
};

}  // namespace

// The records' fields and the area's answer as they pass through are pinned
// by the tray icon's test (tests/surfaces/tray_icon_test.cpp).
TEST(ShellNotifyIcon, HandsWellFormedRecordsToTheNotificationArea)
{
    NOTIFYICONDATAA data = record(reinterpret_cast<HWND>(0x40), 7, NIF_TIP, 0, nullptr, "Kelvo");
    {
        kelvo::test::FakeNotificationArea fake;
        data.cbSize = 88;
        EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, &data), FALSE);
        data.cbSize = sizeof(NOTIFYICONDATAA);  // more than 152 on a 64-bit system
        EXPECT_EQ(Shell_NotifyIconA(NIM_MODIFY, &data), TRUE);
        EXPECT_EQ(fake.calls.size(), 1u) << "the refused records never arrive";
    }

    // A StatusNotifierItem host's Activate stands for the double-click.
    using Tray = QSystemTrayIcon;
    const std::tuple<Tray::ActivationReason, UINT, UINT> rows[] = {  // reason; XEmbed tray, item host
        {Tray::Context, WM_RBUTTONDOWN, WM_RBUTTONDOWN}, {Tray::DoubleClick, WM_LBUTTONDBLCLK, WM_LBUTTONDBLCLK},
        {Tray::Trigger, WM_LBUTTONUP, WM_LBUTTONDBLCLK},  {Tray::MiddleClick, WM_MBUTTONUP, WM_MBUTTONUP},
        {Tray::Unknown, 0, 0}};
    for (const auto& [reason, xembed, item] : rows) {
        EXPECT_EQ(shell::MouseMessageOfActivation(reason), xembed) << reason;
        EXPECT_EQ(shell::MouseMessageOfActivation(reason, shell::TrayHost::StatusNotifierItem), item) << reason;
    }
}

TEST(QtNotificationArea, AddModifyDeleteKeyedByWindowAndIdentifierAndFramesPaintedInAnXEmbedTrayAreNotKept)
{
    ForcedQtArea forced;
    RecordingWidget widget;
    const HWND hWnd = user::RegisterWindow(&widget);
    // A 2 x 1 icon: opaque red, then transparent.
    const std::uint8_t maskBits[2] = {0x40, 0};  // the first bit clear: opaque
    const std::uint32_t colourBits[2] = {0xFF0000, 0};
    const HICON icon = Icon(2, 1, maskBits, colourBits);

    NOTIFYICONDATAA add = record(hWnd, 1, NIF_MESSAGE | NIF_ICON | NIF_TIP, WM_MOUSEMOVE, icon, "Kelvo");
    EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, &add), TRUE);
    EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, &add), FALSE);  // already there
    QSystemTrayIcon* tray = forced.TrayIconOf(hWnd, 1);
    ASSERT_NE(tray, nullptr);
    const QImage picture = tray->icon().pixmap(16, 16).toImage();
    EXPECT_EQ(picture.pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(qAlpha(picture.pixel(1, 0)), 0);

    // A modify with only an icon keeps the tip and the callback message.
    NOTIFYICONDATAA modify = record(hWnd, 1, NIF_ICON, 0, nullptr, nullptr);
    EXPECT_EQ(Shell_NotifyIconA(NIM_MODIFY, &modify), TRUE);
    EXPECT_EQ(tray->toolTip(), QString("Kelvo"));
    EXPECT_EQ(qAlpha(tray->icon().pixmap(16, 16).toImage().pixel(0, 0)), 0);

    emit tray->activated(QSystemTrayIcon::Context);
    QCoreApplication::sendPostedEvents(&widget);
    EXPECT_EQ(widget.messages, (std::vector<Message>{{512u, 1u, 516}}));

    NOTIFYICONDATAA remove = record(hWnd, 1, 0, 0, nullptr, nullptr);
    EXPECT_EQ(Shell_NotifyIconA(NIM_DELETE, &remove), TRUE);
    EXPECT_EQ(Shell_NotifyIconA(NIM_MODIFY, &modify), FALSE);
    EXPECT_TRUE(DestroyIcon(icon));

    // An XEmbed tray paints the icon at every frame: a new picture each time
    // must leave nothing in the process-wide pixmap cache (it once held some
    // 10 MB of old frames and kept the heap growing).
    std::vector<std::uint32_t> colour(24 * 24);
    const std::vector<std::uint8_t> mask(24 * 4, 0);
    NOTIFYICONDATAA data = record(hWnd, 2, NIF_ICON, 0, nullptr, nullptr);
    QPixmapCache::setCacheLimit(64);  // kB: a 24 x 24 frame costs 2
    QPixmap marker(64, 64);
    ASSERT_TRUE(QPixmapCache::insert(QStringLiteral("marker"), marker));
    QImage slot(24, 24, QImage::Format_ARGB32);
    for (std::uint32_t n = 0; n <= 100; ++n) {
        std::fill(colour.begin(), colour.end(), n);
        data.hIcon = Icon(24, 24, mask.data(), colour.data());
        ASSERT_EQ(Shell_NotifyIconA(n == 0 ? NIM_ADD : NIM_MODIFY, &data), TRUE);
        DestroyIcon(data.hIcon);
        QPainter painter(&slot);
        forced.TrayIconOf(hWnd, 2)->icon().paint(&painter, slot.rect());
    }
    EXPECT_EQ(slot.pixel(12, 12), 0xFF000064u) << "the last frame, as it is";
    EXPECT_TRUE(QPixmapCache::find(QStringLiteral("marker"), &marker)) << "old frames pushed it out";
}

// A host's call, answered by the item while this thread waits for it.
QDBusMessage Call(const QString& service, const QString& path, const QString& method, const QVariantList& arguments)
{
    const qsizetype dot = method.lastIndexOf(u'.');
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, method.left(dot), method.mid(dot + 1));
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::BlockWithGui, 5000);
}

const QDBusArgument& operator>>(const QDBusArgument& argument, shell::DBusMenuLayout& layout)
{
    argument.beginStructure();
    argument >> layout.id >> layout.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        child.variant().value<QDBusArgument>() >> layout.children.emplace_back();
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

// What a StatusNotifierItem host reads and does over the bus: the item's
// properties, its icon's bytes, and the menu as it is, submenus and radio
// groups included.
TEST(StatusNotifierItem, AHostReadsTheItemAndItsMenuAndRunsAChoiceOnceItHasItsAnswer)
{
    EXPECT_EQ(shell::DBusMenuLabel("Save && go_on"), "Save & go__on");

    QMenu menu;
    QAction* prefs = menu.addAction("&Preferences...");
    menu.addSeparator();
    QMenu* input = menu.addMenu("Input");
    QActionGroup group(&menu);
    QAction* first = input->addAction("First");
    QAction* second = input->addAction("Second");
    for (QAction* choice : {first, second}) {
        choice->setCheckable(true);
        group.addAction(choice);
    }
    second->setChecked(true);
    QAction* off = menu.addAction("Off");
    off->setEnabled(false);

    UINT requested = 0;
    shell::StatusNotifierItem item(&menu, [&](UINT message) { requested = message; });
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, 0x80FF0102);
    image.setPixel(1, 0, 0x00000000);
    item.SetImage(image);
    item.SetTip("Kelvo");
    ASSERT_TRUE(item.Publish()) << "runs under dbus-run-session";
    const QString service = item.Service();

    const QDBusMessage all = Call(service, "/StatusNotifierItem", "org.freedesktop.DBus.Properties.GetAll",
                                  {"org.kde.StatusNotifierItem"});
    ASSERT_EQ(all.type(), QDBusMessage::ReplyMessage) << all.errorMessage().toStdString();
    const QVariantMap properties = qdbus_cast<QVariantMap>(all.arguments().at(0));
    EXPECT_EQ(properties.value("Title").toString(), "Kelvo");
    EXPECT_EQ(properties.value("Menu").value<QDBusObjectPath>().path(), "/MenuBar");
    const QDBusArgument pixmaps = properties.value("IconPixmap").value<QDBusArgument>();
    int width = 0, height = 0;
    QByteArray bytes;
    pixmaps.beginArray();
    pixmaps.beginStructure();
    pixmaps >> width >> height >> bytes;
    pixmaps.endStructure();
    EXPECT_TRUE(pixmaps.atEnd());
    pixmaps.endArray();
    EXPECT_EQ(QSize(width, height), QSize(2, 1));
    EXPECT_EQ(bytes, QByteArray("\x80\xFF\x01\x02\0\0\0\0", 8)) << "ARGB, most significant byte first";

    EXPECT_EQ(Call(service, "/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate", {0, 0}).type(),
              QDBusMessage::ReplyMessage);
    QCoreApplication::processEvents();
    EXPECT_EQ(requested, shell::MouseMessageOfActivation(QSystemTrayIcon::Trigger, shell::TrayHost::StatusNotifierItem));

    uint revision = 0;
    const auto layout = [&](int id, int depth) {
        const QDBusMessage reply =
            Call(service, "/MenuBar", "com.canonical.dbusmenu.GetLayout", {id, depth, QStringList()});
        shell::DBusMenuLayout read;
        if (reply.arguments().size() != 2) return read;
        revision = reply.arguments().at(0).toUInt();
        reply.arguments().at(1).value<QDBusArgument>() >> read;
        return read;
    };
    const shell::DBusMenuLayout root = layout(0, -1);
    ASSERT_EQ(root.children.size(), 4);
    EXPECT_EQ(root.children[0].properties.value("label").toString(), "_Preferences...");
    EXPECT_EQ(root.children[1].properties.value("type").toString(), "separator");
    const shell::DBusMenuLayout& submenu = root.children[2];
    EXPECT_EQ(submenu.properties.value("children-display").toString(), "submenu");
    ASSERT_EQ(submenu.children.size(), 2);
    EXPECT_EQ(submenu.children[1].properties.value("toggle-type").toString(), "radio");
    EXPECT_EQ(submenu.children[0].properties.value("toggle-state").toInt(), 0);
    EXPECT_EQ(submenu.children[1].properties.value("toggle-state").toInt(), 1);
    EXPECT_EQ(root.children[3].properties.value("enabled"), QVariant(false));
    EXPECT_TRUE(layout(0, 0).children.isEmpty()) << "depth 0: the item alone";

    // A choice runs after the call; a disabled one never.
    int chosen = 0;
    QObject::connect(prefs, &QAction::triggered, [&] { ++chosen; });
    QObject::connect(off, &QAction::triggered, [&] { chosen += 100; });
    shell::DBusMenu direct(&menu);
    direct.Event(direct.Layout(0, -1, {}).children[0].id, "clicked");
    EXPECT_EQ(chosen, 0);
    for (const int id : {root.children[0].id, root.children[3].id}) {
        const QVariant data = QVariant::fromValue(QDBusVariant(0));
        Call(service, "/MenuBar", "com.canonical.dbusmenu.Event", {id, "clicked", data, 0u});
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(chosen, 2);

    // A host keeps what it shows: an entry that comes is a new layout of its
    // submenu alone, a renamed or checked one only new properties, an
    // opening with nothing new asks for no update, and the ids stay.
    QSignalSpy layouts(&direct, &shell::DBusMenu::LayoutUpdated);
    QSignalSpy changedItems(&direct, &shell::DBusMenu::ItemsPropertiesUpdated);
    const shell::DBusMenuLayout mine = direct.Layout(0, -1, {});
    QAction newIcon, layoutUpdated, propertiesUpdated;
    int heard = 0;
    for (QAction* signal : {&newIcon, &layoutUpdated, &propertiesUpdated}) QObject::connect(signal, &QAction::triggered, [&] { ++heard; });
    QDBusConnection host = QDBusConnection::sessionBus();
    host.connect(service, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "NewIcon", &newIcon, SLOT(trigger()));
    host.connect(service, "/MenuBar", "com.canonical.dbusmenu", "LayoutUpdated", &layoutUpdated, SLOT(trigger()));
    host.connect(service, "/MenuBar", "com.canonical.dbusmenu", "ItemsPropertiesUpdated", &propertiesUpdated,
                 SLOT(trigger()));
    item.SetImage(image);
    const uint before = revision;
    const QDBusMessage opening = Call(service, "/MenuBar", "com.canonical.dbusmenu.AboutToShowGroup",
                                      {QVariant::fromValue(QList<int>{submenu.id, 999})});
    EXPECT_EQ(qdbus_cast<QList<int>>(opening.arguments().value(0)), QList<int>()) << "nothing new";
    EXPECT_EQ(qdbus_cast<QList<int>>(opening.arguments().value(1)), QList<int>{999}) << "no such entry";
    input->addAction("Third");
    EXPECT_TRUE(direct.AboutToShow(mine.children[2].id)) << "opened before the host heard of it";
    prefs->setText("Options");
    first->setChecked(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(layouts.value(0).value(1), QVariant(mine.children[2].id)) << layouts.size();
    EXPECT_EQ(changedItems.value(0).value(0).value<QList<int>>(),
              (QList<int>{mine.children[0].id, mine.children[2].children[0].id, mine.children[2].children[1].id}));
    const shell::DBusMenuLayout now = layout(0, -1);
    EXPECT_EQ(revision, before + 1) << "one update for a burst";
    ASSERT_EQ(now.children[2].children.size(), 3);
    EXPECT_EQ(now.children[2].children[1].id, submenu.children[1].id);
    EXPECT_TRUE(QTest::qWaitFor([&] { return heard == 3; }, 5000)) << heard;

    // A host that reads one level hears at once of the submenu it left out.
    direct.Layout(0, 1, {});
    direct.TellLeftOut();
    EXPECT_EQ(layouts.value(1).value(1), QVariant(mine.children[2].id)) << layouts.size();
}
