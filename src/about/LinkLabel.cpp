#include "about/LinkLabel.h"

#include "about/LinkPointer.h"

#include <QMouseEvent>
#include <QPalette>

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(palette);
    QFont font = parent->font();
    font.setUnderline(true);
    setFont(font);
    setCursor(kelvo::LinkPointer());
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click) emit clicked();
}
