// A picture box: a fixed-size drawing surface with a sunken border, a
// background colour and picture, a foreground pen and a device context that
// GDI calls draw into. Painting only copies the surface to the screen.
#pragma once

#include "app/GdiHandles.h"
#include "win32/win32.h"

#include <QImage>
#include <QWidget>

#include <memory>

class PictureBox : public QWidget {
    Q_OBJECT

public:
    // `clientWidth` x `clientHeight` is the drawing area inside the border.
    PictureBox(int clientWidth, int clientHeight, bool border, QWidget* parent);

    HDC hDC() const { return surface_.dc(); }
    HWND hWnd();
    double ScaleWidth() const { return clientWidth_; }
    double ScaleHeight() const { return clientHeight_; }

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
