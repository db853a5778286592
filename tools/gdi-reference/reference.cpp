// Draws every case with the system's gdi32 and prints what it painted: the
// hashes the software GDI's test compares against, or with `pictures KIND`
// each case's picture ('.' untouched, 'o' pen, '#' brush) for study.
#include <windows.h>

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

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = gdicases::kSide;
    info.bmiHeader.biHeight = -gdicases::kSide;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dc || !bitmap) {
        std::fprintf(stderr, "reference: no 32-bit DIB section\n");
        return 1;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    auto* pixels = static_cast<std::uint32_t*>(bits);

    for (int k = 0; k < gdicases::kKinds; ++k) {
        if (only >= 0 && k != only)
            continue;
        for (int i = 0; i < gdicases::kCasesPerKind; ++i) {
            std::memset(pixels, 0, sizeof(std::uint32_t) * gdicases::kSide * gdicases::kSide);
            GdiFlush();
            gdicases::Draw(dc, gdicases::MakeCase(static_cast<gdicases::Kind>(k), i));
            GdiFlush();
            if (only >= 0) {
                std::printf("case %d\n", i);
                PrintPicture(pixels);
            } else {
                if (i % 8 == 0)
                    std::printf("%s", gdicases::kKindNames[k]);
                std::printf(" %08lx", static_cast<unsigned long>(gdicases::Hash(pixels, gdicases::kSide)));
                if (i % 8 == 7 || i + 1 == gdicases::kCasesPerKind)
                    std::putchar('\n');
            }
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return 0;
}
