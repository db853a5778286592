// The DirectDraw objects to the pixel: off-screen surfaces on the software
// GDI, the primary surface on real (offscreen) Qt windows, bitmap files.
// The window's DirectDraw test (tests/app/DirectDrawFormTest.cpp) pins what
// Kelvo draws through them: a whole frame, a good file's picture, and a
// released primary surface uncovering the window.
#include "ddraw/ddraw.h"
#include "gdi/gdi.h"
#include "gdi/gdi_access.h"
#include "user/window_table.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include <fstream>
#include <vector>

namespace {

using Surface = std::shared_ptr<DirectDrawSurface7>;
using Pixels = std::vector<COLORREF>;

// Source pixel (x, y): distinct everywhere.
COLORREF Colour(int x, int y) { return RGB(10 + x, 20 + y, 30); }
QRgb Rgb(COLORREF c) { return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)); }

// A surface description with these capabilities, and a size where one is given.
DDSURFACEDESC2 Desc(DWORD caps, int w = 0, int h = 0)
{
    DDSURFACEDESC2 desc{};
    desc.dwFlags = DDSD_CAPS | (w ? DDSD_WIDTH | DDSD_HEIGHT : 0);
    desc.dwWidth = static_cast<DWORD>(w);
    desc.dwHeight = static_cast<DWORD>(h);
    desc.ddsCaps.dwCaps = caps;
    return desc;
}

class DirectDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DirectX7::Create(dx), DD_OK);
        ASSERT_EQ(dx->DirectDrawCreate("", dd), DD_OK);
        ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }

    Surface Make(DWORD caps, int w = 0, int h = 0, HWND clipperWindow = nullptr, bool clipper = false)
    {
        Surface s;
        EXPECT_EQ(dd->CreateSurface(Desc(caps, w, h), s), DD_OK);
        std::shared_ptr<DirectDrawClipper> c;
        if (clipper || clipperWindow) dd->CreateClipper(0, c);
        if (clipperWindow) c->SetHWnd(clipperWindow);
        if (c) s->SetClipper(c);
        return s;
    }

    // A 4 x 2 surface of distinct pixels.
    Surface Source()
    {
        Surface s = Make(DDSCAPS_OFFSCREENPLAIN, 4, 2);
        HDC dc = nullptr;
        EXPECT_EQ(s->GetDC(dc), DD_OK);
        for (int i = 0; i < 8; ++i) SetPixel(dc, i % 4, i / 4, Colour(i % 4, i / 4));
        EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
        return s;
    }

    static Pixels Read(DirectDrawSurface7& s, int w, int h)
    {
        HDC dc = nullptr;
        EXPECT_EQ(s.GetDC(dc), DD_OK);
        Pixels out;
        for (int i = 0; i < w * h; ++i) out.push_back(GetPixel(dc, i % w, i / w));
        EXPECT_EQ(s.ReleaseDC(dc), DD_OK);
        return out;
    }

    std::unique_ptr<DirectX7> dx;
    std::shared_ptr<DirectDraw7> dd;
};

TEST_F(DirectDrawTest, BlitsCopyStretchAndClipToThePixel)
{
    const COLORREF O = 0, a = Colour(0, 0), b = Colour(1, 0), c = Colour(2, 0), d = Colour(3, 0);
    const COLORREF e = Colour(0, 1), f = Colour(1, 1), g = Colour(2, 1), h = Colour(3, 1);
    const std::tuple<RECT, RECT, bool, HRESULT, Pixels> cases[] = {  // to, from, with a clipper; result, 6 x 3 after
        {{1, 1, 5, 3}, {0, 0, 4, 2}, false, DD_OK, {O, O, O, O, O, O, O, a, b, c, d, O, O, e, f, g, h, O}},
        {{0, 0, 6, 3}, {0, 0, 0, 0}, false, DD_OK, {a, b, b, c, d, d, e, f, f, g, h, h, e, f, f, g, h, h}},
        {{0, 0, 0, 0}, {1, 0, 3, 1}, false, DD_OK, {b, b, b, c, c, c, b, b, b, c, c, c, b, b, b, c, c, c}},
        {{4, 2, 6, 3}, {0, 0, 4, 2}, false, DD_OK, {O, O, O, O, O, O, O, O, O, O, O, O, O, O, O, O, f, h}},
        {{3, 1, 7, 3}, {0, 0, 4, 2}, true, DD_OK, {O, O, O, O, O, O, O, O, O, a, b, c, O, O, O, e, f, g}},
        {{3, 1, 7, 3}, {0, 0, 4, 2}, false, DDERR_INVALIDRECT, Pixels(18, O)},
        {{0, 0, 2, 2}, {0, 0, 5, 2}, true, DDERR_INVALIDRECT, Pixels(18, O)},
        {{2, 0, 1, 2}, {0, 0, 4, 2}, true, DDERR_INVALIDRECT, Pixels(18, O)},
    };
    for (const auto& [dest, src, clipper, result, expected] : cases) {
        Surface from = Source(), to = Make(DDSCAPS_OFFSCREENPLAIN, 6, 3, nullptr, clipper);
        EXPECT_EQ(to->Blt(dest, from.get(), src, DDBLT_WAIT), result) << dest.left << "," << dest.top;
        EXPECT_EQ(Read(*to, 6, 3), expected) << dest.left << "," << dest.top;
    }
    // Within one surface a blit reads the picture as it was before the blit: a shift right and a stretch.
    const std::tuple<RECT, RECT, Pixels> within[] = {{{1, 0, 4, 2}, {0, 0, 3, 2}, {a, a, b, c, e, e, f, g}},
                                                     {{0, 0, 4, 2}, {0, 0, 2, 2}, {a, a, b, b, e, e, f, f}}};
    for (const auto& [dest, src, expected] : within) {
        Surface s = Source();
        EXPECT_EQ(s->Blt(dest, s.get(), src, DDBLT_WAIT), DD_OK);
        EXPECT_EQ(Read(*s, 4, 2), expected) << dest.left << "," << dest.right;
    }
}

TEST_F(DirectDrawTest, ThePrimarySurfaceDrawsOnlyInsideTheClipperWindowWhereverItIs)
{
    QWidget window, neighbour;
    for (QWidget* w : {&window, &neighbour}) {
        w->setAutoFillBackground(true);
        w->setPalette(QPalette(Qt::white));
        w->setFixedSize(6, 3);
        w->show();
    }
    window.move(100, 50);
    neighbour.move(106, 50);
    Surface from = Source(), primary = Make(DDSCAPS_PRIMARYSURFACE, 0, 0, user::RegisterWindow(&window));

    // Stretched over the window's top two rows and on into the neighbour.
    QPoint at = window.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(primary->Blt({at.x(), at.y(), at.x() + 8, at.y() + 2}, from.get(), {}, DDBLT_WAIT), DD_OK);
    QImage shot = window.grab().toImage();
    EXPECT_EQ(std::vector<QRgb>({shot.pixel(0, 0), shot.pixel(5, 1), shot.pixel(3, 2)}),
              std::vector<QRgb>({Rgb(Colour(0, 0)), Rgb(Colour(2, 1)), qRgb(255, 255, 255)}));
    EXPECT_EQ(neighbour.grab().toImage().pixel(0, 0), qRgb(255, 255, 255)) << "never outside the clipper's window";

    window.move(300, 200);
    RECT r{};
    ASSERT_EQ(dx->GetWindowRect(user::RegisterWindow(&window), r), DD_OK);
    EXPECT_EQ(primary->Blt(r, from.get(), {3, 1, 4, 2}, DDBLT_WAIT), DD_OK);
    EXPECT_EQ(window.grab().toImage().pixel(3, 2), Rgb(Colour(3, 1))) << "the blit follows the window";
}

TEST_F(DirectDrawTest, BoxesFollowTheDrawStateAndTheGdi)
{
    Surface s = Make(DDSCAPS_OFFSCREENPLAIN, 6, 5);
    const COLORREF F = RGB(1, 2, 3), I = RGB(200, 0, 0), O = 0;
    EXPECT_EQ(std::vector<HRESULT>({s->SetForeColor(static_cast<LONG>(F)), s->SetFillColor(static_cast<LONG>(I)),
                                    s->SetFillStyle(kFillStyleSolid), s->SetDrawStyle(2), s->SetDrawStyle(9),
                                    s->SetFillStyle(4), s->SetDrawWidth(0), s->SetForeColor(-1)}),
              std::vector<HRESULT>({DD_OK, DD_OK, DD_OK, DDERR_UNSUPPORTED, DDERR_INVALIDPARAMS, DDERR_UNSUPPORTED,
                                    DDERR_INVALIDPARAMS, DDERR_INVALIDPARAMS}));
    EXPECT_EQ(s->DrawBox(4, 4, 0, 0), DD_OK);
    s->SetFillStyle(kFillStyleTransparent);
    s->SetDrawStyle(kDrawStyleTransparent);
    EXPECT_EQ(s->DrawBox(1, 1, 3, 3), DD_OK) << "neither outline nor filling";
    EXPECT_EQ(Read(*s, 6, 5), Pixels({F, F, F, F, O, O, F, I, I, F, O, O, F, I, I, F, O, O, F, F, F, F, O, O,
                                      O, O, O, O, O, O}))
        << "the box stops short of (4, 4)";
}

TEST_F(DirectDrawTest, MisuseAndUnreadableBitmapFilesGetThePublishedResultCodes)
{
    std::shared_ptr<DirectDraw7> fresh, unused;
    ASSERT_EQ(dx->DirectDrawCreate("", fresh), DD_OK);
    Surface s, t = Make(DDSCAPS_OFFSCREENPLAIN, 2, 2), primary = Make(DDSCAPS_PRIMARYSURFACE, 0, 0, nullptr, true);
    const DDSURFACEDESC2 unsized = Desc(DDSCAPS_OFFSCREENPLAIN), texture = Desc(0x1000);
    HDC dc = nullptr, other = nullptr;
    const std::vector<HRESULT> got = {
        fresh->CreateSurface(unsized, s), dx->DirectDrawCreate("{0}", unused), dd->CreateSurface(unsized, s),
        dd->CreateSurface(texture, s), t->Blt({}, t.get(), {}, DDBLT_WAIT | 0x400), primary->Blt({}, t.get(), {}, 0),
        primary->GetDC(other), t->GetDC(dc), t->GetDC(other), t->DrawLine(0, 0, 1, 1), t->ReleaseDC(other),
        t->ReleaseDC(dc), t->ReleaseDC(dc),
    };
    EXPECT_EQ(got, std::vector<HRESULT>({DDERR_NOCOOPERATIVELEVELSET, DDERR_INVALIDDIRECTDRAWGUID, DDERR_INVALIDPARAMS,
                                         DDERR_INVALIDCAPS, DDERR_UNSUPPORTED, DDERR_NOCLIPLIST, DDERR_CANTCREATEDC,
                                         DD_OK, DDERR_DCALREADYCREATED, DDERR_SURFACEBUSY, DDERR_INVALIDPARAMS, DD_OK,
                                         DDERR_NODC}));

    // Bitmap files that cannot be read fail cleanly.
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString(), damaged = folder + "/bad.bmp", cut = folder + "/cut.bmp";
    std::ofstream(damaged, std::ios::binary) << "BM6\0\0\0";
    // 2 x 16,777,216 pixels declared, 16 bytes of them present
    std::ofstream(cut, std::ios::binary) << std::string("BMF\0\0\0\0\0\0\0\66\0\0\0\50\0\0\0\2\0\0\0\0\0\0\1\1\0\30\0\0\0\0\0", 34)
                                         << std::string(36, '\377');
    const int objects = gdi::LiveObjectCount();
    Surface loaded;
    const auto load = [&](const std::string& file) { return dd->CreateSurfaceFromFile(file, unsized, loaded); };
    EXPECT_EQ(std::vector<HRESULT>({load(folder + "/none.bmp"), load(damaged), load(cut), load(folder)}),
              std::vector<HRESULT>({DDERR_NOTFOUND, DDERR_GENERIC, DDERR_GENERIC, DDERR_NOTFOUND}));
    EXPECT_EQ(gdi::LiveObjectCount(), objects) << "a failed load leaves nothing behind";
    EXPECT_EQ(loaded, nullptr);
}

}  // namespace
