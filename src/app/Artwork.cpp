#include "app/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>

namespace kelvo {

QImage FormBackground()
{
    QImage image(188, 94, QImage::Format_RGB32);
    QPainter p(&image);
    // Lighter towards the top left, settling on RGB(16, 123, 239).
    QLinearGradient panel(0, 0, 188, 94);
    panel.setColorAt(0.0, QColor(56, 150, 248));
    panel.setColorAt(0.45, QColor(16, 123, 239));
    panel.setColorAt(1.0, QColor(12, 112, 226));
    p.fillRect(image.rect(), panel);
    // The thin light edge.
    p.setPen(QColor(150, 200, 255));
    p.drawLine(0, 0, 187, 0);
    p.drawLine(0, 0, 0, 93);
    p.setPen(QColor(8, 80, 170));
    p.drawLine(187, 1, 187, 93);
    p.drawLine(1, 93, 187, 93);
    // The title strip, like a caption bar above the canvas.
    p.fillRect(QRect(QPoint(6, 6), QPoint(180, 14)), QColor(0, 0, 255));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(8);
    font.setItalic(true);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(QPoint(9, 5), QPoint(120, 15)), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kelvo"));
    return image;
}

QImage CanvasPicture()
{
    constexpr int kWidth = 172;
    constexpr int kHeight = 61;
    constexpr int kShades = 14;
    const QColor from(0, 107, 214);
    const QColor to(57, 173, 255);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            // Distance along the diagonal from the left edge to the bottom right.
            const double t = (static_cast<double>(x) / (kWidth - 1) + static_cast<double>(y) / (kHeight - 1)) / 2.0;
            const int shade = std::min(kShades - 1, static_cast<int>(t * kShades));
            const double f = static_cast<double>(shade) / (kShades - 1);
            image.setPixel(x, y, qRgb(static_cast<int>(std::lround(from.red() + f * (to.red() - from.red()))),
                                      static_cast<int>(std::lround(from.green() + f * (to.green() - from.green()))),
                                      static_cast<int>(std::lround(from.blue() + f * (to.blue() - from.blue())))));
        }
    }
    return image;
}

QImage IconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const QColor cyan(0, 255, 255);
    const QColor darkCyan(0, 128, 128);
    const int step = std::max(1, size / 8);
    for (int i = 0, x = step / 2; x < size; ++i, x += step) {
        // A burst of sound: strokes that swell and fade across the icon.
        const double envelope = std::sin(M_PI * (x + 0.5) / size);
        const double swing = 0.35 + 0.65 * std::abs(std::sin(1.9 * i + 0.4));
        const int half = std::max(1, static_cast<int>(std::lround(envelope * swing * (size / 2 - 1))));
        const QColor& colour = (i % 2 == 0) ? cyan : darkCyan;
        for (int dx = 0; dx < std::max(1, step / 2); ++dx) {
            for (int y = size / 2 - half; y < size / 2 + half; ++y) {
                if (x + dx < size) image.setPixelColor(x + dx, y, colour);
            }
        }
    }
    return image;
}

QIcon AppletIcon()
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(IconImage(16)));
    icon.addPixmap(QPixmap::fromImage(IconImage(32)));
    return icon;
}

}  // namespace kelvo
