// Moving a window with the mouse, as WM_SYSCOMMAND SC_MOVE does on Windows.
#pragma once

#include "win32/win32.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <functional>

// SendMessageA's SC_MOVE command plus the caption hit-test code.
constexpr WPARAM SC_DRAGMOVE = SC_MOVE + 2;

BOOL ReleaseCapture();
// WM_SYSCOMMAND with SC_MOVE (0xF012 from a caption drag) moves the window
// behind hWnd with the mouse until the left button is released; a widget that
// is a user::WindowProcedure answers other messages itself. Everything else
// (WM_LBUTTONUP among it) is accepted and answered with 0.
LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

namespace user {

// One drag of a top-level window. The window system's own move is used where
// it has one; otherwise (no window manager) the window is moved by hand to
// follow the pointer, in a nested event loop, until the left button is up.
class WindowDrag : public QObject {
public:
    struct Input {
        std::function<bool()> leftButtonDown;  // default: Qt's button state
        std::function<QPoint()> cursorPos;     // default: QCursor::pos()
        bool trySystemMove = true;
    };

    explicit WindowDrag(QWidget* window);
    WindowDrag(QWidget* window, Input input);

    // Returns when the drag has ended (at once if the button is already up,
    // or once the window system has taken the move over).
    void Run();
    // True when the last Run moved the window by hand.
    bool MovedByHand() const { return byHand_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Follow(QPoint cursor);

    QPointer<QWidget> window_;
    Input input_;
    QPoint offset_;
    QPoint lastPolled_;
    bool byHand_ = false;
    std::function<void()> stop_;
    bool* ended_ = nullptr;
};

}  // namespace user
