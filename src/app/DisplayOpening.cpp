#include "app/DisplayOpening.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace kelvo {
namespace {

struct Held {
    QtMsgType type;
    QString text;
    QByteArray category, file, function;
    int line;
};

std::vector<Held> held;
QtMessageHandler previous = nullptr;

void Hold(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        held.push_back({type, text, context.category, context.file, context.function, context.line});
        return;
    }
    // The first thing the platform layer could not do names it best.
    QString reason = text;
    for (const Held& h : held) {
        if (h.category.startsWith("qt.qpa")) {
            reason = h.text;
            break;
        }
    }
    std::fprintf(stderr, "kelvo: cannot open the display: %s\n", qUtf8Printable(reason.section(QLatin1Char('\n'), 0, 0)));
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

DisplayOpening::DisplayOpening()
{
    previous = qInstallMessageHandler(Hold);
}

DisplayOpening::~DisplayOpening()
{
    qInstallMessageHandler(previous);
    for (const Held& h : std::exchange(held, {})) {
        const QMessageLogContext context(h.file.constData(), h.line, h.function.constData(), h.category.constData());
        qt_message_output(h.type, context, h.text);
    }
}

}  // namespace kelvo
