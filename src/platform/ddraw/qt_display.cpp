// The desktop behind the primary surface. A blit into a window lands in a
// layer over that window, so it shows exactly where the window is and is
// clipped by it; the layer goes when the primary surface is released.
// Coordinates and pixels are the screen's device pixels, so that a surface is
// shown one to one at any device pixel ratio.
#include "ddraw/bitmap_file.h"
#include "ddraw/display.h"
#include "user/device_pixels.h"
#include "user/window_table.h"

#include <QGuiApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QWidget>

#include <cmath>
#include <utility>

namespace ddraw {
namespace {

int deviceLength(int logical, double ratio)
{
    return user::DevicePixels(logical, ratio);
}

// A picture made for a ratio of its own, as Qt names them: canvas@2x.bmp.
std::string pictureForRatio(const std::string& path, double ratio)
{
    if (ratio == 1.0) return path;
    const QFileInfo file(QString::fromStdString(path));
    const QString variant = file.dir().filePath(QStringLiteral("%1@%2x.%3")
                                                    .arg(file.completeBaseName())
                                                    .arg(ratio)
                                                    .arg(file.suffix()));
    return QFileInfo::exists(variant) ? variant.toStdString() : path;
}

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
        const double ratio = devicePixelRatioF();
        const QSize size = parentWidget()->size();
        const QSize device(deviceLength(size.width(), ratio), deviceLength(size.height(), ratio));
        if (image.size() == device && image.devicePixelRatio() == ratio) return;
        setGeometry(QRect(QPoint(0, 0), size));
        image = QImage(device, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        shown = QRegion();
        setAttribute(Qt::WA_OpaquePaintEvent, false);
    }

    // `area` in device pixels.
    void Changed(const QRect& area)
    {
        shown += area;
        // Once the whole window has been blitted over, nothing beneath shows.
        if ((QRegion(image.rect()) - shown).isEmpty()) setAttribute(Qt::WA_OpaquePaintEvent, true);
        update(Logical(area));
    }

    QImage image;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QRegion logical;
        for (const QRect& r : shown) logical += Logical(r);
        p.setClipRegion(logical);
        p.drawImage(QPointF(0, 0), image);
    }

private:
    QRect Logical(const QRect& device) const
    {
        const double ratio = image.devicePixelRatio();
        return QRectF(device.x() / ratio, device.y() / ratio, device.width() / ratio, device.height() / ratio)
            .toAlignedRect();
    }

    QRegion shown;  // device pixels
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
        width = deviceLength(screen->geometry().width(), screen->devicePixelRatio());
        height = deviceLength(screen->geometry().height(), screen->devicePixelRatio());
        return true;
    }

    bool WindowRect(HWND hWnd, RECT& screen) override
    {
        QWidget* widget = user::WindowFromHandle(hWnd);
        if (!widget) return false;
        const double ratio = widget->devicePixelRatioF();
        const QPoint at = widget->mapToGlobal(QPoint(0, 0));
        const LONG left = deviceLength(at.x(), ratio);
        const LONG top = deviceLength(at.y(), ratio);
        screen = RECT{left, top, left + deviceLength(widget->width(), ratio), top + deviceLength(widget->height(), ratio)};
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
                             changed.bottom - changed.top));  // device pixels
    }

    void ReleaseWindow(HWND hWnd) override { delete layers_.take(hWnd).data(); }

    HRESULT LoadBitmapFile(const std::string& path, HBITMAP& bitmap) override
    {
        return ReadBitmapFile(pictureForRatio(path, user::DevicePixelRatio()), bitmap);
    }

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
