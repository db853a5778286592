// Writes the applet icon in the layout of the desktop's icon theme: the SVG
// as FOLDER/hicolor/scalable/apps/kelvo.svg and, drawn from it,
// FOLDER/hicolor/NxN/apps/kelvo.png for each size given.
#include "app/Artwork.h"
#include "app/IconSvg.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include <cstring>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: kelvo-icons FOLDER SIZE...\n");
        return 2;
    }
    const QString scalable = QStringLiteral("%1/hicolor/scalable/apps").arg(QString::fromLocal8Bit(argv[1]));
    QFile svg(scalable + QStringLiteral("/kelvo.svg"));
    if (!QDir().mkpath(scalable) || !svg.open(QIODevice::WriteOnly) ||
        svg.write(kelvo::kIconSvg, static_cast<qint64>(std::strlen(kelvo::kIconSvg))) < 0) {
        std::fprintf(stderr, "kelvo-icons: cannot write %s\n", qPrintable(svg.fileName()));
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "kelvo-icons: %s is not a size from 16 to 1024\n", argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(folder) || !kelvo::IconImage(size).save(folder + QStringLiteral("/kelvo.png"), "PNG")) {
            std::fprintf(stderr, "kelvo-icons: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
