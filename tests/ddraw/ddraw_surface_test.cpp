// The DirectDraw objects to the pixel: off-screen surfaces on the software
// GDI, the primary surface on real (offscreen) Qt windows, bitmap files.
#include "ddraw/ddraw.h"
#include "ddraw/display.h"
#include "gdi/gdi.h"
#include "support/ModeChangingDisplay.h"
#include "user/window_table.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

using Surface = std::shared_ptr<DirectDrawSurface7>;

class DirectDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DirectX7::Create(dx), DD_OK);
        ASSERT_EQ(dx->DirectDrawCreate("", dd), DD_OK);
        ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }

    Surface Offscreen(int w, int h)
    {
        DDSURFACEDESC2 desc{};
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = static_cast<DWORD>(w);
        desc.dwHeight = static_cast<DWORD>(h);
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        Surface s;
        EXPECT_EQ(dd->CreateSurface(desc, s), DD_OK);
        return s;
    }

    Surface Primary(HWND window)
    {
        DDSURFACEDESC2 desc{};
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        Surface s;
        std::shared_ptr<DirectDrawClipper> clipper;
        EXPECT_EQ(dd->CreateSurface(desc, s), DD_OK);
        EXPECT_EQ(dd->CreateClipper(0, clipper), DD_OK);
        if (window) {
            EXPECT_EQ(clipper->SetHWnd(window), DD_OK);
        }
        EXPECT_EQ(s->SetClipper(clipper), DD_OK);
        return s;
    }

    // Pixel (x, y) of source picture k: distinct for every place.
    static COLORREF Colour(int x, int y) { return RGB(10 + x, 20 + y, 30); }

    static void Paint(DirectDrawSurface7& s, int w, int h)
    {
        HDC dc = nullptr;
        ASSERT_EQ(s.GetDC(dc), DD_OK);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) SetPixel(dc, x, y, Colour(x, y));
        ASSERT_EQ(s.ReleaseDC(dc), DD_OK);
    }

    static std::vector<COLORREF> Pixels(DirectDrawSurface7& s, int w, int h)
    {
        HDC dc = nullptr;
        EXPECT_EQ(s.GetDC(dc), DD_OK);
        std::vector<COLORREF> out;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) out.push_back(GetPixel(dc, x, y));
        EXPECT_EQ(s.ReleaseDC(dc), DD_OK);
        return out;
    }

    std::unique_ptr<DirectX7> dx;
    std::shared_ptr<DirectDraw7> dd;
};

TEST_F(DirectDrawTest, BlitsCopyOrStretchAndTakeTheAllZeroRectangleAsTheWholeSurface)
{
    const COLORREF O = 0;  // untouched
    const COLORREF a = Colour(0, 0), b = Colour(1, 0), c = Colour(2, 0), d = Colour(3, 0);
    const COLORREF e = Colour(0, 1), f = Colour(1, 1), g = Colour(2, 1), h = Colour(3, 1);
    struct Case {
        RECT dest, src;
        std::vector<COLORREF> expected;  // the 6 x 3 destination
    } cases[] = {
        {{1, 1, 5, 3}, {0, 0, 4, 2}, {O, O, O, O, O, O, O, a, b, c, d, O, O, e, f, g, h, O}},
        {{0, 0, 6, 3}, {0, 0, 0, 0}, {a, b, b, c, d, d, e, f, f, g, h, h, e, f, f, g, h, h}},
        {{0, 0, 0, 0}, {1, 0, 3, 1}, {b, b, b, c, c, c, b, b, b, c, c, c, b, b, b, c, c, c}},
        {{4, 2, 6, 3}, {0, 0, 4, 2}, {O, O, O, O, O, O, O, O, O, O, O, O, O, O, O, O, f, h}},
    };
    for (const Case& t : cases) {
        Surface from = Offscreen(4, 2), to = Offscreen(6, 3);
        Paint(*from, 4, 2);
        EXPECT_EQ(to->Blt(t.dest, from.get(), t.src, DDBLT_WAIT), DD_OK);
        EXPECT_EQ(Pixels(*to, 6, 3), t.expected) << "dest " << t.dest.left << "," << t.dest.top;
    }
}

TEST_F(DirectDrawTest, RectanglesOutsideASurfaceAreRefusedUnlessAClipperCutsThem)
{
    Surface from = Offscreen(4, 2), to = Offscreen(3, 3);
    Paint(*from, 4, 2);
    EXPECT_EQ(to->Blt({1, 1, 5, 3}, from.get(), {0, 0, 4, 2}, DDBLT_WAIT), DDERR_INVALIDRECT);
    EXPECT_EQ(to->Blt({0, 0, 2, 2}, from.get(), {0, 0, 5, 2}, DDBLT_WAIT), DDERR_INVALIDRECT);
    EXPECT_EQ(to->Blt({2, 0, 1, 2}, from.get(), {0, 0, 4, 2}, DDBLT_WAIT), DDERR_INVALIDRECT);
    EXPECT_EQ(Pixels(*to, 3, 3), std::vector<COLORREF>(9, 0)) << "a refused blit changes nothing";

    std::shared_ptr<DirectDrawClipper> clipper;
    ASSERT_EQ(dd->CreateClipper(0, clipper), DD_OK);
    to->SetClipper(clipper);
    EXPECT_EQ(to->Blt({1, 1, 5, 3}, from.get(), {0, 0, 4, 2}, DDBLT_WAIT), DD_OK);
    const COLORREF O = 0;
    EXPECT_EQ(Pixels(*to, 3, 3),
              (std::vector<COLORREF>{O, O, O, O, Colour(0, 0), Colour(1, 0), O, Colour(0, 1), Colour(1, 1)}));
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
    Surface from = Offscreen(4, 2);
    Paint(*from, 4, 2);
    Surface primary = Primary(user::RegisterWindow(&window));

    // Stretched over the window's rectangle and two columns beyond it, into the neighbour.
    QPoint at = window.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(primary->Blt({at.x(), at.y(), at.x() + 8, at.y() + 2}, from.get(), {0, 0, 0, 0}, DDBLT_WAIT), DD_OK);
    QImage shot = window.grab().toImage();
    const QRgb w = qRgb(255, 255, 255);
    auto rgb = [](COLORREF c) { return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)); };
    EXPECT_EQ(shot.pixel(0, 0), rgb(Colour(0, 0)));
    EXPECT_EQ(shot.pixel(5, 1), rgb(Colour(2, 1)));
    EXPECT_EQ(shot.pixel(3, 2), w) << "below the blit the window shows itself";
    EXPECT_EQ(neighbour.grab().toImage().pixel(0, 0), w) << "never outside the clipper's window";

    window.move(300, 200);
    RECT r{};
    ASSERT_EQ(dx->GetWindowRect(user::RegisterWindow(&window), r), DD_OK);
    at = window.mapToGlobal(QPoint(0, 0));
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}),
              (std::vector<LONG>{at.x(), at.y(), at.x() + 6, at.y() + 3}));
    EXPECT_EQ(primary->Blt(r, from.get(), {3, 1, 4, 2}, DDBLT_WAIT), DD_OK);
    shot = window.grab().toImage();
    EXPECT_EQ(shot.pixel(3, 2), rgb(Colour(3, 1))) << "the blit follows the moved window";

    primary.reset();
    EXPECT_EQ(window.grab().toImage().pixel(0, 0), w) << "released, the window shows itself again";
}

TEST_F(DirectDrawTest, DrawStateLinesAndBoxesFollowTheGdi)
{
    Surface s = Offscreen(6, 5);
    const COLORREF fore = RGB(1, 2, 3), fill = RGB(200, 0, 0);
    EXPECT_EQ(s->SetForeColor(static_cast<LONG>(fore)), DD_OK);
    EXPECT_EQ(s->SetFillColor(static_cast<LONG>(fill)), DD_OK);
    EXPECT_EQ(s->SetFillStyle(kFillStyleSolid), DD_OK);
    EXPECT_EQ(s->SetDrawWidth(1), DD_OK);
    EXPECT_EQ(s->SetDrawStyle(kDrawStyleSolid), DD_OK);
    LONG v[5] = {};
    s->GetForeColor(v[0]), s->GetFillColor(v[1]), s->GetFillStyle(v[2]), s->GetDrawWidth(v[3]), s->GetDrawStyle(v[4]);
    EXPECT_EQ((std::vector<LONG>(v, v + 5)), (std::vector<LONG>{static_cast<LONG>(fore), static_cast<LONG>(fill), 0, 1, 0}));
    struct Refused {
        HRESULT got, expected;
    } refused[] = {
        {s->SetDrawStyle(2), DDERR_UNSUPPORTED},   {s->SetDrawStyle(9), DDERR_INVALIDPARAMS},
        {s->SetFillStyle(4), DDERR_UNSUPPORTED},   {s->SetDrawWidth(0), DDERR_INVALIDPARAMS},
        {s->SetForeColor(-1), DDERR_INVALIDPARAMS}, {s->SetFillColor(0x1000000), DDERR_INVALIDPARAMS},
    };
    for (const Refused& r : refused) EXPECT_EQ(r.got, r.expected);

    EXPECT_EQ(s->DrawBox(0, 0, 4, 4), DD_OK);
    EXPECT_EQ(s->DrawLine(5, 0, 5, 4), DD_OK);
    EXPECT_EQ(s->SetFillStyle(kFillStyleTransparent), DD_OK);
    EXPECT_EQ(s->SetDrawStyle(kDrawStyleTransparent), DD_OK);
    EXPECT_EQ(s->DrawBox(1, 1, 3, 3), DD_OK) << "neither outline nor filling";
    const COLORREF F = fore, I = fill, O = 0;
    EXPECT_EQ(Pixels(*s, 6, 5), (std::vector<COLORREF>{F, F, F, F, O, F,  //
                                                        F, I, I, F, O, F,  //
                                                        F, I, I, F, O, F,  //
                                                        F, F, F, F, O, F,  //
                                                        O, O, O, O, O, O}))
        << "the box stops short of (4, 4), the line of its end point";
}

TEST_F(DirectDrawTest, MisuseGetsThePublishedResultCodes)
{
    std::shared_ptr<DirectDraw7> fresh;
    ASSERT_EQ(dx->DirectDrawCreate("", fresh), DD_OK);
    Surface s, t = Offscreen(2, 2);
    DDSURFACEDESC2 desc{};
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    DDSURFACEDESC2 primarySized = desc;
    primarySized.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT;
    primarySized.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    DDSURFACEDESC2 texture = desc;
    texture.ddsCaps.dwCaps = 0x1000;  // DDSCAPS_TEXTURE
    Surface primary = Primary(nullptr);
    Surface unclipped;
    DDSURFACEDESC2 p{};
    p.dwFlags = DDSD_CAPS;
    p.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    ASSERT_EQ(dd->CreateSurface(p, unclipped), DD_OK);
    HDC dc = nullptr, other = nullptr;
    std::shared_ptr<DirectDraw7> unused;
    std::shared_ptr<DirectDrawClipper> clipper;

    struct Case {
        const char* what;
        HRESULT got, expected;
    } cases[] = {
        {"before SetCooperativeLevel", fresh->CreateSurface(desc, s), DDERR_NOCOOPERATIVELEVELSET},
        {"full screen", fresh->SetCooperativeLevel(nullptr, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DDERR_UNSUPPORTED},
        {"a driver other than the default", dx->DirectDrawCreate("{0}", unused), DDERR_INVALIDDIRECTDRAWGUID},
        {"off-screen without a size", dd->CreateSurface(desc, s), DDERR_INVALIDPARAMS},
        {"primary with a size", dd->CreateSurface(primarySized, s), DDERR_INVALIDPARAMS},
        {"unknown capabilities", dd->CreateSurface(texture, s), DDERR_INVALIDCAPS},
        {"clipper flags", dd->CreateClipper(1, clipper), DDERR_INVALIDPARAMS},
        {"no source", t->Blt({}, nullptr, {}, DDBLT_WAIT), DDERR_INVALIDPARAMS},
        {"a colour fill", t->Blt({}, t.get(), {}, DDBLT_WAIT | 0x400), DDERR_UNSUPPORTED},
        {"primary as a source", t->Blt({}, primary.get(), {}, DDBLT_WAIT), DDERR_UNSUPPORTED},
        {"primary without a clipper", unclipped->Blt({}, t.get(), {}, DDBLT_WAIT), DDERR_NOCLIPPERATTACHED},
        {"primary with a clipper of no window", primary->Blt({}, t.get(), {}, DDBLT_WAIT), DDERR_NOCLIPLIST},
        {"DC of the primary", primary->GetDC(other), DDERR_CANTCREATEDC},
        {"ReleaseDC with none lent", t->ReleaseDC(dc), DDERR_NODC},
        {"GetDC", t->GetDC(dc), DD_OK},
        {"GetDC twice", t->GetDC(other), DDERR_DCALREADYCREATED},
        {"line while the DC is out", t->DrawLine(0, 0, 1, 1), DDERR_SURFACEBUSY},
        {"blit while the DC is out", t->Blt({}, t.get(), {}, DDBLT_WAIT), DDERR_SURFACEBUSY},
        {"another DC", t->ReleaseDC(other), DDERR_INVALIDPARAMS},
        {"ReleaseDC", t->ReleaseDC(dc), DD_OK},
        {"line on the primary", primary->DrawLine(0, 0, 1, 1), DDERR_UNSUPPORTED},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what << ": " << DirectDrawResultName(c.got);
    EXPECT_EQ(DirectDrawResultName(DDERR_SURFACELOST), "DDERR_SURFACELOST (0x887601C2)");
}

TEST_F(DirectDrawTest, AModeChangeLosesEverySurfaceMadeBefore)
{
    testing_support::ModeChangingDisplay display;
    ddraw::SetDisplay(&display);
    SetUp();
    Surface a = Offscreen(2, 2), b = Offscreen(2, 2);
    display.generation = 1;
    HDC dc = nullptr;
    EXPECT_EQ(a->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(a->DrawLine(0, 0, 1, 1), DDERR_SURFACELOST);
    EXPECT_EQ(a->Blt({}, b.get(), {}, DDBLT_WAIT), DDERR_SURFACELOST);
    EXPECT_EQ(a->GetDC(dc), DDERR_SURFACELOST);
    EXPECT_EQ(Offscreen(2, 2)->IsLost(), DD_OK) << "a surface made afterwards is fine";
    ddraw::SetDisplay(nullptr);
}

TEST_F(DirectDrawTest, BitmapFilesGiveTheirPictureOrFailCleanly)
{
    QTemporaryDir dir;
    QImage picture(3, 2, QImage::Format_RGB888);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) picture.setPixel(x, y, qRgb(10 + x, 20 + y, 30));
    const std::string good = (dir.path() + "/good.bmp").toStdString();
    ASSERT_TRUE(picture.save(QString::fromStdString(good), "BMP"));
    const std::string damaged = (dir.path() + "/damaged.bmp").toStdString();
    {
        std::ifstream in(good, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream(damaged, std::ios::binary) << bytes.substr(0, 40);
    }
    const int objects = gdi::LiveObjectCount();
    DDSURFACEDESC2 desc{};
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    Surface s;
    EXPECT_EQ(dd->CreateSurfaceFromFile(dir.path().toStdString() + "/missing.bmp", desc, s), DDERR_NOTFOUND);
    EXPECT_EQ(dd->CreateSurfaceFromFile(damaged, desc, s), DDERR_GENERIC);
    EXPECT_EQ(dd->CreateSurfaceFromFile(dir.path().toStdString(), desc, s), DDERR_NOTFOUND) << "a folder";
    EXPECT_EQ(gdi::LiveObjectCount(), objects) << "a failed load leaves nothing behind";
    ASSERT_EQ(dd->CreateSurfaceFromFile(good, desc, s), DD_OK);
    DDSURFACEDESC2 got{};
    s->GetSurfaceDesc(got);
    EXPECT_EQ(std::vector<DWORD>({got.dwWidth, got.dwHeight, got.ddpfPixelFormat.dwRGBBitCount}),
              std::vector<DWORD>({3, 2, 32}));
    EXPECT_EQ(Pixels(*s, 3, 2), (std::vector<COLORREF>{Colour(0, 0), Colour(1, 0), Colour(2, 0), Colour(0, 1),
                                                        Colour(1, 1), Colour(2, 1)}));

    desc.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = 6;
    desc.dwHeight = 1;
    ASSERT_EQ(dd->CreateSurfaceFromFile(good, desc, s), DD_OK);
    EXPECT_EQ(Pixels(*s, 6, 1), (std::vector<COLORREF>{Colour(0, 1), Colour(0, 1), Colour(1, 1), Colour(1, 1),
                                                        Colour(2, 1), Colour(2, 1)}))
        << "a size asked for stretches the picture";
}

TEST(DirectX7Root, IsNotThereWhenSwitchedOff)
{
    ::setenv("KELVO_DIRECTDRAW", "off", 1);
    std::unique_ptr<DirectX7> dx;
    EXPECT_EQ(DirectX7::Create(dx), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(dx, nullptr);
    ::unsetenv("KELVO_DIRECTDRAW");
    EXPECT_EQ(DirectX7::Create(dx), DD_OK);
}

}  // namespace
