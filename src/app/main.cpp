#include "app/CommandLine.h"
#include "app/DisplayOpening.h"
#include "app/LinuxOptions.h"
#include "app/SessionInstance.h"
#include "app/TerminationSignals.h"
#include "app/frmMain.h"
#include "base/EventGuard.h"
#include "user/message_box.h"

#include <QApplication>

#include <cstdio>
#include <optional>

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char* argv[])
{
#ifdef __GLIBC__
    // One heap for all threads: the X event reader, D-Bus and the sound
    // server's loop allocate little, and an arena of each thread's own (kept
    // after the thread ends) holds its touched pages for good: about 130 kB.
    mallopt(M_ARENA_MAX, 1);
#endif
    kelvo::InstallTerminationSignals();
    if (const std::optional<int> status = kelvo::RunLinuxOption(argc, argv)) return *status;
    const std::string arguments = kelvo::ArgumentText(argc, argv);
    std::optional<kelvo::DisplayOpening> opening(std::in_place);
    // A frame is a few kB of pixels. Put through the X connection it needs no
    // shared-memory completion event, which would wake the X event reader and
    // this thread at every frame. Programs Kelvo starts get the user's setting.
    const bool sharedPixels = !qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM");
    if (sharedPixels) qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    if (sharedPixels) qunsetenv("QT_XCB_NO_MITSHM");
    opening.reset();
    QApplication::setApplicationName(QStringLiteral("Kelvo"));
    QApplication::setQuitOnLastWindowClosed(false);

    // Before the sound device is opened: a second start never records.
    kelvo::SessionInstance instance(kelvo::CurrentSessionPlace(QGuiApplication::platformName().toStdString()));
    switch (instance.ClaimSession(!kelvo::ParseSwitches(arguments).tray)) {
    case kelvo::SessionInstance::Claim::HandedOver:
        return 0;
    case kelvo::SessionInstance::Claim::NoAnswer:
        std::fputs("kelvo: the Kelvo already running on this display does not answer\n", stderr);
        return 1;
    case kelvo::SessionInstance::Claim::First:
        break;
    }

    frmMain form(arguments);
    QObject::connect(&form, &frmMain::Unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
    // A terminate signal ends the applet as Exit would, whatever is open.
    kelvo::OnTerminationSignal(&form, [&form] {
        user::DismissModalLoops();
        form.Unload();
    });
    // A later start that asks for the window gets it once start-up is over.
    bool loaded = false;
    bool showWanted = false;
    instance.Listen([&] {
        kelvo::GuardEvent("second start", [&] {
            if (loaded) form.BringBack();
            showWanted = !loaded;
        });
    });

    if (!form.Form_Load()) return 0;
    const kelvo::DisplayLostWatch displayWatch = kelvo::OnDisplayLost([&form] { form.DisplayLost(); });
    loaded = true;
    if (showWanted) form.BringBack();
    return app.exec();
}
