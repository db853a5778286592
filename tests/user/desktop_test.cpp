#include "user/window_drag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

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
        cursor = QPoint(130, 135);  // seen by the poll and in a move event
        QCoreApplication::postEvent(&window, new QMouseEvent(QEvent::MouseMove, QPointF(window.mapFromGlobal(cursor)),
                                                             QPointF(cursor), Qt::LeftButton, Qt::LeftButton,
                                                             Qt::NoModifier));
    });
    QTimer::singleShot(1, &window, [&] { down = false; });
    drag.Run();
    EXPECT_EQ(window.pos(), origin + QPoint(10, 20));
}
