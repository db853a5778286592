// The application icon as the build drew it from data/kelvo.svg (embedded by
// tools/kelvo-icons): the applet renders no SVG and decodes no image file,
// so Qt's SVG module and image plugins stay unloaded (a megabyte resident,
// and start-up time).
#include "app/Artwork.h"
#include "app/AppletIconPixels.h"

#include <QPixmap>

#include <algorithm>

namespace kelvo {

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
    if (best->size != size) image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

QIcon AppletIcon()
{
    // Each common size drawn from the SVG, so that none is a scaled copy of
    // another.
    QIcon icon;
    for (const EmbeddedIcon& embedded : kIcons) icon.addPixmap(QPixmap::fromImage(IconImage(embedded.size)));
    return icon;
}

}  // namespace kelvo
