#include "app/PictureBox.h"

#include "gdi/gdi_access.h"
#include "user/window_table.h"

#include <QPainter>

PictureBox::PictureBox(int clientWidth, int clientHeight, bool border, QWidget* parent)
    : QWidget(parent),
      clientWidth_(clientWidth),
      clientHeight_(clientHeight),
      border_(border ? 2 : 0),
      surface_(clientWidth, clientHeight)
{
    setFixedSize(clientWidth + 2 * border_, clientHeight + 2 * border_);
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetForeColor(foreColor_);
    Cls();
}

HWND PictureBox::hWnd()
{
    return user::RegisterWindow(this);
}

void PictureBox::SetPicture(const QImage& picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    picture_ = std::make_unique<kelvo::MemoryDC>(rgb.width(), rgb.height());
    const gdi::PixelView view = gdi::BitmapPixels(picture_->bitmap());
    for (int y = 0; y < view.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(rgb.constScanLine(y));
        std::copy(row, row + view.width, view.bits + static_cast<std::ptrdiff_t>(y) * view.stride);
    }
    Cls();
}

void PictureBox::SetBackColor(COLORREF colour)
{
    backColor_ = colour;
    Cls();
}

void PictureBox::SetForeColor(COLORREF colour)
{
    foreColor_ = colour;
    kelvo::GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, colour));
    surface_.SelectPen(pen.get());
    pen_ = std::move(pen);  // the old pen is out of the DC by now
}

void PictureBox::Cls()
{
    const gdi::PixelView pic = picture_ ? gdi::BitmapPixels(picture_->bitmap()) : gdi::PixelView{};
    if (pic.width < clientWidth_ || pic.height < clientHeight_) {
        kelvo::GdiObject<HBRUSH> back(CreateSolidBrush(backColor_));
        RECT all{0, 0, clientWidth_, clientHeight_};
        FillRect(surface_.dc(), &all, back.get());
    }
    if (picture_) BitBlt(surface_.dc(), 0, 0, pic.width, pic.height, picture_->dc(), 0, 0, SRCCOPY);
    update();
}

void PictureBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (border_ > 0) {
        // A sunken edge: shadow above and left, light below and right.
        const int w = width();
        const int h = height();
        p.setPen(QColor(128, 128, 128));
        p.drawLine(0, 0, w - 2, 0);
        p.drawLine(0, 0, 0, h - 2);
        p.setPen(QColor(64, 64, 64));
        p.drawLine(1, 1, w - 3, 1);
        p.drawLine(1, 1, 1, h - 3);
        p.setPen(QColor(255, 255, 255));
        p.drawLine(0, h - 1, w - 1, h - 1);
        p.drawLine(w - 1, 0, w - 1, h - 1);
        p.setPen(QColor(212, 208, 200));
        p.drawLine(1, h - 2, w - 2, h - 2);
        p.drawLine(w - 2, 1, w - 2, h - 2);
    }
    const gdi::PixelView view = gdi::BitmapPixels(surface_.bitmap());
    if (!view.bits) return;
    // GDI leaves the top byte of its pixels 0, which a compositor that blends
    // windows (Wayland's) would take for full transparency.
    if (shown_.size() != QSize(view.width, view.height)) shown_ = QImage(view.width, view.height, QImage::Format_RGB32);
    for (int y = 0; y < view.height; ++y) {
        const std::uint32_t* from = view.bits + static_cast<std::ptrdiff_t>(y) * view.stride;
        auto* to = reinterpret_cast<std::uint32_t*>(shown_.scanLine(y));
        for (int x = 0; x < view.width; ++x) to[x] = from[x] | 0xFF000000u;
    }
    p.drawImage(border_, border_, shown_);
}
