// Windows that must not get a task-bar button.
#pragma once

class QWidget;

namespace user {

// Asks the desktop to leave `window` out of its task bar and pager. Call it
// before the window is first shown. Where the desktop gives applications no
// say (Wayland, other platforms), it does nothing.
void KeepOffTaskbar(QWidget* window);

}  // namespace user
