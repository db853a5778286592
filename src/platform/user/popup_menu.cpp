#include "user/popup_menu.h"

#include "user/message_box.h"

#include <QMenu>

namespace user {

void TrackPopupMenu(QMenu& menu, QPoint at)
{
    ModalScope modal;
    menu.setFixedSize(menu.sizeHint());
    menu.exec(at);
}

}  // namespace user
