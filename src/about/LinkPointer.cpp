#include "about/LinkPointer.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kelvo {

QImage LinkPointerImage()
{
    QPainterPath hand;
    hand.addRoundedRect(QRectF(3, 1, 5, 16), 2.5, 2.5);     // the index finger, tip at the hot spot
    hand.addRoundedRect(QRectF(8, 8, 4, 9), 2, 2);          // the other three fingers
    hand.addRoundedRect(QRectF(12, 9, 4, 8), 2, 2);
    hand.addRoundedRect(QRectF(16, 10, 4, 8), 2, 2);
    hand.addRoundedRect(QRectF(0, 12, 5, 8), 2, 2);         // the thumb
    hand.addRoundedRect(QRectF(2, 15, 18, 11), 3, 3);       // the palm
    hand.addRect(QRectF(5, 25, 12, 5));                     // the wrist
    hand = hand.simplified();

    QImage image(kLinkPointerSize, kLinkPointerSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.translate(0.5, 0.5);  // whole-pixel outlines
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    // Creases between the fingers.
    p.drawLine(QPointF(12, 12), QPointF(12, 16));
    p.drawLine(QPointF(16, 13), QPointF(16, 16));
    return image;
}

QCursor LinkPointer()
{
    return QCursor(QPixmap::fromImage(LinkPointerImage()), kLinkPointerHotX, kLinkPointerHotY);
}

}  // namespace kelvo
