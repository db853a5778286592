#include "user/window_table.h"

#include "kernel/library.h"

#include <QHash>
#include <QPointer>
#include <QWidget>
#include <QCoreApplication>

#include <algorithm>

namespace user {
namespace {

struct Table {
    QHash<quintptr, QPointer<QWidget>> byHandle;
    QHash<const QWidget*, quintptr> byWidget;
    quintptr next = 0x10000;
};

Table& table()
{
    static Table t;
    return t;
}

}  // namespace

HWND RegisterWindow(QWidget* widget)
{
    Table& t = table();
    if (auto it = t.byWidget.find(widget); it != t.byWidget.end()) return reinterpret_cast<HWND>(it.value());
    const quintptr handle = t.next;
    t.next += 4;  // handle values stay aligned like real ones
    t.byHandle.insert(handle, widget);
    t.byWidget.insert(widget, handle);
    QObject::connect(widget, &QObject::destroyed, [handle, widget] {
        table().byHandle.remove(handle);
        table().byWidget.remove(widget);
    });
    return reinterpret_cast<HWND>(handle);
}

QWidget* WindowFromHandle(HWND hWnd)
{
    const auto it = table().byHandle.constFind(reinterpret_cast<quintptr>(hWnd));
    return it == table().byHandle.constEnd() ? nullptr : it.value().data();
}

QEvent::Type WindowMessageEvent::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

BOOL PostMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    QWidget* widget = WindowFromHandle(hWnd);
    if (!widget) return FALSE;
    QCoreApplication::postEvent(widget, new WindowMessageEvent(message, wParam, lParam));
    return TRUE;
}

}  // namespace user

BOOL DestroyWindow(HWND hWnd)
{
    QWidget* widget = user::WindowFromHandle(hWnd);
    if (!widget) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    delete widget;
    return TRUE;
}

BOOL GetClientRect(HWND hWnd, LPRECT lpRect)
{
    const QWidget* widget = user::WindowFromHandle(hWnd);
    if (!widget || !lpRect) {
        SetLastError(widget ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const QRect client = widget->contentsRect();
    *lpRect = {0, 0, std::max(0, client.width()), std::max(0, client.height())};
    return TRUE;
}
