#include "gdi/gdi.h"

#include "gdi/gdi_access.h"
#include "gdi/objects.h"

using gdi::detail::Bitmap;
using gdi::detail::Icon;
using gdi::detail::Table;

namespace {

using Lock = std::lock_guard<std::mutex>;

Table& table() { return Table::instance(); }

std::uint32_t RgbAt(const Bitmap& bm, int x, int y)
{
    const std::uint32_t p = bm.pixels[static_cast<std::size_t>(y) * bm.width + x];
    if (bm.bitsPerPixel == 1)
        return p ? 0x00FFFFFF : 0;
    return p;
}

std::uint8_t MaskAt(const Bitmap& bm, int x, int y)
{
    const std::uint32_t p = bm.pixels[static_cast<std::size_t>(y) * bm.width + x];
    if (bm.bitsPerPixel == 1)
        return static_cast<std::uint8_t>(p);
    return static_cast<std::uint8_t>(gdi::raster::MonoFromColour(gdi::raster::ColourFromRgb(p)));
}

}  // namespace

HICON CreateIconIndirect(PICONINFO piconinfo)
{
    if (!piconinfo)
        return nullptr;
    Lock lock(table().mutex());
    const Bitmap* mask = table().find<Bitmap>(piconinfo->hbmMask);
    if (!mask)
        return nullptr;

    // The icon takes copies, so later drawing on the bitmaps leaves it alone.
    Icon icon;
    if (!piconinfo->hbmColor) {
        // Monochrome: the AND mask on top of the XOR bits, in one bitmap twice as tall.
        if (mask->height < 2 || mask->height % 2 != 0)
            return nullptr;
        icon.width = mask->width;
        icon.height = mask->height / 2;
        for (int y = 0; y < icon.height; ++y)
            for (int x = 0; x < icon.width; ++x) {
                icon.mask.push_back(MaskAt(*mask, x, y));
                icon.colour.push_back(MaskAt(*mask, x, y + icon.height) ? 0x00FFFFFF : 0);
            }
    } else {
        const Bitmap* colour = table().find<Bitmap>(piconinfo->hbmColor);
        if (!colour || colour->width != mask->width || colour->height != mask->height)
            return nullptr;
        icon.width = colour->width;
        icon.height = colour->height;
        for (int y = 0; y < icon.height; ++y)
            for (int x = 0; x < icon.width; ++x) {
                icon.mask.push_back(MaskAt(*mask, x, y));
                icon.colour.push_back(RgbAt(*colour, x, y));
            }
    }
    return static_cast<HICON>(table().add(std::move(icon)));
}

BOOL DestroyIcon(HICON hIcon)
{
    Lock lock(table().mutex());
    if (!table().find<Icon>(hIcon))
        return FALSE;
    return table().remove(hIcon) ? TRUE : FALSE;
}

namespace gdi {

bool IconPicture(HICON icon, IconImage& out)
{
    Lock lock(table().mutex());
    const Icon* source = table().find<Icon>(icon);
    if (!source)
        return false;
    out.width = source->width;
    out.height = source->height;
    out.argb.resize(source->colour.size());
    for (std::size_t i = 0; i < source->colour.size(); ++i) {
        const std::uint32_t rgb = source->colour[i];
        // A set mask bit over a non-black colour would invert the background,
        // which a notification area cannot do: show the colour opaque instead.
        out.argb[i] = source->mask[i] && rgb == 0 ? 0u : 0xFF000000u | rgb;
    }
    return true;
}

}  // namespace gdi
