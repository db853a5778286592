#include "shell/xembed_slot.h"

#include "user/device_pixels.h"
#include "user/system_metrics.h"

#include <QApplication>
#include <QEvent>
#include <QSystemTrayIcon>
#include <QWidget>

#include <cmath>

namespace shell {
namespace {

constexpr const char* kFitted = "kelvoSlotFitted";

class SlotFitter : public QObject {
public:
    explicit SlotFitter(QWidget* window) : QObject(window), window_(window)
    {
        window->installEventFilter(this);
        Fit();
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show) Fit();
        return false;
    }

private:
    void Fit()
    {
        const double ratio = window_->devicePixelRatioF();
        const int width = static_cast<int>(std::lround(window_->width() * ratio));
        const int height = static_cast<int>(std::lround(window_->height() * ratio));
        if (width <= 0 || height <= 0) return;
        SetNotificationIconSize(height, height);
        // The tray keeps the height and grants the width asked for.
        if (width != height) window_->setMinimumSize(window_->height(), window_->height());
    }

    QWidget* window_;
};

}  // namespace

void FitXEmbedSlot(QSystemTrayIcon* icon)
{
    if (!icon || !qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() != QLatin1String("QSystemTrayIconSys")) continue;
        if (window->property(kFitted).toBool()) continue;
        window->setProperty(kFitted, true);
        new SlotFitter(window);
    }
}

void ForgetXEmbedSlot()
{
    SetNotificationIconSize(0, 0);
}

}  // namespace shell
