#include "user/window_drag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

void postMouse(QWidget* target, QEvent::Type type, QPoint global, Qt::MouseButtons buttons)
{
    const QPoint local = target->mapFromGlobal(global);
    QCoreApplication::postEvent(target, new QMouseEvent(type, QPointF(local), QPointF(global), Qt::LeftButton,
                                                        buttons, Qt::NoModifier));
}

}  // namespace

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
