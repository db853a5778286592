#include "user/message_pump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QThread>

#if KELVO_HAVE_XCB
#include <xcb/xcb.h>
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

bool DisplayConnectionBroken()
{
#if KELVO_HAVE_XCB
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->connection()) return xcb_connection_has_error(x11->connection()) != 0;
#endif
    return false;
}

}  // namespace user
