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

// The applet is ending: every open message box, dialog and menu closes as if
// dismissed, and message boxes asked for from now on answer at once.
void DismissModalLoops();

}  // namespace user
