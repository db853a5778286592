#include "app/TrayReceiver.h"

#include "user/window_table.h"
#include "win32/win32.h"

TrayReceiver::TrayReceiver(QWidget* parent, MouseMove onMouseMove)
    : QWidget(parent), onMouseMove_(std::move(onMouseMove))
{
}

bool TrayReceiver::event(QEvent* event)
{
    if (event->type() != user::WindowMessageEvent::eventType()) return QWidget::event(event);
    const auto* message = static_cast<const user::WindowMessageEvent*>(event);
    // The box measures in pixels, so x carries the mouse message number.
    if (message->message() == WM_MOUSEMOVE) onMouseMove_(0, 0, LOWORD(static_cast<DWORD_PTR>(message->lParam())), 0);
    return true;
}
