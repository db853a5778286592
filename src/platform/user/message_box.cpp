#include "user/message_box.h"

#include "user/window_table.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

namespace user {
namespace {

MessageBoxHandler& Handler()
{
    static MessageBoxHandler handler;
    return handler;
}

ModalHooks& Hooks()
{
    static ModalHooks hooks;
    return hooks;
}

QMessageBox::Icon IconFor(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler)
{
    Handler() = std::move(handler);
}

void SetModalHooks(ModalHooks hooks)
{
    Hooks() = std::move(hooks);
}

ModalScope::ModalScope()
{
    if (Hooks().enter) Hooks().enter();
}

ModalScope::~ModalScope()
{
    if (Hooks().leave) Hooks().leave();
}

}  // namespace user

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    const std::string text = lpText ? lpText : "";
    const std::string caption = lpCaption ? lpCaption : "Error";
    user::ModalScope modal;
    if (user::Handler()) return user::Handler()(text, caption, uType);

    // The texts are 8-bit ANSI; Latin-1 keeps every byte a character.
    QMessageBox box(user::IconFor(uType), QString::fromLatin1(caption.c_str()), QString::fromLatin1(text.c_str()),
                    QMessageBox::Ok, user::WindowFromHandle(hWnd));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return IDOK;
}
