// A picture box: a fixed-size drawing surface with a sunken border, a
// background colour and picture, a foreground pen and a device context that
// GDI calls draw into. Its pixels are the screen's device pixels, so a
// one-pixel pen is one device pixel at any ratio; painting only copies the
// surface to the screen, one to one.
#pragma once

#include "app/GdiHandles.h"
#include "win32/win32.h"

#include <QImage>
#include <QWidget>

#include <memory>

class PictureBox : public QWidget {
    Q_OBJECT

public:
    // `clientWidth` x `clientHeight` logical pixels is the drawing area inside
    // the border; at `ratio` it has that many times as many device pixels.
    PictureBox(int clientWidth, int clientHeight, bool border, QWidget* parent, double ratio);
    PictureBox(int clientWidth, int clientHeight, bool border, QWidget* parent);

    HDC hDC() const { return surface_.dc(); }
    HWND hWnd();
    // The drawing area in device pixels.
    double ScaleWidth() const { return clientWidth_; }
    double ScaleHeight() const { return clientHeight_; }
    double Ratio() const { return ratio_; }

    // A picture in device pixels, shown from the top left as it is.
    void SetPicture(const QImage& picture);
    void SetBackColor(COLORREF colour);
    void SetForeColor(COLORREF colour);
    COLORREF ForeColor() const { return foreColor_; }
    // Clears what was drawn: the background and picture show again.
    void Cls();
    // Drawing through hDC is shown at the next paint.
    void Refresh() { update(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintBorder();

    const double ratio_;
    const int clientWidth_;
    const int clientHeight_;
    const int border_;
    kelvo::GdiObject<HPEN> pen_;  // before the surface: it outlives its selection there
    kelvo::MemoryDC surface_;
    std::unique_ptr<kelvo::MemoryDC> picture_;
    QImage shown_;  // the surface as painted, opaque
    COLORREF backColor_ = RGB(0, 0, 0);
    COLORREF foreColor_ = RGB(0, 0, 0);
};
