// Writes the applet icon as FOLDER/hicolor/NxN/apps/kelvo.png for each size
// given, the layout of the desktop's icon theme.
#include "app/Artwork.h"

#include <QDir>
#include <QImage>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: kelvo-icons FOLDER SIZE...\n");
        return 2;
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
