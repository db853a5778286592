#include "app/Artwork.h"

#include "app/TitleLettering.h"
#include "user/device_pixels.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>

namespace kelvo {

QImage FormBackground(double ratio)
{
    const auto px = [ratio](int logical) { return user::DevicePixels(logical, ratio); };
    QImage image(px(188), px(94), QImage::Format_RGB32);
    const int w = image.width();
    const int h = image.height();
    QPainter p(&image);
    // Lighter towards the top left, settling on RGB(16, 123, 239).
    QLinearGradient panel(0, 0, w, h);
    panel.setColorAt(0.0, QColor(56, 150, 248));
    panel.setColorAt(0.45, QColor(16, 123, 239));
    panel.setColorAt(1.0, QColor(12, 112, 226));
    p.fillRect(image.rect(), panel);
    // The thin light edge, a whole number of device pixels wide.
    const int edge = std::max(1, px(1));
    p.fillRect(0, 0, w, edge, QColor(150, 200, 255));
    p.fillRect(0, 0, edge, h, QColor(150, 200, 255));
    p.fillRect(w - edge, edge, edge, h - edge, QColor(8, 80, 170));
    p.fillRect(edge, h - edge, w - edge, edge, QColor(8, 80, 170));
    // The title strip, like a caption bar above the canvas.
    p.fillRect(QRect(QPoint(px(6), px(6)), QPoint(px(181) - 1, px(15) - 1)), QColor(0, 0, 255));
    p.scale(ratio, ratio);
    DrawTitleLettering(p, QPointF(9, 12.5), Qt::white);
    return image;
}

QImage CanvasPicture(int width, int height)
{
    constexpr int kShades = 14;
    const QColor from(0, 107, 214);
    const QColor to(57, 173, 255);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Distance along the diagonal from the left edge to the bottom right.
            const double t =
                (static_cast<double>(x) / std::max(1, width - 1) + static_cast<double>(y) / std::max(1, height - 1)) / 2.0;
            const int shade = std::min(kShades - 1, static_cast<int>(t * kShades));
            const double f = static_cast<double>(shade) / (kShades - 1);
            image.setPixel(x, y, qRgb(static_cast<int>(std::lround(from.red() + f * (to.red() - from.red()))),
                                      static_cast<int>(std::lround(from.green() + f * (to.green() - from.green()))),
                                      static_cast<int>(std::lround(from.blue() + f * (to.blue() - from.blue())))));
        }
    }
    return image;
}

}  // namespace kelvo
