// MessageBoxA over Qt's message box.
#pragma once

#include "win32/win32.h"

#include <functional>
#include <string>

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);

namespace user {

// Tests answer message boxes themselves instead of showing them.
using MessageBoxHandler = std::function<int(const std::string& text, const std::string& caption, UINT type)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

// Runs around every modal loop the applet opens (message boxes, menus,
// dialogs), so that timers that must not count that time can pause.
struct ModalHooks {
    std::function<void()> enter;
    std::function<void()> leave;
};
void SetModalHooks(ModalHooks hooks);

// The applet is ending: every open message box, dialog and menu closes as if
// dismissed, and message boxes asked for from now on answer at once.
void DismissModalLoops();

// RAII: announces a modal loop for its lifetime.
class ModalScope {
public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};

}  // namespace user
