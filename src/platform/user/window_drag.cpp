#include "user/window_drag.h"

#include "user/window_table.h"

#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

BOOL ReleaseCapture()
{
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    return TRUE;
}

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    QWidget* widget = user::WindowFromHandle(hWnd);
    if (Msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MOVE) {
        if (widget) {
            user::WindowDrag drag(widget->window());
            drag.Run();
        }
    } else if (auto* procedure = dynamic_cast<user::WindowProcedure*>(widget)) {
        return procedure->WindowProc(Msg, wParam, lParam);
    }
    return 0;
}

namespace user {

WindowDrag::WindowDrag(QWidget* window) : WindowDrag(window, Input{}) {}

WindowDrag::WindowDrag(QWidget* window, Input input) : window_(window), input_(std::move(input))
{
    if (!input_.leftButtonDown) {
        input_.leftButtonDown = [] { return QGuiApplication::mouseButtons().testFlag(Qt::LeftButton); };
    }
    if (!input_.cursorPos) input_.cursorPos = [] { return QCursor::pos(); };
}

void WindowDrag::Run()
{
    byHand_ = false;
    if (!window_ || !input_.leftButtonDown()) return;
    if (input_.trySystemMove) {
        if (QWindow* handle = window_->windowHandle(); handle && handle->startSystemMove()) return;
    }

    byHand_ = true;
    lastPolled_ = input_.cursorPos();
    offset_ = lastPolled_ - window_->pos();

    QEventLoop loop;
    bool ended = false;
    stop_ = [&loop, &ended] {
        ended = true;
        loop.quit();
    };
    ended_ = &ended;
    // Presses and releases may go to other widgets, or be missed altogether
    // (a release outside every window): the poll ends the drag in any case.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [this] {
        const QPoint cursor = input_.cursorPos();
        if (cursor != lastPolled_) {
            lastPolled_ = cursor;
            Follow(cursor);
        }
        if (!window_ || !input_.leftButtonDown()) stop_();
    });
    poll.start(16);
    qApp->installEventFilter(this);
    loop.exec();
    qApp->removeEventFilter(this);
    stop_ = nullptr;
    ended_ = nullptr;
}

bool WindowDrag::eventFilter(QObject* /*watched*/, QEvent* event)
{
    // Events still queued behind the release must not move the window back.
    if (!ended_ || *ended_) return false;
    if (event->type() == QEvent::MouseMove) {
        Follow(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
    } else if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            Follow(mouse->globalPosition().toPoint());
            if (stop_) stop_();
        }
    }
    return false;
}

void WindowDrag::Follow(QPoint cursor)
{
    const QPoint target = cursor - offset_;
    if (window_ && window_->pos() != target) window_->move(target);
}

}  // namespace user
