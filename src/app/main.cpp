#include "app/CommandLine.h"
#include "app/DisplayOpening.h"
#include "app/TerminationSignals.h"
#include "app/frmMain.h"
#include "user/message_box.h"

#include <QApplication>

#include <optional>

int main(int argc, char* argv[])
{
    kelvo::InstallTerminationSignals();
    const std::string arguments = kelvo::ArgumentText(argc, argv);
    std::optional<kelvo::DisplayOpening> opening(std::in_place);
    QApplication app(argc, argv);
    opening.reset();
    QApplication::setApplicationName(QStringLiteral("Kelvo"));
    QApplication::setQuitOnLastWindowClosed(false);

    frmMain form(arguments);
    QObject::connect(&form, &frmMain::Unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
    // A terminate signal ends the applet as Exit would, whatever is open.
    kelvo::OnTerminationSignal(&form, [&form] {
        user::DismissModalLoops();
        form.Unload();
    });

    if (!form.Form_Load()) return 0;
    return app.exec();
}
