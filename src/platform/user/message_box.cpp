#include "user/message_box.h"

#include "user/window_table.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <cstdio>

namespace user {
namespace {

MessageBoxHandler& Handler()
{
    static MessageBoxHandler handler;
    return handler;
}

bool dismissing = false;

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

void DismissModalLoops()
{
    dismissing = true;
    // Nested loops close from the innermost out; a widget that refuses to
    // close must not keep us here.
    for (int i = 0; i < 64; ++i) {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        } else if (QWidget* modal = QApplication::activeModalWidget()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            } else {
                modal->close();
            }
        } else {
            return;
        }
    }
}

}  // namespace user

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    const std::string text = lpText ? lpText : "";
    const std::string caption = lpCaption ? lpCaption : "Error";
    if (user::dismissing) {
        // Not shown, but not lost either.
        std::fprintf(stderr, "kelvo: %s: %s\n", caption.c_str(), text.c_str());
        return IDOK;
    }
    if (user::Handler()) return user::Handler()(text, caption, uType);

    // The texts are 8-bit ANSI; Latin-1 keeps every byte a character.
    QMessageBox box(user::IconFor(uType), QString::fromLatin1(caption.c_str()), QString::fromLatin1(text.c_str()),
                    QMessageBox::Ok, user::WindowFromHandle(hWnd));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return IDOK;
}
