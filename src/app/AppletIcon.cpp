// The application icon as the build drew it from data/kelvo.svg (embedded by
// tools/kelvo-icons): the applet renders no SVG and decodes no image file,
// so Qt's SVG module and image plugins stay unloaded (a megabyte resident,
// and start-up time).
#include "app/Artwork.h"
#include "app/AppletIconPixels.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace kelvo {
namespace {

// Draws a picture each time one is asked for and keeps none: the window's
// icon is read when the window is made (into its X property) and by the about
// box, so seven pixmaps (100 kB) held for the whole run would be idle.
class EmbeddedIconEngine final : public QIconEngine {
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        const int side = std::min(size.width(), size.height());
        if (side <= 0) return {};
        QPixmap drawn = QPixmap::fromImage(IconImage(side));
        // Disabled and selected looks come from the style, as for any icon.
        return mode == QIcon::Normal ? drawn : QIcon(drawn).pixmap(drawn.size(), mode, state);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::max(std::min(size.width(), size.height()), 0);
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const EmbeddedIcon& icon : kIcons) sizes.append(QSize(icon.size, icon.size));
        return sizes;
    }

    QIconEngine* clone() const override { return new EmbeddedIconEngine; }
    QString key() const override { return QStringLiteral("KelvoEmbeddedIcon"); }
};

}  // namespace

QImage IconImage(int size)
{
    // The same size, or the next larger (the largest at most) scaled down.
    const EmbeddedIcon* best = nullptr;
    for (const EmbeddedIcon& icon : kIcons) {
        best = &icon;
        if (icon.size >= size) break;
    }
    QImage image(best->size, best->size, QImage::Format_ARGB32);
    auto* pixel = reinterpret_cast<std::uint32_t*>(image.bits());
    auto* const end = pixel + static_cast<std::size_t>(best->size) * best->size;
    for (std::size_t i = 0; i + 1 < best->count && pixel < end; i += 2) {
        pixel = std::fill_n(pixel, std::min<std::size_t>(best->runs[i], end - pixel), best->runs[i + 1]);
    }
    std::fill(pixel, end, 0u);
    // Sampled, not blended: the strokes stay sharp at sizes the build did not draw.
    if (best->size != size) image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return image;
}

QIcon AppletIcon()
{
    // Each common size drawn from the SVG, so that none is a scaled copy of
    // another.
    return QIcon(new EmbeddedIconEngine);
}

}  // namespace kelvo
