#include "user/twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace user {

int TwipsToPixels(int twips, double dpi)
{
    return static_cast<int>(std::nearbyint(twips * dpi / 1440.0));
}

double LogicalDpi()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

QRect TwipsRect(int left, int top, int width, int height)
{
    const double dpi = LogicalDpi();
    return QRect(TwipsToPixels(left, dpi), TwipsToPixels(top, dpi), TwipsToPixels(width, dpi),
                 TwipsToPixels(height, dpi));
}

}  // namespace user
