#include "user/popup_menu.h"

#include <QMenu>

namespace user {

void TrackPopupMenu(QMenu& menu, QPoint at)
{
    menu.setFixedSize(menu.sizeHint());
    menu.exec(at);
}

}  // namespace user
