#include "user/device_pixels.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace user {

double DevicePixelRatio()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return 1.0;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

int DevicePixels(int logical, double ratio)
{
    return static_cast<int>(std::nearbyint(logical * ratio));
}

}  // namespace user
