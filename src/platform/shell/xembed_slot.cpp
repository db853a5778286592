#include "shell/xembed_slot.h"

#include "user/device_pixels.h"
#include "user/system_metrics.h"

#include <QApplication>
#include <QEvent>
#include <QSystemTrayIcon>
#include <QWidget>

#include <cmath>

#if KELVO_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#endif

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

void Fit(QObject* object)
{
    auto* window = qobject_cast<QWidget*>(object);
    if (!window || window->objectName() != QLatin1String("QSystemTrayIconSys")) return;
    if (window->property(kFitted).toBool()) return;
    window->setProperty(kFitted, true);
    new SlotFitter(window);
}

// Qt makes an icon's window when it learns of the tray: for a tray that has
// just come, after the icon was shown.
class SlotWatcher : public QObject {
public:
    explicit SlotWatcher(QObject* application) : QObject(application) { application->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) Fit(watched);
        return false;
    }
};

}  // namespace

void FitXEmbedSlot(QSystemTrayIcon* icon)
{
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!icon || !application) return;
    if (!application->property(kFitted).toBool()) {
        application->setProperty(kFitted, true);
        new SlotWatcher(application);
    }
    for (QWidget* window : QApplication::topLevelWidgets()) Fit(window);
}

void ForgetXEmbedSlot()
{
    SetNotificationIconSize(0, 0);
}

bool XEmbedIconShown()
{
#if KELVO_HAVE_XCB
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return false;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() != QLatin1String("QSystemTrayIconSys") || !window->internalWinId()) continue;
        const auto id = static_cast<xcb_window_t>(window->internalWinId());
        const std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(connection, xcb_query_tree(connection, id), nullptr), &std::free);
        const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
            xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr),
            &std::free);
        if (tree && attributes && tree->parent != tree->root && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
            return true;
    }
#endif
    return false;
}

}  // namespace shell
