#include "user/system_metrics.h"

#include "user/device_pixels.h"

#include <QApplication>
#include <QStyle>

namespace {

int notificationIconWidth = 0;
int notificationIconHeight = 0;

int classicMetric(int nIndex)
{
    switch (nIndex) {
    case SM_CXICON:
    case SM_CYICON: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CXSMSIZE: return 12;
    case SM_CYSMSIZE: return 15;
    default: return 0;
    }
}

}  // namespace

int GetSystemMetrics(int nIndex)
{
    const int classic = classicMetric(nIndex);
    if (classic == 0) return 0;
    if (notificationIconWidth > 0 && notificationIconHeight > 0) {
        if (nIndex == SM_CXSMICON) return notificationIconWidth;
        if (nIndex == SM_CYSMICON) return notificationIconHeight;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return classic;
    const QStyle* style = QApplication::style();
    if (!style) return classic;

    QStyle::PixelMetric metric = QStyle::PM_SmallIconSize;
    switch (nIndex) {
    case SM_CXICON:
    case SM_CYICON: metric = QStyle::PM_LargeIconSize; break;
    case SM_CXSMICON:
    case SM_CYSMICON: metric = QStyle::PM_SmallIconSize; break;
    default: metric = QStyle::PM_TitleBarButtonSize; break;
    }
    const int value = style->pixelMetric(metric);
    return user::DevicePixels(value > 0 ? value : classic, user::DevicePixelRatio());
}

void SetNotificationIconSize(int width, int height)
{
    notificationIconWidth = width;
    notificationIconHeight = height;
}
