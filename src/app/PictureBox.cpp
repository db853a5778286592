#include "app/PictureBox.h"

#include "gdi/gdi_access.h"
#include "user/device_pixels.h"
#include "user/window_table.h"

#include <QPainter>

PictureBox::PictureBox(int clientWidth, int clientHeight, bool border, QWidget* parent)
    : PictureBox(clientWidth, clientHeight, border, parent, user::DevicePixelRatio())
{
}

PictureBox::PictureBox(int clientWidth, int clientHeight, bool border, QWidget* parent, double ratio)
    : QWidget(parent),
      ratio_(ratio),
      clientWidth_(user::DevicePixels(clientWidth, ratio)),
      clientHeight_(user::DevicePixels(clientHeight, ratio)),
      border_(border ? user::DevicePixels(2, ratio) : 0),
      surface_(clientWidth_, clientHeight_)
{
    setFixedSize(clientWidth + (border ? 4 : 0), clientHeight + (border ? 4 : 0));
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
    const gdi::PixelView view = gdi::BitmapPixels(surface_.bitmap());
    if (!view.bits) return;
    const QSize size(view.width + 2 * border_, view.height + 2 * border_);
    if (shown_.size() != size) {
        shown_ = QImage(size, QImage::Format_RGB32);
        shown_.setDevicePixelRatio(ratio_);
        PaintBorder();
    }
    // GDI leaves the top byte of its pixels 0, which a compositor that blends
    // windows (Wayland's) would take for full transparency.
    for (int y = 0; y < view.height; ++y) {
        const std::uint32_t* from = view.bits + static_cast<std::ptrdiff_t>(y) * view.stride;
        auto* to = reinterpret_cast<std::uint32_t*>(shown_.scanLine(y + border_)) + border_;
        for (int x = 0; x < view.width; ++x) to[x] = from[x] | 0xFF000000u;
    }
    // Drawn at the screen's ratio, the picture's device pixels are the screen's.
    QPainter(this).drawImage(QPointF(0, 0), shown_);
}

// A sunken edge of two rings, each a whole number of device pixels wide:
// shadow above and left, light below and right.
void PictureBox::PaintBorder()
{
    const int w = shown_.width();
    const int h = shown_.height();
    const int outer = border_ / 2;
    const auto ring = [&](int from, int to, QRgb topLeft, QRgb bottomRight) {
        for (int i = from; i < to; ++i) {
            for (int x = i; x < w - i; ++x) {
                shown_.setPixel(x, i, x < w - i - 1 ? topLeft : bottomRight);
                shown_.setPixel(x, h - 1 - i, bottomRight);
            }
            for (int y = i; y < h - i; ++y) {
                shown_.setPixel(i, y, y < h - i - 1 ? topLeft : bottomRight);
                shown_.setPixel(w - 1 - i, y, bottomRight);
            }
        }
    };
    ring(0, outer, qRgb(128, 128, 128), qRgb(255, 255, 255));
    ring(outer, border_, qRgb(64, 64, 64), qRgb(212, 208, 200));
}
