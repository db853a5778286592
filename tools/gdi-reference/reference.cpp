// Draws every case with the system's gdi32 and prints what it painted: the
// hashes the software GDI's test compares against, or with `pictures KIND`
// each case's picture ('.' untouched, 'o' pen, '#' brush) for study.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "gdi_cases.h"

namespace {

void PrintPicture(const std::uint32_t* pixels)
{
    for (int y = 0; y < gdicases::kSide; ++y) {
        for (int x = 0; x < gdicases::kSide; ++x) {
            const std::uint32_t p = pixels[y * gdicases::kSide + x] & 0x00FFFFFF;
            std::putchar(p == 0 ? '.' : p == 0xFF0000 ? 'o' : p == 0x0000FF ? '#' : '?');
        }
        std::putchar('\n');
    }
}

constexpr int kMargin = 48;
constexpr int kBig = gdicases::kSide + 2 * kMargin;

gdicases::Case Shifted(gdicases::Case c)
{
    for (POINT* p : {&c.points[0], &c.points[1], &c.points[2], &c.points[3], &c.r1, &c.r2})
        p->x += kMargin, p->y += kMargin;
    OffsetRect(&c.box, kMargin, kMargin);
    return c;
}

// Wine's gdi32 sometimes fills rows of a thin ellipse or pie from memory it
// never set. Such a case is told by drawing it again unclipped in a larger
// bitmap: the picture must be the same where both show, and every brush pixel
// must lie between pen pixels of its row.
bool Trustworthy(HDC big, std::uint32_t* pixels, const std::uint32_t* small, const gdicases::Case& c)
{
    std::memset(pixels, 0, sizeof(std::uint32_t) * kBig * kBig);
    GdiFlush();
    gdicases::Draw(big, Shifted(c));
    GdiFlush();
    for (int y = 0; y < gdicases::kSide; ++y)
        for (int x = 0; x < gdicases::kSide; ++x)
            if ((small[y * gdicases::kSide + x] ^ pixels[(y + kMargin) * kBig + x + kMargin]) & 0x00FFFFFF)
                return false;
    if (c.kind != gdicases::kEllipse && c.kind != gdicases::kPie)
        return true;
    for (int y = 0; y < kBig; ++y) {
        const std::uint32_t* row = pixels + y * kBig;
        int firstPen = kBig, lastPen = -1;
        for (int x = 0; x < kBig; ++x)
            if ((row[x] & 0x00FFFFFF) == 0xFF0000)
                firstPen = std::min(firstPen, x), lastPen = x;
        for (int x = 0; x < kBig; ++x)
            if ((row[x] & 0x00FFFFFF) == 0x0000FF && (x < firstPen || x > lastPen))
                return false;
    }
    return true;
}

HBITMAP MakeDib(HDC dc, int side, void** bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    int only = -1;
    if (argc == 3 && std::strcmp(argv[1], "pictures") == 0)
        for (int k = 0; k < gdicases::kKinds; ++k)
            if (std::strcmp(argv[2], gdicases::kKindNames[k]) == 0)
                only = k;
    if (argc != 1 && only < 0) {
        std::fprintf(stderr, "usage: reference [pictures thin|wide2|wide3|ellipse|pie|fillrect]\n");
        return 2;
    }

    HDC dc = CreateCompatibleDC(nullptr);
    HDC bigDc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    void* bigBits = nullptr;
    HBITMAP bitmap = MakeDib(dc, gdicases::kSide, &bits);
    HBITMAP bigBitmap = MakeDib(bigDc, kBig, &bigBits);
    if (!dc || !bigDc || !bitmap || !bigBitmap) {
        std::fprintf(stderr, "reference: no 32-bit DIB section\n");
        return 1;
    }
    HGDIOBJ oldBig = SelectObject(bigDc, bigBitmap);
    HGDIOBJ old = SelectObject(dc, bitmap);
    auto* pixels = static_cast<std::uint32_t*>(bits);

    for (int k = 0; k < gdicases::kKinds; ++k) {
        if (only >= 0 && k != only)
            continue;
        for (int i = 0; i < gdicases::kCasesPerKind; ++i) {
            std::memset(pixels, 0, sizeof(std::uint32_t) * gdicases::kSide * gdicases::kSide);
            GdiFlush();
            const gdicases::Case c = gdicases::MakeCase(static_cast<gdicases::Kind>(k), i);
            gdicases::Draw(dc, c);
            GdiFlush();
            const bool trusted = Trustworthy(bigDc, static_cast<std::uint32_t*>(bigBits), pixels, c);
            if (only >= 0) {
                std::printf("case %d%s\n", i, trusted ? "" : " untrusted");
                PrintPicture(pixels);
            } else {
                if (i % 8 == 0)
                    std::printf("%s", gdicases::kKindNames[k]);
                if (trusted)
                    std::printf(" %08lx", static_cast<unsigned long>(gdicases::Hash(pixels, gdicases::kSide)));
                else
                    std::printf(" -");
                if (i % 8 == 7 || i + 1 == gdicases::kCasesPerKind)
                    std::putchar('\n');
            }
        }
    }
    SelectObject(dc, old);
    SelectObject(bigDc, oldBig);
    DeleteObject(bitmap);
    DeleteObject(bigBitmap);
    DeleteDC(dc);
    DeleteDC(bigDc);
    return 0;
}
