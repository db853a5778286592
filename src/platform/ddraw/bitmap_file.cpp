#include "ddraw/bitmap_file.h"

#include "gdi/gdi.h"
#include "gdi/gdi_access.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <limits>

namespace ddraw {
namespace {

// The GDI's own limit on a bitmap, checked before anything is decoded.
constexpr qint64 kMostPixels = qint64{1} << 26;

HRESULT Decode(QIODevice& device, HBITMAP& bitmap)
{
    QImageReader reader(&device, "bmp");
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) return DDERR_GENERIC;
    if (qint64{size.width()} * size.height() > kMostPixels) return DDERR_OUTOFMEMORY;
    QImage image;
    if (!reader.read(&image) || image.size() != size) return DDERR_GENERIC;
    image = image.convertToFormat(QImage::Format_RGB32);
    HBITMAP made = CreateBitmap(image.width(), image.height(), 1, 32, nullptr);
    const gdi::PixelView view = gdi::BitmapPixels(made);
    if (!view.bits) {
        if (made) DeleteObject(made);
        return DDERR_OUTOFMEMORY;
    }
    for (int y = 0; y < view.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        std::transform(row, row + view.width, view.bits + static_cast<std::ptrdiff_t>(y) * view.stride,
                       [](std::uint32_t p) { return p & 0x00FFFFFFu; });
    }
    bitmap = made;
    return DD_OK;
}

}  // namespace

HRESULT DecodeBitmap(const std::uint8_t* data, std::size_t size, HBITMAP& bitmap)
{
    if (!data || size > static_cast<std::size_t>(std::numeric_limits<int>::max())) return DDERR_GENERIC;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return DDERR_GENERIC;
    return Decode(buffer, bitmap);
}

HRESULT ReadBitmapFile(const std::string& path, HBITMAP& bitmap)
{
    QFile file(QString::fromLocal8Bit(path.c_str()));
    if (!file.open(QIODevice::ReadOnly)) return DDERR_NOTFOUND;
    return Decode(file, bitmap);
}

}  // namespace ddraw
