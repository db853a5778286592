#include "gdi/gdi.h"
#include "gdi/gdi_access.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A memory DC with its own bitmap, cleared to black, and the pen and brush
// last chosen with Use(); releases everything.
class Surface {
public:
    Surface(int width, int height, UINT bits = 32)
        : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)),
          bitmap_(CreateBitmap(width, height, 1, bits, nullptr))
    {
        SelectObject(dc_, bitmap_);
    }
    ~Surface()
    {
        DeleteDC(dc_);  // frees what it holds for deletion
        for (HGDIOBJ object : {HGDIOBJ(bitmap_), pen_, brush_}) DeleteObject(object);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }

    void Use(int penWidth, COLORREF pen, COLORREF brush)
    {
        const HGDIOBJ oldPen = std::exchange(pen_, CreatePen(PS_SOLID, penWidth, pen));
        const HGDIOBJ oldBrush = std::exchange(brush_, CreateSolidBrush(brush));
        SelectObject(dc_, pen_);
        SelectObject(dc_, brush_);
        DeleteObject(oldPen);  // deselected just now
        DeleteObject(oldBrush);
    }

    // Rows of '#' (colour c) and '.' (anything else).
    std::string picture(COLORREF c) const
    {
        std::string s;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) s += GetPixel(dc_, x, y) == c ? '#' : '.';
            s += '\n';
        }
        return s;
    }
    int count(COLORREF c) const
    {
        const std::string p = picture(c);
        return static_cast<int>(std::count(p.begin(), p.end(), '#'));
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ pen_ = nullptr, brush_ = nullptr;
};

void Line(Surface& s, std::vector<POINT> pts, COLORREF c, int width = 1)
{
    s.Use(width, c, c);
    Polyline(s.dc(), pts.data(), static_cast<int>(pts.size()));
}

void Fill(HDC dc, RECT r, COLORREF c)
{
    HBRUSH brush = CreateSolidBrush(c);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

class GdiTest : public ::testing::Test {
protected:
    void SetUp() override { baseline_ = gdi::LiveObjectCount(); }
    void TearDown() override { EXPECT_EQ(gdi::LiveObjectCount(), baseline_) << "GDI objects leaked"; }

private:
    int baseline_ = 0;
};

// Ordinary clipping, of lines of every pen and of fills with their corners
// in any order, is pinned by the reference pictures; far-away coordinates
// must still finish and clip.
TEST_F(GdiTest, FarAwayCoordinatesFinishAndClip)
{
    Surface s(10, 10);
    Line(s, {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}}, kRed);
    Line(s, {{INT_MIN, 3}, {INT_MAX, 3}}, kBlue, 3);
    EXPECT_EQ(s.count(kRed), 7);  // the diagonal, less the three rows the wide line covers
    EXPECT_EQ(s.count(kBlue), 30);
    const RECT huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    EXPECT_NE(FillRect(s.dc(), &huge, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 0);
    EXPECT_EQ(s.count(kWhite), 100);
    const POINT one{0, 0};
    EXPECT_FALSE(Polyline(s.dc(), &one, 1));
    EXPECT_FALSE(Polyline(s.dc(), nullptr, 2));
}

TEST_F(GdiTest, ObjectsFollowTheSelectionRules)
{
    // The stock objects survive DeleteObject and still paint.
    Surface s(1, 1);
    EXPECT_TRUE(DeleteObject(GetStockObject(GRAY_BRUSH)));
    const RECT r{0, 0, 1, 1};
    FillRect(s.dc(), &r, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    EXPECT_EQ(GetPixel(s.dc(), 0, 0), RGB(128, 128, 128));

    // A new DC holds the black pen, the white brush and a 1x1 monochrome bitmap.
    HDC dc = CreateCompatibleDC(nullptr);
    HDC other = CreateCompatibleDC(dc);
    HPEN pen = CreatePen(PS_SOLID, 2, kRed);
    EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_BRUSH)), GetStockObject(WHITE_BRUSH));
    EXPECT_FALSE(DeleteObject(pen)) << "selected";
    HBITMAP defaultBitmap = gdi::SelectedBitmap(dc);
    EXPECT_EQ(GetPixel(dc, 1, 0), CLR_INVALID);
    HBITMAP compatible = CreateCompatibleBitmap(dc, 4, 4);
    EXPECT_EQ(gdi::BitmapPixels(compatible).bits, nullptr) << "monochrome like the DC";
    EXPECT_TRUE(DeleteObject(compatible));

    // A bitmap lives in one DC at a time, and is not deleted while there.
    HBITMAP bm = CreateBitmap(4, 4, 1, 32, nullptr);
    EXPECT_EQ(SelectObject(dc, bm), defaultBitmap);
    EXPECT_EQ(SelectObject(other, bm), nullptr);
    EXPECT_FALSE(DeleteObject(bm));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(SelectObject(other, bm), defaultBitmap);
    EXPECT_EQ(SelectObject(other, defaultBitmap), bm);
    EXPECT_TRUE(DeleteObject(bm));
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteDC(other));
}

TEST_F(GdiTest, MonochromeAndColourBitsAsDocumented)
{
    Surface s(4, 1, 1);
    EXPECT_EQ(SetPixel(s.dc(), 0, 0, RGB(128, 127, 127)), kBlack);  // sum 382: nearer black
    EXPECT_EQ(SetPixel(s.dc(), 1, 0, RGB(128, 128, 127)), kWhite);  // sum 383: nearer white
    EXPECT_EQ(GetPixel(s.dc(), 4, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(s.dc(), -1, 0, kWhite), CLR_INVALID);

    // Initial bits: rows padded to 16 bits, most significant bit first.
    const unsigned char bits[] = {0xA0, 0x00, 0x08, 0x00};
    HBITMAP bm = CreateBitmap(5, 2, 1, 1, bits);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bm);
    std::string rows;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x) rows += GetPixel(dc, x, y) == kWhite ? '1' : '0';
    EXPECT_EQ(rows, "10100" "00001");
    DeleteDC(dc);
    DeleteObject(bm);

    const std::uint32_t colourBits[] = {0x00112233, 0xFF445566};
    HBITMAP c = CreateBitmap(2, 1, 1, 32, colourBits);
    EXPECT_EQ(gdi::BitmapPixels(c).bits[1], 0x00445566u);
    DeleteObject(c);
}

TEST_F(GdiTest, EllipsePictures)
{
    // An inverted box is the same box.
    Surface s(10, 8), t(10, 8);
    s.Use(1, kRed, kBlue);
    t.Use(1, kRed, kBlue);
    EXPECT_TRUE(Ellipse(s.dc(), 9, 7, 1, 1));
    EXPECT_TRUE(Ellipse(t.dc(), 1, 1, 9, 7));
    EXPECT_EQ(s.picture(kRed) + s.picture(kBlue), t.picture(kRed) + t.picture(kBlue));
    EXPECT_FALSE(Ellipse(s.dc(), INT_MIN, 0, INT_MAX, 5));  // beyond the supported size
}

// For odd and even sizes and several pens (a width-0 pen is one pixel): the
// shape reaches every edge of its half-open box, never leaves it, mirrors
// onto itself, and its outline is as wide as the pen.
TEST_F(GdiTest, EllipsesAreSymmetricAndFillTheirBoxExactly)
{
    constexpr int kSide = 24;
    for (int w : {1, 2, 5, 8, 13}) {
        for (int h : {1, 3, 6, 11}) {
            for (int penWidth : {0, 1, 2, 4}) {
                Surface s(kSide, kSide);
                s.Use(penWidth, kRed, kBlue);
                const int l = 5, t = 4, r = l + w, b = t + h;
                ASSERT_TRUE(Ellipse(s.dc(), l, t, r, b));
                bool left = false, right = false, top = false, bottom = false;
                for (int y = 0; y < kSide; ++y)
                    for (int x = 0; x < kSide; ++x) {
                        const COLORREF c = GetPixel(s.dc(), x, y);
                        const auto at = ::testing::Message() << w << "x" << h << " pen " << penWidth << " at " << x
                                                              << "," << y;
                        if (!(x >= l && x < r && y >= t && y < b)) {
                            ASSERT_EQ(c, kBlack) << at;
                            continue;
                        }
                        ASSERT_EQ(c, GetPixel(s.dc(), l + r - 1 - x, y)) << at;
                        ASSERT_EQ(c, GetPixel(s.dc(), x, t + b - 1 - y)) << at;
                        const int inset = std::min(std::min(x - l, r - 1 - x), std::min(y - t, b - 1 - y));
                        if (inset < std::max(penWidth, 1) && c != kBlack) {
                            ASSERT_EQ(c, kRed) << at;
                        }
                        left |= c != kBlack && x == l;
                        right |= c != kBlack && x == r - 1;
                        top |= c != kBlack && y == t;
                        bottom |= c != kBlack && y == b - 1;
                    }
                // gdi32 draws nothing for a 1 x 1 box.
                EXPECT_TRUE((w == 1 && h == 1) || (left && right && top && bottom))
                    << w << "x" << h << " pen " << penWidth;
            }
        }
    }
}

TEST_F(GdiTest, BitBltCopiesClippedAndConvertsDepth)
{
    Surface src(4, 4);
    SetPixel(src.dc(), 0, 0, kRed);
    SetPixel(src.dc(), 3, 3, kBlue);
    SetPixel(src.dc(), 1, 2, kWhite);
    Surface dst(6, 4);
    EXPECT_TRUE(BitBlt(dst.dc(), 1, 1, 10, 10, src.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(dst.picture(kRed) + dst.picture(kWhite), "......\n.#....\n......\n......\n"
                                                        "......\n......\n......\n..#...\n");
    EXPECT_EQ(dst.count(kBlue), 0) << "the source's (3,3) lands outside";
    EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, 0x00EE0086));

    // Colour to monochrome by nearest, and back as black and white.
    Surface mono(4, 4, 1);
    EXPECT_TRUE(BitBlt(mono.dc(), 0, 0, 4, 4, src.dc(), 0, 0, SRCCOPY));
    Surface back(4, 4);
    Fill(back.dc(), RECT{0, 0, 4, 4}, kRed);
    EXPECT_TRUE(BitBlt(back.dc(), 0, 0, 4, 4, mono.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(back.picture(kWhite), "....\n....\n.#..\n....\n");
    EXPECT_EQ(back.count(kBlack), 15);

    // Overlapping copies within one bitmap, down and up.
    Surface column(1, 5);
    for (int y = 0; y < 5; ++y) SetPixel(column.dc(), 0, y, RGB(0, y, 0));
    const auto greens = [&] {
        std::string g;
        for (int y = 0; y < 5; ++y) g += static_cast<char>('0' + GetGValue(GetPixel(column.dc(), 0, y)));
        return g;
    };
    EXPECT_TRUE(BitBlt(column.dc(), 0, 1, 1, 4, column.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(greens(), "00123");
    EXPECT_TRUE(BitBlt(column.dc(), 0, 0, 1, 4, column.dc(), 0, 1, SRCCOPY));
    EXPECT_EQ(greens(), "01233");
}

TEST_F(GdiTest, IconsCopyTheirBitmapsAndShowTransparency)
{
    Surface mask(3, 1, 1);
    Surface colour(3, 1);
    Fill(mask.dc(), RECT{0, 0, 3, 1}, kWhite);
    SetPixel(mask.dc(), 1, 0, kBlack);
    SetPixel(colour.dc(), 1, 0, kBlue);
    SetPixel(colour.dc(), 2, 0, kRed);  // mask set over a colour: shown opaque
    ICONINFO info{TRUE, 0, 0, mask.bitmap(), colour.bitmap()};
    HICON icon = CreateIconIndirect(&info);
    SetPixel(colour.dc(), 0, 0, kRed);  // later drawing does not reach the icon
    gdi::IconImage image;
    ASSERT_TRUE(gdi::IconPicture(icon, image));
    EXPECT_EQ(image.argb, (std::vector<std::uint32_t>{0x00000000, 0xFF0000FF, 0xFFFF0000}));
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(gdi::IconPicture(icon, image));

    Surface wrong(2, 2);
    for (ICONINFO bad : {ICONINFO{TRUE, 0, 0, nullptr, colour.bitmap()}, ICONINFO{TRUE, 0, 0, mask.bitmap(), wrong.bitmap()},
                         ICONINFO{TRUE, 0, 0, mask.bitmap(), nullptr}}) {
        EXPECT_EQ(CreateIconIndirect(&bad), nullptr);
    }

    // Monochrome: AND mask above XOR bits in one bitmap twice as tall.
    Surface both(2, 2, 1);
    SetPixel(both.dc(), 0, 0, kWhite);  // transparent
    SetPixel(both.dc(), 1, 1, kWhite);  // opaque white
    ICONINFO monoInfo{TRUE, 0, 0, both.bitmap(), nullptr};
    HICON mono = CreateIconIndirect(&monoInfo);
    ASSERT_TRUE(gdi::IconPicture(mono, image));
    EXPECT_EQ(image.argb, (std::vector<std::uint32_t>{0x00000000, 0xFFFFFFFF}));
    EXPECT_TRUE(DestroyIcon(mono));
}

TEST_F(GdiTest, InvalidHandlesFailSafely)
{
    HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    HDC ic = CreateICA("display", nullptr, nullptr, nullptr);  // answers queries, cannot draw
    const POINT pts[] = {{0, 0}, {1, 1}};
    const RECT r{0, 0, 1, 1};
    for (HDC dc : {static_cast<HDC>(nullptr), reinterpret_cast<HDC>(std::uintptr_t{0xDEADBEEF}),
                   reinterpret_cast<HDC>(pen), ic}) {
        EXPECT_FALSE(Polyline(dc, pts, 2));
        EXPECT_EQ(FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
        EXPECT_FALSE(Ellipse(dc, 0, 0, 4, 4));
        EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
        EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, dc, 0, 0, SRCCOPY));
    }
    EXPECT_TRUE(DeleteObject(pen));
    // Drawing into a DC without a bitmap of its own is lost, not shared.
    HDC bare = CreateCompatibleDC(ic);
    EXPECT_EQ(SetPixel(bare, 0, 0, kWhite), CLR_INVALID);
    HDC other = CreateCompatibleDC(ic);
    EXPECT_EQ(GetPixel(other, 0, 0), kBlack);
    for (HDC dc : {bare, other, ic}) EXPECT_TRUE(DeleteDC(dc));
}

}  // namespace
