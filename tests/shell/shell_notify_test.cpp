#include "shell/FakeNotificationArea.h"
#include "shell/qt_notification_area.h"
#include "shell/shellapi.h"
#include "shell/status_notifier_item.h"
#include "gdi/gdi.h"
#include "user/window_table.h"

#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

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

TEST(QtNotificationArea, AddModifyDeleteKeyedByWindowAndIdentifier)
{
    ForcedQtArea forced;
    RecordingWidget widget;
    const HWND hWnd = user::RegisterWindow(&widget);
    // A 2 x 1 icon: opaque red, then transparent. The icon keeps copies of the bitmaps.
    const std::uint8_t maskBits[2] = {0x40, 0};  // the first bit clear: opaque
    const std::uint32_t colourBits[2] = {0xFF0000, 0};
    ICONINFO info{TRUE, 0, 0, CreateBitmap(2, 1, 1, 1, maskBits), CreateBitmap(2, 1, 1, 32, colourBits)};
    const HICON icon = CreateIconIndirect(&info);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);

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
}

// What a StatusNotifierItem host reads and does: the menu as it is, submenus
// and radio groups included, and the icon's bytes.
TEST(DBusMenu, PublishesWhateverTheMenuHoldsAndRunsAChoiceOnceTheHostHasItsAnswer)
{
    EXPECT_EQ(shell::DBusMenuLabel("&Preferences..."), "_Preferences...");
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

    shell::DBusMenu published(&menu);
    const shell::DBusMenuLayout root = published.Layout(0, -1, {});
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
    EXPECT_TRUE(published.Layout(0, 0, {}).children.isEmpty()) << "depth 0: the item alone";
    EXPECT_EQ(published.Properties(submenu.children[0].id, {"label"}), (QVariantMap{{"label", "First"}}));

    // A choice runs after the call; a disabled one never.
    int chosen = 0;
    QObject::connect(prefs, &QAction::triggered, [&] { ++chosen; });
    QObject::connect(off, &QAction::triggered, [&] { chosen += 100; });
    published.Event(root.children[0].id, "clicked");
    published.Event(root.children[3].id, "clicked");
    EXPECT_EQ(chosen, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(chosen, 1);

    // A submenu that fills itself as it opens, and a renamed entry: the host
    // hears of a new layout.
    QObject::connect(input, &QMenu::aboutToShow, [&] { input->addAction("Third"); });
    const uint before = published.Revision();
    std::vector<uint> revisions;
    QObject::connect(&published, &shell::DBusMenu::LayoutUpdated, [&](uint revision, int) { revisions.push_back(revision); });
    EXPECT_TRUE(published.AboutToShow(submenu.id));
    prefs->setText("Options");
    QCoreApplication::processEvents();
    ASSERT_EQ(revisions.size(), 1u) << "one update for a burst";
    EXPECT_EQ(revisions[0], before + 1);
    EXPECT_EQ(published.Layout(submenu.id, -1, {}).children.size(), 3);

    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, 0x80FF0102);
    image.setPixel(1, 0, 0x00000000);
    const shell::StatusNotifierPixmap pixmap = shell::ToStatusNotifierPixmap(image);
    EXPECT_EQ(pixmap.width, 2);
    EXPECT_EQ(pixmap.bytes, QByteArray("\x80\xFF\x01\x02\0\0\0\0", 8)) << "ARGB, most significant byte first";
}
