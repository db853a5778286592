#include "user/message_pump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QThread>

#if KELVO_HAVE_XCB
#include <xcb/xcb.h>
#endif
#if KELVO_HAVE_WAYLAND
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client-core.h>

#include <dlfcn.h>
#endif

namespace user {

void DoEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitAndDoEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void WakeMessagePump()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(app->thread())) dispatcher->wakeUp();
}

namespace {

struct DisplayConnection {
#if KELVO_HAVE_XCB
    xcb_connection_t* x11 = nullptr;
#endif
#if KELVO_HAVE_WAYLAND
    wl_display* wayland = nullptr;
    int (*waylandError)(wl_display*) = nullptr;
#endif
};

DisplayConnection CurrentConnection()
{
    DisplayConnection connection;
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return connection;
#if KELVO_HAVE_XCB
    if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>()) connection.x11 = x11->connection();
#endif
#if KELVO_HAVE_WAYLAND
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        if (QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface())
            connection.wayland = static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"));
        // Taken from the library the platform plugin loaded, so that the
        // applet does not load it on X11.
        if (void* library = dlopen("libwayland-client.so.0", RTLD_LAZY | RTLD_NOLOAD))
            connection.waylandError = reinterpret_cast<int (*)(wl_display*)>(dlsym(library, "wl_display_get_error"));
        if (!connection.waylandError) connection.wayland = nullptr;
    }
#endif
    return connection;
}

}  // namespace

bool DisplayConnectionBroken()
{
    [[maybe_unused]] static const DisplayConnection connection = CurrentConnection();
#if KELVO_HAVE_XCB
    if (connection.x11) return xcb_connection_has_error(connection.x11) != 0;
#endif
#if KELVO_HAVE_WAYLAND
    if (connection.wayland) return connection.waylandError(connection.wayland) != 0;
#endif
    return false;
}

}  // namespace user
