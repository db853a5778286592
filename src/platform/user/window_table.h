// Window handles for Qt widgets, so that code written against HWND values
// (a tray icon's callback window, a window to drag) can name widgets.
#pragma once

#include "win32/win32.h"

#include <QEvent>

class QWidget;

namespace user {

// Gives `widget` a handle for its lifetime (the entry goes when the widget is
// destroyed). Registering the same widget twice returns the same handle.
HWND RegisterWindow(QWidget* widget);
// The widget behind a handle, or nullptr for an unknown or destroyed one.
QWidget* WindowFromHandle(HWND hWnd);

// A window message delivered to a widget through Qt's event queue.
class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(UINT message, WPARAM wParam, LPARAM lParam)
        : QEvent(eventType()), message_(message), wParam_(wParam), lParam_(lParam) {}

    static QEvent::Type eventType();
    UINT message() const { return message_; }
    WPARAM wParam() const { return wParam_; }
    LPARAM lParam() const { return lParam_; }

private:
    UINT message_;
    WPARAM wParam_;
    LPARAM lParam_;
};

// Queues `message` for the widget behind `hWnd`; FALSE for an unknown handle.
BOOL PostMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// A widget that answers the messages SendMessageA sends it.
class WindowProcedure {
public:
    virtual ~WindowProcedure() = default;
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

}  // namespace user

// Deletes the widget behind `hWnd` (and its children) at once; FALSE with
// ERROR_INVALID_WINDOW_HANDLE when it has already gone.
BOOL DestroyWindow(HWND hWnd);
// The area inside the window's border, from (0, 0); never negative.
BOOL GetClientRect(HWND hWnd, LPRECT lpRect);
