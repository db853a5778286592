#include "gdi/gdi.h"
#include "gdi/gdi_access.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

// The window trace: clear a 171 x 61 canvas, then one 171-point polyline.
void BM_CanvasTrace(benchmark::State& state)
{
    constexpr int kWidth = 171;
    constexpr int kHeight = 61;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(128, 255, 255));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HBRUSH background = CreateSolidBrush(RGB(0, 107, 214));
    std::vector<POINT> points(kWidth);
    for (int x = 1; x <= kWidth; ++x)
        points[x - 1] = POINT{x, static_cast<LONG>(std::lround(kHeight / 2.0 + 25 * std::sin(x * 0.3)))};
    const RECT all{0, 0, kWidth, kHeight};

    for (auto _ : state) {
        FillRect(dc, &all, background);
        Polyline(dc, points.data(), kWidth);
        benchmark::DoNotOptimize(GetPixel(dc, 10, 10));
    }

    SelectObject(dc, oldPen);
    SelectObject(dc, oldBitmap);
    DeleteObject(pen);
    DeleteObject(background);
    DeleteObject(bitmap);
    DeleteDC(dc);
}
BENCHMARK(BM_CanvasTrace);

// One tray frame: a 16 x 16 mask and canvas, a frame and 16 strokes, the icon
// and its picture, then everything released.
void BM_IconCanvasCycle(benchmark::State& state)
{
    constexpr int kSize = 16;
    for (auto _ : state) {
        HDC ic = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
        HDC maskDc = CreateCompatibleDC(ic);
        HDC canvasDc = CreateCompatibleDC(ic);
        DeleteDC(ic);
        HBITMAP mask = CreateBitmap(kSize, kSize, 1, 1, nullptr);
        HBITMAP canvas = CreateBitmap(kSize, kSize, 1, GetDeviceCaps(canvasDc, BITSPIXEL), nullptr);
        HGDIOBJ oldMask = SelectObject(maskDc, mask);
        HGDIOBJ oldCanvas = SelectObject(canvasDc, canvas);
        const RECT all{0, 0, kSize, kSize};
        FillRect(maskDc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        FillRect(canvasDc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));

        const auto line = [&](POINT a, POINT b, COLORREF colour) {
            const POINT pts[] = {a, b};
            HGDIOBJ oldMaskPen = SelectObject(maskDc, GetStockObject(BLACK_PEN));
            Polyline(maskDc, pts, 2);
            SelectObject(maskDc, oldMaskPen);
            HPEN pen = CreatePen(PS_SOLID, 1, colour);
            HGDIOBJ oldPen = SelectObject(canvasDc, pen);
            Polyline(canvasDc, pts, 2);
            DeleteObject(SelectObject(canvasDc, oldPen));
        };
        line({0, 15}, {0, 0}, RGB(128, 128, 128));
        line({0, 0}, {15, 0}, RGB(128, 128, 128));
        line({15, 0}, {15, 15}, RGB(255, 255, 255));
        line({15, 15}, {0, 15}, RGB(255, 255, 255));
        for (int x = 1; x < kSize - 1; ++x)
            line({x, 8 - (x % 5)}, {x + 1, 8 + (x % 3)}, RGB(0, 0, 255));

        ICONINFO info{TRUE, 0, 0, mask, canvas};
        HICON icon = CreateIconIndirect(&info);
        gdi::IconImage image;
        gdi::IconPicture(icon, image);
        benchmark::DoNotOptimize(image.argb.data());
        DestroyIcon(icon);

        SelectObject(maskDc, oldMask);
        SelectObject(canvasDc, oldCanvas);
        DeleteObject(mask);
        DeleteObject(canvas);
        DeleteDC(maskDc);
        DeleteDC(canvasDc);
    }
}
BENCHMARK(BM_IconCanvasCycle);

}  // namespace
