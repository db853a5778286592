#include "ddraw/bitmap_file.h"

#include "gdi/gdi.h"
#include "gdi/gdi_access.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstdint>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ddraw {
namespace {

// The GDI's own limit on a bitmap, checked before anything is decoded.
constexpr qint64 kMostPixels = qint64{1} << 26;

// Past the 14-byte file header: the info header's width, height, bits a
// pixel and compression, where a picture's data size can be known.
std::uint32_t Little(const QByteArray& b, int at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b[at + i]);
    return v;
}

// A file too short for the pixels its header declares is damaged; the
// reader would fill the rest, spending seconds on a few bytes of input.
// Run-length pictures can legitimately be small, but not without bound.
bool DeclaresMoreThanItHolds(const QByteArray& head, qint64 fileSize, QSize size)
{
    if (head.size() < 34) return false;
    const std::uint32_t infoSize = Little(head, 14, 4);
    const bool core = infoSize == 12;
    const std::uint32_t bits = core ? Little(head, 24, 2) : Little(head, 28, 2);
    const std::uint32_t compression = core ? 0 : Little(head, 30, 4);
    const qint64 pixels = qint64{size.width()} * size.height();
    const qint64 available = fileSize - Little(head, 10, 4);
    if (compression == 1 || compression == 2) return pixels > 16384 * std::max<qint64>(fileSize, 1);
    if (compression != 0 && compression != 3) return false;
    const qint64 rowBytes = (qint64{size.width()} * bits + 31) / 32 * 4;
    return rowBytes * size.height() > available;
}

HRESULT Decode(QIODevice& device, HBITMAP& bitmap)
{
    const QByteArray head = device.peek(34);
    QImageReader reader(&device, "bmp");
    reader.setDecideFormatFromContent(false);
    // Only the built-in reader: looking further would load every image
    // plugin Qt has (SVG among them), 0.4 MB resident for nothing.
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) return DDERR_GENERIC;
    if (qint64{size.width()} * size.height() > kMostPixels) return DDERR_OUTOFMEMORY;
    if (DeclaresMoreThanItHolds(head, device.size(), size)) return DDERR_GENERIC;
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
    // A FIFO or a device would block the open or the reads: only a regular
    // file can hold a picture, and nothing else is waited for.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return DDERR_NOTFOUND;
    struct stat st {};
    QFile file;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return DDERR_NOTFOUND;
    }
    return Decode(file, bitmap);
}

}  // namespace ddraw
