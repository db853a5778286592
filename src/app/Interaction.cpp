// How the user acts on the applet: the two displays, the popup menu, the
// drag, the double-clicks, Esc and the tray icon's notifications.
#include "app/frmMain.h"
#include "base/EventGuard.h"
#include "settings/frmPrefs.h"
#include "shell/notification_area.h"
#include "surfaces/TrayIcon.h"
#include "user/message_box.h"
#include "user/popup_menu.h"
#include "user/window_drag.h"

#include <QCursor>
#include <QTimer>
#include <QKeyEvent>
#include <QMouseEvent>

#include <cstdio>

namespace {

constexpr const char* kNoNotificationAreaText =
    "Kelvo cannot find a notification area on this desktop, so it stays in its window.";
constexpr const char* kNoNotificationAreaTitle = "Kelvo";
constexpr LONG kTrayIconId = 1;

}  // namespace

void frmMain::SetDisplayMode(LONG m)
{
    if (m == state.lDisplayMode) return;
    // The user's choice: a tray that comes later no longer decides.
    StopWaitingForTray();
    if (m == 0) {
        LeaveTray();
    } else if (!EnterTray() && !toldNoNotificationArea_) {
        // Without a notification area the icon could never bring the
        // window back: the applet stays in its window.
        toldNoNotificationArea_ = true;
        MessageBoxA(hWnd(), kNoNotificationAreaText, kNoNotificationAreaTitle, MB_OK | MB_ICONINFORMATION);
    }
}

bool frmMain::EnterTray()
{
    SetNotifyIconMenu(picTrayHwnd_, mnuPopup);
    if (!NotificationAreaAvailable() || !kelvo::TrayAdd(picTrayHwnd_, icon_.get(), "Kelvo", WM_MOUSEMOVE, kTrayIconId)) {
        return false;
    }
    state.lDisplayMode = 1;
    if (trayWatch_) trayWatch_->Poll();  // from now on, its going away counts
    hide();
    mnuShowHide->setText(QStringLiteral("Show"));
    return true;
}

void frmMain::LeaveTray()
{
    state.lDisplayMode = 0;
    show();
    kelvo::TrayDelete(picTrayHwnd_, kTrayIconId);
    mnuShowHide->setText(QStringLiteral("Hide"));
}

void frmMain::WaitForTray()
{
    trayWanted_ = true;
    trayWait_->start(trayWaitLimit_);
}

void frmMain::StopWaitingForTray()
{
    trayWanted_ = false;
    trayWait_->stop();
}

void frmMain::TrayWaitOver()
{
    // Said once; a tray that comes later is still taken.
    if (!trayWanted_ || state.lDisplayMode != 0) return;
    std::fprintf(stderr, "kelvo: no notification area appeared within %g s; staying in the window\n",
                 std::chrono::duration<double>(trayWaitLimit_).count());
    std::fflush(stderr);
}

void frmMain::BringBack()
{
    if (unloaded_) return;
    // The user asked for the window, as with a double-click on the icon: a
    // tray that comes later no longer takes it.
    StopWaitingForTray();
    SetDisplayMode(0);
    raise();
    activateWindow();
}

void frmMain::NotificationAreaChanged(bool available)
{
    if (!available && state.lDisplayMode == 1) {
        // Back into a tray that comes again, as long as the user leaves
        // the display alone.
        LeaveTray();
        trayWanted_ = true;
    } else if (available && state.lDisplayMode == 0 && trayWanted_ && EnterTray()) {
        StopWaitingForTray();
    }
}

void frmMain::ShowPopupMenu()
{
    mnuPopup->setDefaultAction(mnuShowHide);
    user::TrackPopupMenu(*mnuPopup, QCursor::pos());
}

void frmMain::mnuPrefs_Click()
{
    frmPrefs::ShowModal(
        {this, [this] { return RefreshInterval(); }, [this](std::int16_t value) { SetRefreshInterval(value); }});
}

void frmMain::mousePressEvent(QMouseEvent* event)
{
    kelvo::GuardEvent("mouse press", [&] {
        if (event->button() == Qt::LeftButton) {
            POINT press{static_cast<LONG>(std::lround(event->position().x())),
                        static_cast<LONG>(std::lround(event->position().y()))};
            ReleaseCapture();
            SendMessageA(hWnd(), WM_LBUTTONUP, 0, reinterpret_cast<LPARAM>(&press));
            SendMessageA(hWnd(), WM_SYSCOMMAND, SC_DRAGMOVE, reinterpret_cast<LPARAM>(&press));
        } else if (event->button() == Qt::RightButton) {
            ShowPopupMenu();
        }
    });
}

void frmMain::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    kelvo::GuardEvent("double-click", [this] { SetDisplayMode(1); });
}

void frmMain::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape) return;
    kelvo::GuardEvent("Esc", [this] { Unload(); });
}

void frmMain::picTray_MouseMove(int /*button*/, int /*shift*/, float x, float /*y*/)
{
    if (bInTrayEvent) return;
    bInTrayEvent = true;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{bInTrayEvent};
    const auto message = static_cast<UINT>(x);
    if (message == WM_RBUTTONDOWN) {
        ShowPopupMenu();
    } else if (message == WM_LBUTTONDBLCLK) {
        SetDisplayMode(0);
    }
}
