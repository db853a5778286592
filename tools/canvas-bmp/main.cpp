// Writes the canvas background, the same picture the window's canvas shows,
// as a 24-bit BMP: the file the DirectDraw display loads beside the binary.
// For each ratio given it also writes the picture drawn at that many device
// pixels to the pixel, as NAME@RATIOx.bmp, which screens of that ratio load.
#include "app/Artwork.h"
#include "user/device_pixels.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: kelvo-canvas-bmp FILE [RATIO...]\n");
        return 2;
    }
    const QFileInfo file(QString::fromLocal8Bit(argv[1]));
    for (int i = 1; i < argc; ++i) {
        const double ratio = i == 1 ? 1.0 : std::atof(argv[i]);
        if (ratio < 1.0 || ratio > 4.0) {
            std::fprintf(stderr, "kelvo-canvas-bmp: %s is not a ratio from 1 to 4\n", argv[i]);
            return 2;
        }
        const QString name = i == 1 ? file.filePath()
                                    : file.dir().filePath(QStringLiteral("%1@%2x.%3")
                                                              .arg(file.completeBaseName(), QString::fromLocal8Bit(argv[i]),
                                                                   file.suffix()));
        const QImage picture = kelvo::CanvasPicture(user::DevicePixels(172, ratio), user::DevicePixels(61, ratio))
                                   .convertToFormat(QImage::Format_RGB888);
        if (!picture.save(name, "BMP")) {
            std::fprintf(stderr, "kelvo-canvas-bmp: cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
