#include "shell/FakeNotificationArea.h"
#include "shell/notification_area.h"
#include "shell/qt_notification_area.h"
#include "shell/shellapi.h"
#include "gdi/gdi.h"
#include "user/window_table.h"

#include <QApplication>
#include <QEventLoop>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {


struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class RecordingWidget : public QWidget {
public:
    std::vector<Message> messages;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == user::WindowMessageEvent::eventType()) {
            auto* m = static_cast<user::WindowMessageEvent*>(e);
            messages.push_back({m->message(), m->wParam(), m->lParam()});
            return true;
        }
        return QWidget::event(e);
    }
};

NOTIFYICONDATAA record(HWND hWnd, UINT uID, UINT flags, UINT callback, HICON icon, const char* tip)
{
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAA_TIP128_SIZE;
    data.hWnd = hWnd;
    data.uID = uID;
    data.uFlags = flags;
    data.uCallbackMessage = callback;
    data.hIcon = icon;
    if (tip) std::strncpy(data.szTip, tip, sizeof data.szTip - 1);
    return data;
}

// A 16 x 16 icon: opaque red at (3, 4), transparent elsewhere.
class RedDotIcon {
public:
    RedDotIcon()
    {
        HDC info = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
        mask_ = CreateBitmap(16, 16, 1, 1, nullptr);
        colour_ = CreateBitmap(16, 16, 1, static_cast<UINT>(GetDeviceCaps(info, BITSPIXEL)), nullptr);
        HDC maskDC = CreateCompatibleDC(info);
        HDC colourDC = CreateCompatibleDC(info);
        DeleteDC(info);
        HGDIOBJ oldMask = SelectObject(maskDC, mask_);
        HGDIOBJ oldColour = SelectObject(colourDC, colour_);
        RECT all{0, 0, 16, 16};
        FillRect(maskDC, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        FillRect(colourDC, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        SetPixel(maskDC, 3, 4, RGB(0, 0, 0));
        SetPixel(colourDC, 3, 4, RGB(255, 0, 0));
        SelectObject(maskDC, oldMask);
        SelectObject(colourDC, oldColour);
        DeleteDC(maskDC);
        DeleteDC(colourDC);
        ICONINFO info2{TRUE, 0, 0, mask_, colour_};
        icon_ = CreateIconIndirect(&info2);
    }
    ~RedDotIcon()
    {
        DestroyIcon(icon_);
        DeleteObject(mask_);
        DeleteObject(colour_);
    }
    HICON get() const { return icon_; }

private:
    HBITMAP mask_ = nullptr;
    HBITMAP colour_ = nullptr;
    HICON icon_ = nullptr;
};

// Installs a Qt area that believes a tray is present.
class ForcedQtArea {
public:
    ForcedQtArea() : area([] { return true; }) { previous_ = shell::SetNotificationArea(&area); }
    ~ForcedQtArea() { shell::SetNotificationArea(previous_); }
    shell::QtNotificationArea area;

private:
    shell::NotificationArea* previous_;
};

}  // namespace

TEST(ShellNotifyIcon, RefusesAMissingRecordOrAWrongSize)
{
    kelvo::test::FakeNotificationArea fake;
    EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, nullptr), FALSE);
    NOTIFYICONDATAA data = record(nullptr, 1, 0, 0, nullptr, nullptr);
    data.cbSize = 88;
    EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, &data), FALSE);
    EXPECT_TRUE(fake.calls.empty());
}

TEST(ShellNotifyIcon, HandsTheRecordToTheNotificationArea)
{
    kelvo::test::FakeNotificationArea fake;
    NOTIFYICONDATAA data = record(reinterpret_cast<HWND>(0x40), 7, NIF_TIP, 0, nullptr, "Kelvo");
    EXPECT_EQ(Shell_NotifyIconA(NIM_MODIFY, &data), TRUE);
    data.cbSize = sizeof(NOTIFYICONDATAA);
    fake.result = FALSE;
    EXPECT_EQ(Shell_NotifyIconA(NIM_DELETE, &data), FALSE);
    ASSERT_EQ(fake.calls.size(), 2u);
    EXPECT_EQ(fake.calls[0].message, NIM_MODIFY);
    EXPECT_EQ(fake.calls[0].data.uID, 7u);
    EXPECT_STREQ(fake.calls[0].data.szTip, "Kelvo");
    EXPECT_EQ(fake.calls[1].message, NIM_DELETE);
}

TEST(ShellNotifyIcon, ActivationReasonsBecomeMouseMessages)
{
    EXPECT_EQ(shell::MouseMessageOfActivation(QSystemTrayIcon::Context), 516u);
    EXPECT_EQ(shell::MouseMessageOfActivation(QSystemTrayIcon::DoubleClick), 515u);
    EXPECT_EQ(shell::MouseMessageOfActivation(QSystemTrayIcon::Trigger), static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(shell::MouseMessageOfActivation(QSystemTrayIcon::MiddleClick), static_cast<UINT>(WM_MBUTTONUP));
    EXPECT_EQ(shell::MouseMessageOfActivation(QSystemTrayIcon::Unknown), 0u);
}

TEST(ShellNotifyIcon, CallbackIsPostedToTheWindowWithTheMouseMessageInLParam)
{
    RecordingWidget widget;
    const HWND hWnd = user::RegisterWindow(&widget);
    EXPECT_EQ(shell::PostIconCallback(hWnd, 1, WM_MOUSEMOVE, WM_LBUTTONDBLCLK), TRUE);
    EXPECT_EQ(shell::PostIconCallback(hWnd, 1, 0, WM_LBUTTONDBLCLK), FALSE);  // no NIF_MESSAGE
    QCoreApplication::sendPostedEvents(&widget);
    ASSERT_EQ(widget.messages.size(), 1u);
    EXPECT_EQ(widget.messages[0].message, 512u);
    EXPECT_EQ(widget.messages[0].wParam, 1u);
    EXPECT_EQ(widget.messages[0].lParam, 515);
}

TEST(ShellNotifyIcon, WithoutATrayTheDesktopAreaRefusesTheIcon)
{
    // The offscreen platform has no notification area.
    EXPECT_FALSE(NotificationAreaAvailable());
    NOTIFYICONDATAA data = record(reinterpret_cast<HWND>(0x40), 1, NIF_MESSAGE | NIF_TIP, 512, nullptr, "Kelvo");
    EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, &data), FALSE);
    EXPECT_EQ(Shell_NotifyIconA(NIM_MODIFY, &data), FALSE);
    EXPECT_EQ(Shell_NotifyIconA(NIM_DELETE, &data), FALSE);
}

TEST(ShellNotifyIcon, IconPictureIsTransparentWhereTheMaskIsSet)
{
    RedDotIcon icon;
    const QImage image = shell::IconQImage(icon.get());
    ASSERT_EQ(image.size(), QSize(16, 16));
    EXPECT_EQ(image.pixel(3, 4), 0xFFFF0000u);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_TRUE(shell::IconQImage(nullptr).isNull());
}

TEST(QtNotificationArea, AddModifyDeleteKeyedByWindowAndIdentifier)
{
    ForcedQtArea forced;
    RecordingWidget widget;
    const HWND hWnd = user::RegisterWindow(&widget);
    RedDotIcon icon;

    NOTIFYICONDATAA add = record(hWnd, 1, NIF_MESSAGE | NIF_ICON | NIF_TIP, WM_MOUSEMOVE, icon.get(), "Kelvo");
    EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, &add), TRUE);
    EXPECT_EQ(Shell_NotifyIconA(NIM_ADD, &add), FALSE);  // already there
    QSystemTrayIcon* tray = forced.area.TrayIconOf(hWnd, 1);
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(forced.area.TrayIconOf(hWnd, 2), nullptr);
    EXPECT_EQ(tray->toolTip(), QString("Kelvo"));
    EXPECT_EQ(tray->icon().pixmap(16, 16).toImage().pixel(3, 4), 0xFFFF0000u);

    // A modify with only an icon keeps the tip and the callback message.
    NOTIFYICONDATAA modify = record(hWnd, 1, NIF_ICON, 0, nullptr, nullptr);
    EXPECT_EQ(Shell_NotifyIconA(NIM_MODIFY, &modify), TRUE);
    EXPECT_EQ(tray->toolTip(), QString("Kelvo"));
    EXPECT_EQ(qAlpha(tray->icon().pixmap(16, 16).toImage().pixel(3, 4)), 0);

    emit tray->activated(QSystemTrayIcon::Context);
    emit tray->activated(QSystemTrayIcon::Trigger);
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    QCoreApplication::sendPostedEvents(&widget);
    ASSERT_EQ(widget.messages.size(), 3u);
    EXPECT_EQ(widget.messages[0].message, 512u);
    EXPECT_EQ(widget.messages[0].wParam, 1u);
    EXPECT_EQ(widget.messages[0].lParam, 516);
    EXPECT_EQ(widget.messages[1].lParam, WM_LBUTTONUP);
    EXPECT_EQ(widget.messages[2].lParam, 515);

    NOTIFYICONDATAA remove = record(hWnd, 1, 0, 0, nullptr, nullptr);
    EXPECT_EQ(Shell_NotifyIconA(NIM_DELETE, &remove), TRUE);
    EXPECT_EQ(forced.area.TrayIconOf(hWnd, 1), nullptr);
    EXPECT_EQ(Shell_NotifyIconA(NIM_DELETE, &remove), FALSE);
    EXPECT_EQ(Shell_NotifyIconA(NIM_MODIFY, &modify), FALSE);
    EXPECT_EQ(Shell_NotifyIconA(3, &remove), FALSE);
}

TEST(QtNotificationArea, NoCallbackWithoutNifMessage)
{
    ForcedQtArea forced;
    RecordingWidget widget;
    const HWND hWnd = user::RegisterWindow(&widget);
    NOTIFYICONDATAA add = record(hWnd, 1, NIF_TIP, WM_MOUSEMOVE, nullptr, "Kelvo");
    ASSERT_EQ(Shell_NotifyIconA(NIM_ADD, &add), TRUE);
    emit forced.area.TrayIconOf(hWnd, 1)->activated(QSystemTrayIcon::DoubleClick);
    QCoreApplication::sendPostedEvents(&widget);
    EXPECT_TRUE(widget.messages.empty());
}

TEST(NotificationAreaWatch, ReportsChangesOnly)
{
    kelvo::test::FakeNotificationArea fake;
    std::vector<bool> seen;
    NotificationAreaWatch watch([&](bool available) { seen.push_back(available); });
    EXPECT_TRUE(watch.LastKnown());
    EXPECT_TRUE(watch.Poll());
    EXPECT_TRUE(seen.empty());
    fake.available = false;
    EXPECT_FALSE(watch.Poll());
    EXPECT_FALSE(watch.Poll());
    fake.available = true;
    watch.Poll();
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));
}

TEST(NotificationAreaWatch, TimerNoticesTheTrayGoingAway)
{
    kelvo::test::FakeNotificationArea fake;
    QEventLoop loop;
    std::vector<bool> seen;
    NotificationAreaWatch watch(
        [&](bool available) {
            seen.push_back(available);
            loop.quit();
        },
        std::chrono::milliseconds(5));
    fake.available = false;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);  // a guard, not a wait
    loop.exec();
    EXPECT_EQ(seen, std::vector<bool>{false});
}
