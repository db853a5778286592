// Shell_NotifyIconA against a real XEmbed tray host (trayer) on a private X
// server: the icon is embedded and clicks on it reach the callback window.
#include "gdi/gdi.h"
#include "shell/notification_area.h"
#include "shell/qt_notification_area.h"
#include "shell/shellapi.h"
#include "user/window_table.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);  // polling an external process's state
    }
    return true;
}

class Callbacks : public QWidget {
public:
    std::vector<LPARAM> mouse;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == user::WindowMessageEvent::eventType()) {
            auto* m = static_cast<user::WindowMessageEvent*>(e);
            if (m->message() == WM_MOUSEMOVE && m->wParam() == 1) mouse.push_back(m->lParam());
            return true;
        }
        return QWidget::event(e);
    }
};

class TrayHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "trayer", "xdotool"})
            if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is not installed";
        for (display_ = 91; display_ < 120; ++display_)
            if (!QFile::exists(QString("/tmp/.X11-unix/X%1").arg(display_))) break;
        const QString name = QString(":%1").arg(display_);
        xvfb_.start("Xvfb", {name, "-screen", "0", "320x240x24", "-nolisten", "tcp"});
        ASSERT_TRUE(xvfb_.waitForStarted());
        ASSERT_TRUE(waitFor([&] { return QFile::exists(QString("/tmp/.X11-unix/X%1").arg(display_)); }));
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("DISPLAY", name);
        trayer_.setProcessEnvironment(env_);
        trayer_.start("trayer", {"--edge", "top", "--align", "left", "--widthtype", "request", "--height", "24",
                                 "--SetDockType", "false"});
        ASSERT_TRUE(trayer_.waitForStarted());

        setenv("DISPLAY", name.toLocal8Bit().constData(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        static int argc = 1;
        static char argv0[] = "tray_host_test";
        static char* argv[] = {argv0, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }

    void TearDown() override
    {
        app_.reset();
        for (QProcess* p : {&trayer_, &xvfb_}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(5000)) {
                p->kill();
                p->waitForFinished();
            }
        }
    }

    void click(QPoint at, const QStringList& clicks)
    {
        QProcess xdotool;
        xdotool.setProcessEnvironment(env_);
        xdotool.start("xdotool", QStringList{"mousemove", QString::number(at.x()), QString::number(at.y())} + clicks);
        ASSERT_TRUE(xdotool.waitForFinished());
    }

    int display_ = 91;
    QProcess xvfb_;
    QProcess trayer_;
    QProcessEnvironment env_;
    std::unique_ptr<QApplication> app_;
};

}  // namespace

TEST_F(TrayHost, IconIsEmbeddedAndClicksReachTheCallbackWindow)
{
    // The desktop's own kind of area, reachable for its Qt icon.
    shell::QtNotificationArea area;
    struct Installed {
        shell::NotificationArea* previous;
        ~Installed() { shell::SetNotificationArea(previous); }
    } installed{shell::SetNotificationArea(&area)};
    ASSERT_TRUE(waitFor([] { return NotificationAreaAvailable(); }));
    Callbacks window;
    const HWND hWnd = user::RegisterWindow(&window);

    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAA_TIP128_SIZE;
    data.hWnd = hWnd;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = WM_MOUSEMOVE;
    std::strcpy(data.szTip, "Kelvo");
    ASSERT_EQ(Shell_NotifyIconA(NIM_ADD, &data), TRUE);

    QSystemTrayIcon* tray = area.TrayIconOf(hWnd, 1);
    ASSERT_NE(tray, nullptr);
    ASSERT_TRUE(waitFor([&] { return !tray->geometry().isEmpty(); })) << "not embedded";
    const QPoint icon = tray->geometry().center();
    // The slot may be mapped a moment before it takes input: click again
    // until the first notification arrives.
    bool notified = false;
    for (int attempt = 0; attempt < 5 && !notified; ++attempt) {
        click(icon, {"click", "3"});
        notified = waitFor([&] { return !window.mouse.empty(); }, 2000);
    }
    ASSERT_TRUE(notified) << "no callback";
    EXPECT_EQ(window.mouse.front(), 516);
    window.mouse.clear();

    click(icon, {"click", "--repeat", "2", "--delay", "80", "1"});
    ASSERT_TRUE(waitFor([&] {
        return std::find(window.mouse.begin(), window.mouse.end(), 515) != window.mouse.end();
    }));

    ASSERT_EQ(Shell_NotifyIconA(NIM_DELETE, &data), TRUE);

    // The host going away is noticed.
    trayer_.terminate();
    ASSERT_TRUE(trayer_.waitForFinished(5000));
    EXPECT_TRUE(waitFor([] { return !NotificationAreaAvailable(); }));
}
