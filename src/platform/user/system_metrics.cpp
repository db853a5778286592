#include "user/system_metrics.h"

#include <QApplication>
#include <QStyle>

namespace {

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
    return value > 0 ? value : classic;
}
