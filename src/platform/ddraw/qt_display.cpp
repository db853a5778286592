// The desktop behind the primary surface. A blit into a window lands in a
// layer over that window, so it shows exactly where the window is and is
// clipped by it; the layer goes when the primary surface is released.
#include "ddraw/bitmap_file.h"
#include "ddraw/display.h"
#include "user/window_table.h"

#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QWidget>

#include <utility>

namespace ddraw {
namespace {

class ScreenLayer : public QWidget {
public:
    explicit ScreenLayer(QWidget* window) : QWidget(window)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        Fit();
        show();
        raise();
    }

    // Follows the window's size; what was shown is dropped when it changes.
    void Fit()
    {
        const QSize size = parentWidget()->size();
        if (image.size() == size) return;
        setGeometry(QRect(QPoint(0, 0), size));
        image = QImage(size, QImage::Format_RGB32);
        shown = QRegion();
        setAttribute(Qt::WA_OpaquePaintEvent, false);
    }

    void Changed(const QRect& area)
    {
        shown += area;
        // Once the whole window has been blitted over, nothing beneath shows.
        if ((QRegion(rect()) - shown).isEmpty()) setAttribute(Qt::WA_OpaquePaintEvent, true);
        update(area);
    }

    QImage image;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        for (const QRect& r : shown) p.drawImage(r.topLeft(), image, r);
    }

private:
    QRegion shown;
};

class QtDisplay : public Display {
public:
    bool Available() override { return QGuiApplication::primaryScreen() != nullptr; }

    std::uint64_t ModeGeneration() override
    {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (screen != watched_) {
            // A new screen is a new mode; so is a change of its size or depth.
            if (watched_) ++generation_;
            watched_ = screen;
            if (screen) {
                QObject::connect(screen, &QScreen::geometryChanged, screen, [this] { ++generation_; });
            }
        }
        return generation_;
    }

    bool ScreenSize(int& width, int& height) override
    {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) return false;
        width = screen->geometry().width();
        height = screen->geometry().height();
        return true;
    }

    bool WindowRect(HWND hWnd, RECT& screen) override
    {
        QWidget* widget = user::WindowFromHandle(hWnd);
        if (!widget) return false;
        const QPoint at = widget->mapToGlobal(QPoint(0, 0));
        screen = RECT{at.x(), at.y(), at.x() + widget->width(), at.y() + widget->height()};
        return true;
    }

    bool BeginWindowUpdate(HWND hWnd, WindowPixels& window) override
    {
        QWidget* widget = user::WindowFromHandle(hWnd);
        if (!widget || !WindowRect(hWnd, window.screen)) return false;
        window.pixels = {};
        if (!widget->isVisible()) return true;
        QPointer<ScreenLayer>& layer = layers_[hWnd];
        if (!layer) layer = new ScreenLayer(widget);
        layer->Fit();
        QImage& image = layer->image;
        window.pixels = gdi::PixelView{reinterpret_cast<std::uint32_t*>(image.bits()), image.width(), image.height(),
                                       static_cast<int>(image.bytesPerLine() / 4)};
        return true;
    }

    void EndWindowUpdate(HWND hWnd, const RECT& changed) override
    {
        ScreenLayer* layer = layers_.value(hWnd);
        RECT screen{};
        if (!layer || changed.left >= changed.right || changed.top >= changed.bottom || !WindowRect(hWnd, screen))
            return;
        layer->Changed(QRect(changed.left - screen.left, changed.top - screen.top, changed.right - changed.left,
                             changed.bottom - changed.top));
    }

    void ReleaseWindow(HWND hWnd) override { delete layers_.take(hWnd).data(); }

    HRESULT LoadBitmapFile(const std::string& path, HBITMAP& bitmap) override { return ReadBitmapFile(path, bitmap); }

private:
    QHash<HWND, QPointer<ScreenLayer>> layers_;
    QScreen* watched_ = nullptr;
    std::uint64_t generation_ = 0;
};

Display* installed = nullptr;

}  // namespace

Display* SetDisplay(Display* display)
{
    return std::exchange(installed, display);
}

Display& CurrentDisplay()
{
    static QtDisplay desktop;
    return installed ? *installed : desktop;
}

}  // namespace ddraw
