#include "user/sys_color.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

DWORD GetSysColor(int nIndex)
{
    QPalette::ColorRole role = QPalette::Button;
    COLORREF classic = 0;
    switch (nIndex) {
    case COLOR_BTNFACE: role = QPalette::Button; classic = RGB(192, 192, 192); break;
    case COLOR_BTNSHADOW: role = QPalette::Dark; classic = RGB(128, 128, 128); break;
    case COLOR_BTNHIGHLIGHT: role = QPalette::Light; classic = RGB(255, 255, 255); break;
    default: return 0;
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return classic;
    const QColor c = QGuiApplication::palette().color(QPalette::Active, role);
    return RGB(static_cast<BYTE>(c.red()), static_cast<BYTE>(c.green()), static_cast<BYTE>(c.blue()));
}
