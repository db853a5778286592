#include "user/sys_color.h"
#include "user/system_metrics.h"
#include "user/window_drag.h"
#include "user/window_table.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>


namespace {

COLORREF ref(const QColor& c)
{
    return RGB(static_cast<BYTE>(c.red()), static_cast<BYTE>(c.green()), static_cast<BYTE>(c.blue()));
}

void postMouse(QWidget* target, QEvent::Type type, QPoint global, Qt::MouseButtons buttons)
{
    const QPoint local = target->mapFromGlobal(global);
    QCoreApplication::postEvent(target, new QMouseEvent(type, QPointF(local), QPointF(global), Qt::LeftButton,
                                                        buttons, Qt::NoModifier));
}

}  // namespace

TEST(GetSysColor, ButtonColoursFromThePalette)
{
    const QPalette palette = QGuiApplication::palette();
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), ref(palette.color(QPalette::Active, QPalette::Button)));
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), ref(palette.color(QPalette::Active, QPalette::Dark)));
    EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), ref(palette.color(QPalette::Active, QPalette::Light)));

    QPalette custom = palette;
    custom.setColor(QPalette::Button, QColor(1, 2, 3));
    QGuiApplication::setPalette(custom);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(1, 2, 3));
    QGuiApplication::setPalette(palette);
}

TEST(WindowDrag, ReturnsAtOnceWhenTheButtonIsAlreadyUp)
{
    QWidget window;
    window.setGeometry(100, 100, 188, 94);
    window.show();
    const HWND hWnd = user::RegisterWindow(&window);
    const QPoint origin = window.pos();
    POINT press{10, 10};
    // No button is down in the offscreen session: nothing moves, nothing hangs.
    EXPECT_EQ(SendMessageA(hWnd, WM_LBUTTONUP, 0, reinterpret_cast<LPARAM>(&press)), 0);
    EXPECT_EQ(SendMessageA(hWnd, WM_SYSCOMMAND, SC_DRAGMOVE, reinterpret_cast<LPARAM>(&press)), 0);
    EXPECT_EQ(window.pos(), origin);
}

TEST(WindowDrag, EndsWhenTheButtonIsFoundUpWithoutARelease)
{
    QWidget window;
    window.setGeometry(100, 100, 188, 94);
    window.show();
    const QPoint origin = window.pos();

    bool down = true;
    QPoint cursor(120, 115);
    user::WindowDrag drag(&window, {[&] { return down; }, [&] { return cursor; }, false});
    QTimer::singleShot(0, &window, [&] {
        cursor = QPoint(130, 135);  // seen by the poll
    });
    QTimer::singleShot(0, &window, [&] { postMouse(&window, QEvent::MouseMove, QPoint(130, 135), Qt::LeftButton); });
    QTimer::singleShot(1, &window, [&] { down = false; });
    drag.Run();
    EXPECT_EQ(window.pos(), origin + QPoint(10, 20));
}
