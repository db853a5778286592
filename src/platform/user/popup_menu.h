// TrackPopupMenu's part: a popup menu shown until it closes.
#pragma once

#include <QPoint>

class QMenu;

namespace user {

// Shows `menu` at `at` and returns once it has closed. The menu keeps the
// size it asks for: where it can be no popup of a window (a Wayland desktop
// while the applet's window is hidden) it becomes a window of its own, which
// a tiling compositor floats only at a fixed size.
void TrackPopupMenu(QMenu& menu, QPoint at);

}  // namespace user
