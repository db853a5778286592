// Writes the canvas background, the same picture the window's canvas shows,
// as a 24-bit BMP: the file the DirectDraw display loads beside the binary.
#include "app/Artwork.h"

#include <QImage>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvo-canvas-bmp FILE\n");
        return 2;
    }
    const QImage picture = kelvo::CanvasPicture().convertToFormat(QImage::Format_RGB888);
    if (!picture.save(QString::fromLocal8Bit(argv[1]), "BMP")) {
        std::fprintf(stderr, "kelvo-canvas-bmp: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
