#include "gdi/gdi.h"
#include "gdi/gdi_access.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A memory DC with its own bitmap, cleared to black; releases everything.
class Surface {
public:
    Surface(int width, int height, UINT bits = 32) : width_(width), height_(height)
    {
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateBitmap(width, height, 1, bits, nullptr);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Surface()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }

    // Rows of '#' (colour c) and '.' (anything else).
    std::string picture(COLORREF c) const
    {
        std::string s;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x)
                s += GetPixel(dc_, x, y) == c ? '#' : '.';
            s += '\n';
        }
        return s;
    }
    int count(COLORREF c) const
    {
        int n = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                n += GetPixel(dc_, x, y) == c;
        return n;
    }

private:
    int width_;
    int height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

// Selects a pen and brush for the scope, then puts the old ones back and deletes them.
class Tools {
public:
    Tools(HDC dc, HPEN pen, HBRUSH brush) : dc_(dc), pen_(pen), brush_(brush)
    {
        oldPen_ = SelectObject(dc, pen);
        oldBrush_ = SelectObject(dc, brush);
    }
    ~Tools()
    {
        SelectObject(dc_, oldBrush_);
        SelectObject(dc_, oldPen_);
        DeleteObject(pen_);
        DeleteObject(brush_);
    }
    Tools(const Tools&) = delete;
    Tools& operator=(const Tools&) = delete;

private:
    HDC dc_;
    HGDIOBJ pen_, brush_, oldPen_, oldBrush_;
};

void Line(HDC dc, std::vector<POINT> pts, COLORREF c, int width = 1)
{
    HPEN pen = CreatePen(PS_SOLID, width, c);
    HGDIOBJ old = SelectObject(dc, pen);
    Polyline(dc, pts.data(), static_cast<int>(pts.size()));
    SelectObject(dc, old);
    DeleteObject(pen);
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

TEST_F(GdiTest, FillRectCoversHalfOpenAreaClippedToBitmap)
{
    Surface s(6, 4);
    Fill(s.dc(), RECT{1, 1, 3, 3}, kRed);
    EXPECT_EQ(s.picture(kRed),
              "......\n"
              ".##...\n"
              ".##...\n"
              "......\n");

    Fill(s.dc(), RECT{-5, -5, 1, 100}, kBlue);
    Fill(s.dc(), RECT{5, 3, 1000, 1000}, kBlue);
    EXPECT_EQ(s.picture(kBlue),
              "#.....\n"
              "#.....\n"
              "#.....\n"
              "#....#\n");

    // Empty and inverted rectangles fill nothing but still succeed.
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    const RECT inverted{4, 3, 2, 1};
    const RECT empty{2, 2, 2, 4};
    EXPECT_NE(FillRect(s.dc(), &inverted, white), 0);
    EXPECT_NE(FillRect(s.dc(), &empty, white), 0);
    EXPECT_EQ(s.count(kWhite), 0);

    const RECT huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    EXPECT_NE(FillRect(s.dc(), &huge, white), 0);
    EXPECT_EQ(s.count(kWhite), 24);
}

TEST_F(GdiTest, PolylineLeavesOutLastPointAndPaintsSharedVerticesOnce)
{
    Surface s(17, 3);
    Line(s.dc(), {{0, 0}, {15, 0}}, kRed);
    EXPECT_EQ(s.picture(kRed),
              "###############..\n"
              ".................\n"
              ".................\n");

    // Reversed: from 15 down to 1, so 0 stays clear.
    Surface r(17, 1);
    Line(r.dc(), {{15, 0}, {0, 0}}, kRed);
    EXPECT_EQ(r.picture(kRed), ".###############.\n");

    // A closed outline paints every corner exactly once.
    Surface box(6, 5, 1);
    Fill(box.dc(), RECT{0, 0, 6, 5}, kWhite);
    Line(box.dc(), {{0, 0}, {4, 0}, {4, 3}, {0, 3}, {0, 0}}, kBlack);
    EXPECT_EQ(box.picture(kBlack),
              "#####.\n"
              "#...#.\n"
              "#...#.\n"
              "#####.\n"
              "......\n");

    // Fewer than two points is an error.
    const POINT one{0, 0};
    EXPECT_FALSE(Polyline(s.dc(), &one, 1));
    EXPECT_FALSE(Polyline(s.dc(), nullptr, 2));
}

TEST_F(GdiTest, PolylineVerticalDiagonalAndSteepLines)
{
    Surface s(5, 5);
    Line(s.dc(), {{1, 4}, {1, 0}}, kRed);   // vertical, upwards: rows 4..1
    Line(s.dc(), {{4, 0}, {4, 0}}, kRed);   // zero length: nothing
    EXPECT_EQ(s.picture(kRed),
              ".....\n"
              ".#...\n"
              ".#...\n"
              ".#...\n"
              ".#...\n");

    Surface d(5, 5);
    Line(d.dc(), {{0, 0}, {4, 4}}, kRed);
    Line(d.dc(), {{4, 0}, {0, 4}}, kBlue);
    EXPECT_EQ(d.picture(kRed),
              "#....\n"
              ".#...\n"
              ".....\n"  // painted over by the second line
              "...#.\n"
              ".....\n");
    EXPECT_EQ(d.picture(kBlue),
              "....#\n"
              "...#.\n"
              "..#..\n"
              ".#...\n"
              ".....\n");

    // Steep: one pixel per row, the x steps spread evenly.
    Surface t(3, 7);
    Line(t.dc(), {{0, 0}, {2, 6}}, kRed);
    EXPECT_EQ(t.picture(kRed),
              "#..\n"
              "#..\n"
              ".#.\n"
              ".#.\n"
              ".#.\n"
              "..#\n"
              "...\n");
}

// The pixels a line paints in a small bitmap are exactly those it paints in
// a large one, cropped.
TEST_F(GdiTest, PolylineClippingKeepsTheUnclippedPixels)
{
    const std::vector<std::vector<POINT>> lines = {
        {{-7, -3}, {30, 11}}, {{25, -9}, {-4, 17}}, {{3, -20}, {9, 40}},
        {{-50, 2}, {60, 7}},  {{18, 18}, {-13, -1}}, {{-1, 4}, {40, -30}},
    };
    constexpr int kOffset = 64;
    for (const auto& line : lines) {
        Surface small(12, 9);
        Surface big(12 + 2 * kOffset, 9 + 2 * kOffset);
        Line(small.dc(), line, kRed);
        std::vector<POINT> shifted = line;
        for (POINT& p : shifted)
            p = POINT{p.x + kOffset, p.y + kOffset};
        Line(big.dc(), shifted, kRed);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 12; ++x)
                ASSERT_EQ(GetPixel(small.dc(), x, y), GetPixel(big.dc(), x + kOffset, y + kOffset))
                    << "line from (" << line[0].x << "," << line[0].y << ") at " << x << "," << y;
    }
}

TEST_F(GdiTest, PolylineWithHugeCoordinatesFinishes)
{
    Surface s(10, 10);
    // Through the bitmap's centre diagonal, from far outside to far outside.
    Line(s.dc(), {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}}, kRed);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(GetPixel(s.dc(), i, i), kRed) << i;
    EXPECT_EQ(s.count(kRed), 10);

    Surface h(10, 3);
    Line(h.dc(), {{INT_MAX, 1}, {INT_MIN, 1}, {INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}}, kBlue);
    EXPECT_EQ(h.picture(kBlue).substr(11, 11), "##########\n");

    // Wide pens too.
    Surface w(8, 8);
    Line(w.dc(), {{INT_MIN, 3}, {INT_MAX, 3}}, kRed, 3);
    EXPECT_EQ(w.count(kRed), 24);
}

TEST_F(GdiTest, WidePenStampsSquaresIncludingEndPoint)
{
    Surface s(8, 6);
    Line(s.dc(), {{1, 2}, {5, 2}}, kRed, 3);
    EXPECT_EQ(s.picture(kRed),
              "........\n"
              "#######.\n"
              "#######.\n"
              "#######.\n"
              "........\n"
              "........\n");
}

TEST_F(GdiTest, NullPenAndBrushDrawNothing)
{
    Surface s(8, 8);
    HGDIOBJ oldPen = SelectObject(s.dc(), GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(s.dc(), GetStockObject(NULL_BRUSH));
    const POINT pts[] = {{0, 0}, {7, 7}, {0, 7}};
    EXPECT_TRUE(Polyline(s.dc(), pts, 3));
    EXPECT_TRUE(Ellipse(s.dc(), 0, 0, 8, 8));
    EXPECT_TRUE(Pie(s.dc(), 0, 0, 8, 8, 8, 4, 4, 0));
    HBRUSH hollow = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    const RECT all{0, 0, 8, 8};
    EXPECT_NE(FillRect(s.dc(), &all, hollow), 0);
    EXPECT_EQ(s.count(kBlack), 64);

    // A created null pen behaves the same.
    HPEN none = CreatePen(PS_NULL, 3, kRed);
    SelectObject(s.dc(), none);
    EXPECT_TRUE(Polyline(s.dc(), pts, 3));
    EXPECT_EQ(s.count(kBlack), 64);

    SelectObject(s.dc(), oldPen);
    SelectObject(s.dc(), oldBrush);
    EXPECT_TRUE(DeleteObject(none));
}

TEST_F(GdiTest, StockObjectsAndSelection)
{
    for (int i : {WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH, NULL_BRUSH, WHITE_PEN,
                  BLACK_PEN, NULL_PEN}) {
        HGDIOBJ h = GetStockObject(i);
        ASSERT_NE(h, nullptr) << i;
        EXPECT_TRUE(DeleteObject(h)) << i;
        EXPECT_EQ(GetStockObject(i), h) << i;
    }
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ(GetStockObject(9), nullptr);

    // The stock brushes still paint after DeleteObject.
    Surface s(5, 1);
    const std::pair<int, COLORREF> brushes[] = {{WHITE_BRUSH, kWhite},
                                                {LTGRAY_BRUSH, RGB(192, 192, 192)},
                                                {GRAY_BRUSH, RGB(128, 128, 128)},
                                                {DKGRAY_BRUSH, RGB(64, 64, 64)},
                                                {BLACK_BRUSH, kBlack}};
    for (int i = 0; i < 5; ++i) {
        const RECT r{i, 0, i + 1, 1};
        FillRect(s.dc(), &r, static_cast<HBRUSH>(GetStockObject(brushes[i].first)));
        EXPECT_EQ(GetPixel(s.dc(), i, 0), brushes[i].second);
    }

    // A new DC holds the black pen, the white brush and a 1x1 monochrome bitmap.
    HDC dc = CreateCompatibleDC(nullptr);
    HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    HBRUSH brush = CreateSolidBrush(kBlue);
    EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(dc, brush), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_PEN)), pen);
    EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_BRUSH)), brush);
    HBITMAP defaultBitmap = gdi::SelectedBitmap(dc);
    ASSERT_NE(defaultBitmap, nullptr);
    EXPECT_EQ(GetPixel(dc, 0, 0), kBlack);
    EXPECT_EQ(GetPixel(dc, 1, 0), CLR_INVALID);
    HBITMAP mono = CreateCompatibleBitmap(dc, 4, 4);  // compatible with a monochrome bitmap
    EXPECT_EQ(gdi::BitmapPixels(mono).bits, nullptr);

    // Bitmaps: one DC at a time, and only memory DCs.
    HBITMAP bm = CreateBitmap(4, 4, 1, 32, nullptr);
    HDC other = CreateCompatibleDC(dc);
    EXPECT_EQ(SelectObject(dc, bm), defaultBitmap);
    EXPECT_EQ(SelectObject(other, bm), nullptr);
    EXPECT_FALSE(DeleteObject(bm));  // selected
    HBITMAP colour = CreateCompatibleBitmap(dc, 4, 4);
    EXPECT_NE(gdi::BitmapPixels(colour).bits, nullptr);
    HDC ic = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_EQ(SelectObject(ic, colour), nullptr);
    EXPECT_EQ(GetDeviceCaps(ic, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(ic, PLANES), 1);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);

    // Deleting the DC frees the bitmap for another DC.
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(SelectObject(other, bm), defaultBitmap);
    EXPECT_EQ(SelectObject(other, defaultBitmap), bm);

    // Selected pens and brushes are not deleted while selected.
    HPEN selectedPen = CreatePen(PS_SOLID, 2, kRed);
    SelectObject(other, selectedPen);
    EXPECT_FALSE(DeleteObject(selectedPen));
    SelectObject(other, GetStockObject(BLACK_PEN));
    EXPECT_TRUE(DeleteObject(selectedPen));

    for (HGDIOBJ h : {static_cast<HGDIOBJ>(pen), static_cast<HGDIOBJ>(brush), static_cast<HGDIOBJ>(bm),
                      static_cast<HGDIOBJ>(mono), static_cast<HGDIOBJ>(colour)})
        EXPECT_TRUE(DeleteObject(h));
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_TRUE(DeleteDC(ic));
}

TEST_F(GdiTest, MonochromeBitmapsMapColoursToNearestOfBlackAndWhite)
{
    Surface s(4, 1, 1);
    EXPECT_EQ(SetPixel(s.dc(), 0, 0, RGB(200, 200, 200)), kWhite);
    EXPECT_EQ(SetPixel(s.dc(), 1, 0, RGB(128, 127, 127)), kBlack);  // sum 382: nearer black
    EXPECT_EQ(SetPixel(s.dc(), 2, 0, RGB(128, 128, 127)), kWhite);  // sum 383: nearer white
    EXPECT_EQ(SetPixel(s.dc(), 3, 0, kBlue), kBlack);
    EXPECT_EQ(GetPixel(s.dc(), 0, 0), kWhite);
    EXPECT_EQ(GetPixel(s.dc(), 1, 0), kBlack);
    EXPECT_EQ(GetPixel(s.dc(), 2, 0), kWhite);
    EXPECT_EQ(GetPixel(s.dc(), 3, 0), kBlack);
    EXPECT_EQ(GetPixel(s.dc(), 4, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(s.dc(), -1, 0, kWhite), CLR_INVALID);

    // Initial bits: rows padded to 16 bits, most significant bit first.
    const unsigned char bits[] = {0xA0, 0x00, 0x01, 0x80};  // 10100000 | 00000001 1...
    HBITMAP bm = CreateBitmap(9, 2, 1, 1, bits);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bm);
    std::string rows;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 9; ++x)
            rows += GetPixel(dc, x, y) == kWhite ? '1' : '0';
    EXPECT_EQ(rows, "101000000" "000000011");
    SelectObject(dc, old);
    DeleteObject(bm);
    DeleteDC(dc);

    const std::uint32_t colourBits[] = {0x00112233, 0xFF445566};
    HBITMAP c = CreateBitmap(2, 1, 1, 32, colourBits);
    const gdi::PixelView view = gdi::BitmapPixels(c);
    ASSERT_EQ(view.width, 2);
    EXPECT_EQ(view.bits[0], 0x00112233u);
    EXPECT_EQ(view.bits[1], 0x00445566u);
    DeleteObject(c);
}

TEST_F(GdiTest, EllipseStaysInHalfOpenBoxSymmetricWithOutline)
{
    Surface s(10, 8);
    Tools tools(s.dc(), CreatePen(PS_SOLID, 1, kRed), CreateSolidBrush(kBlue));
    EXPECT_TRUE(Ellipse(s.dc(), 1, 1, 9, 7));
    std::string drawn;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            const COLORREF c = GetPixel(s.dc(), x, y);
            drawn += c == kRed ? 'o' : c == kBlue ? '#' : '.';
        }
        drawn += '\n';
    }
    EXPECT_EQ(drawn,
              "..........\n"
              "...oooo...\n"
              "..o####o..\n"
              ".o######o.\n"
              ".o######o.\n"
              "..o####o..\n"
              "...oooo...\n"
              "..........\n");

    // Clipped and inverted boxes draw the same pixels where visible.
    Surface c(10, 8);
    Tools more(c.dc(), CreatePen(PS_SOLID, 1, kRed), CreateSolidBrush(kBlue));
    EXPECT_TRUE(Ellipse(c.dc(), 9, 7, 1, 1));
    EXPECT_EQ(c.picture(kRed), s.picture(kRed));
    EXPECT_TRUE(Ellipse(c.dc(), -1000, -1000, 1000, 1000));
    EXPECT_EQ(c.count(kBlue), 80);
    EXPECT_FALSE(Ellipse(c.dc(), INT_MIN, 0, INT_MAX, 5));  // beyond the supported size
}

// For odd and even sizes and several pen widths: the shape reaches every edge
// of its half-open box, never leaves it, and mirrors onto itself.
TEST_F(GdiTest, EllipsesAreSymmetricAndFillTheirBoxExactly)
{
    constexpr int kSide = 24;
    for (int w : {1, 2, 5, 8, 13}) {
        for (int h : {1, 3, 6, 11}) {
            for (int penWidth : {1, 2, 4}) {
                Surface s(kSide, kSide);
                Tools tools(s.dc(), CreatePen(PS_SOLID, penWidth, kRed), CreateSolidBrush(kBlue));
                const int l = 5, t = 4, r = l + w, b = t + h;
                ASSERT_TRUE(Ellipse(s.dc(), l, t, r, b));
                bool left = false, right = false, top = false, bottom = false;
                for (int y = 0; y < kSide; ++y)
                    for (int x = 0; x < kSide; ++x) {
                        const COLORREF c = GetPixel(s.dc(), x, y);
                        const bool inBox = x >= l && x < r && y >= t && y < b;
                        if (!inBox) {
                            ASSERT_EQ(c, kBlack) << w << "x" << h << " pen " << penWidth << " at " << x << "," << y;
                            continue;
                        }
                        ASSERT_EQ(c, GetPixel(s.dc(), l + r - 1 - x, y)) << w << "x" << h << " at " << x << "," << y;
                        ASSERT_EQ(c, GetPixel(s.dc(), x, t + b - 1 - y)) << w << "x" << h << " at " << x << "," << y;
                        if (c != kBlack) {
                            left |= x == l;
                            right |= x == r - 1;
                            top |= y == t;
                            bottom |= y == b - 1;
                        }
                    }
                EXPECT_TRUE(left && right && top && bottom) << w << "x" << h << " pen " << penWidth;
            }
        }
    }
}

TEST_F(GdiTest, PieRunsCounterClockwiseFromFirstRadial)
{
    // From the right-hand radial counter-clockwise to the top one: top-right quadrant.
    Surface s(8, 8);
    {
        Tools tools(s.dc(), CreatePen(PS_SOLID, 1, kRed), CreateSolidBrush(kRed));
        EXPECT_TRUE(Pie(s.dc(), 0, 0, 8, 8, 8, 4, 4, 0));
    }
    EXPECT_EQ(s.picture(kRed),
              "....##..\n"
              "....###.\n"
              "....####\n"
              "....####\n"
              "........\n"
              "........\n"
              "........\n"
              "........\n");

    // The other way round covers the other three quadrants.
    Surface r(8, 8);
    {
        Tools tools(r.dc(), CreatePen(PS_SOLID, 1, kRed), CreateSolidBrush(kRed));
        EXPECT_TRUE(Pie(r.dc(), 0, 0, 8, 8, 4, 0, 8, 4));
    }
    Surface e(8, 8);
    {
        Tools tools(e.dc(), CreatePen(PS_SOLID, 1, kRed), CreateSolidBrush(kRed));
        EXPECT_TRUE(Ellipse(e.dc(), 0, 0, 8, 8));
    }
    EXPECT_EQ(r.count(kRed) + s.count(kRed), e.count(kRed));
    for (int y = 0; y < 4; ++y)
        for (int x = 4; x < 8; ++x)
            EXPECT_NE(GetPixel(r.dc(), x, y), kRed) << x << "," << y;

    // Outline: arc and both radii in the pen colour, the inside in the brush colour.
    Surface o(8, 8);
    Tools tools(o.dc(), CreatePen(PS_SOLID, 1, kRed), CreateSolidBrush(kBlue));
    EXPECT_TRUE(Pie(o.dc(), 0, 0, 8, 8, 8, 4, 4, 0));
    EXPECT_EQ(o.picture(kBlue),
              "........\n"
              ".....#..\n"
              ".....##.\n"
              "........\n"
              "........\n"
              "........\n"
              "........\n"
              "........\n");
    EXPECT_EQ(o.count(kRed), 10);
}

TEST_F(GdiTest, BitBltCopiesClippedAndConvertsDepth)
{
    Surface src(4, 4);
    SetPixel(src.dc(), 0, 0, kRed);
    SetPixel(src.dc(), 3, 3, kBlue);
    SetPixel(src.dc(), 1, 2, kWhite);

    Surface dst(4, 4);
    EXPECT_TRUE(BitBlt(dst.dc(), 1, 1, 10, 10, src.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc(), 1, 1), kRed);
    EXPECT_EQ(GetPixel(dst.dc(), 2, 3), kWhite);
    EXPECT_EQ(dst.count(kBlue), 0);  // (3,3) of the source lands outside
    EXPECT_TRUE(BitBlt(dst.dc(), -2, -2, 4, 4, src.dc(), 1, 1, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc(), 0, 0), kBlue);  // source (3,3); the rest falls outside one bitmap or the other
    EXPECT_EQ(dst.count(kBlue), 1);
    EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, 0x00EE0086));

    // Colour to monochrome by nearest, and back as black and white.
    Surface mono(4, 4, 1);
    EXPECT_TRUE(BitBlt(mono.dc(), 0, 0, 4, 4, src.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(mono.picture(kWhite),
              "....\n"
              "....\n"
              ".#..\n"
              "....\n");
    Surface back(4, 4);
    Fill(back.dc(), RECT{0, 0, 4, 4}, kRed);
    EXPECT_TRUE(BitBlt(back.dc(), 0, 0, 4, 4, mono.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(back.count(kWhite), 1);
    EXPECT_EQ(back.count(kBlack), 15);

    // Overlapping copy within one bitmap.
    Surface row(5, 1);
    for (int x = 0; x < 5; ++x)
        SetPixel(row.dc(), x, 0, RGB(x, 0, 0));
    EXPECT_TRUE(BitBlt(row.dc(), 1, 0, 4, 1, row.dc(), 0, 0, SRCCOPY));
    for (int x = 1; x < 5; ++x)
        EXPECT_EQ(GetPixel(row.dc(), x, 0), RGB(x - 1, 0, 0));
    Surface column(1, 5);
    for (int y = 0; y < 5; ++y)
        SetPixel(column.dc(), 0, y, RGB(0, y, 0));
    EXPECT_TRUE(BitBlt(column.dc(), 0, 1, 1, 4, column.dc(), 0, 0, SRCCOPY));
    for (int y = 1; y < 5; ++y)
        EXPECT_EQ(GetPixel(column.dc(), 0, y), RGB(0, y - 1, 0));
    EXPECT_TRUE(BitBlt(column.dc(), 0, 0, 1, 4, column.dc(), 0, 1, SRCCOPY));
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(GetPixel(column.dc(), 0, y), RGB(0, y, 0));  // 0, 0, 1, 2, 3 moved up one
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
    ASSERT_NE(icon, nullptr);
    SetPixel(mask.dc(), 0, 0, kBlack);
    SetPixel(colour.dc(), 0, 0, kRed);

    gdi::IconImage image;
    ASSERT_TRUE(gdi::IconPicture(icon, image));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 1);
    EXPECT_EQ(image.argb, (std::vector<std::uint32_t>{0x00000000, 0xFF0000FF, 0xFFFF0000}));
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    EXPECT_FALSE(gdi::IconPicture(icon, image));

    // No mask, or a colour bitmap of another size: no icon.
    ICONINFO noMask{TRUE, 0, 0, nullptr, colour.bitmap()};
    EXPECT_EQ(CreateIconIndirect(&noMask), nullptr);
    Surface wrong(2, 2);
    ICONINFO mismatch{TRUE, 0, 0, mask.bitmap(), wrong.bitmap()};
    EXPECT_EQ(CreateIconIndirect(&mismatch), nullptr);
    EXPECT_EQ(CreateIconIndirect(nullptr), nullptr);

    // Monochrome: AND mask above XOR bits in one bitmap twice as tall.
    Surface both(2, 2, 1);
    SetPixel(both.dc(), 0, 0, kWhite);  // transparent
    SetPixel(both.dc(), 1, 1, kWhite);  // opaque white
    ICONINFO monoInfo{TRUE, 0, 0, both.bitmap(), nullptr};
    HICON mono = CreateIconIndirect(&monoInfo);
    ASSERT_TRUE(gdi::IconPicture(mono, image));
    EXPECT_EQ(image.height, 1);
    EXPECT_EQ(image.argb, (std::vector<std::uint32_t>{0x00000000, 0xFFFFFFFF}));
    EXPECT_TRUE(DestroyIcon(mono));
    ICONINFO odd{TRUE, 0, 0, mask.bitmap(), nullptr};  // one row cannot be split
    EXPECT_EQ(CreateIconIndirect(&odd), nullptr);
}

TEST_F(GdiTest, InvalidHandlesFailSafely)
{
    HDC bogusDc = reinterpret_cast<HDC>(std::uintptr_t{0xDEADBEEF});
    HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    HDC penAsDc = reinterpret_cast<HDC>(pen);
    const POINT pts[] = {{0, 0}, {1, 1}};
    const RECT r{0, 0, 1, 1};
    for (HDC dc : {static_cast<HDC>(nullptr), bogusDc, penAsDc}) {
        EXPECT_FALSE(Polyline(dc, pts, 2));
        EXPECT_EQ(FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
        EXPECT_FALSE(Ellipse(dc, 0, 0, 4, 4));
        EXPECT_FALSE(Pie(dc, 0, 0, 4, 4, 0, 0, 1, 1));
        EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
        EXPECT_EQ(SetPixel(dc, 0, 0, kRed), CLR_INVALID);
        EXPECT_EQ(SelectObject(dc, pen), nullptr);
        EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 0);
        EXPECT_EQ(CreateCompatibleBitmap(dc, 2, 2), nullptr);
        EXPECT_FALSE(DeleteDC(dc));
        EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, dc, 0, 0, SRCCOPY));
        EXPECT_EQ(gdi::SelectedBitmap(dc), nullptr);
    }
    EXPECT_EQ(CreateCompatibleDC(bogusDc), nullptr);
    EXPECT_FALSE(DeleteObject(bogusDc));
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_FALSE(DestroyIcon(reinterpret_cast<HICON>(pen)));

    // An information context answers queries but cannot draw.
    HDC ic = CreateICA("display", nullptr, nullptr, nullptr);
    ASSERT_NE(ic, nullptr);
    EXPECT_FALSE(Polyline(ic, pts, 2));
    EXPECT_EQ(GetPixel(ic, 0, 0), CLR_INVALID);
    EXPECT_EQ(CreateICA("PRINTER", nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(CreateICA(nullptr, nullptr, nullptr, nullptr), nullptr);

    // Stale handles stay dead even after their slot is reused.
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen));
    HBRUSH brush = CreateSolidBrush(kRed);
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));

    // Drawing into a DC without a bitmap of its own is lost, not shared.
    HDC bare = CreateCompatibleDC(ic);
    EXPECT_EQ(SetPixel(bare, 0, 0, kWhite), CLR_INVALID);
    EXPECT_TRUE(Polyline(bare, pts, 2));
    HDC other = CreateCompatibleDC(ic);
    EXPECT_EQ(GetPixel(other, 0, 0), kBlack);
    EXPECT_EQ(CreateBitmap(-1, 2, 1, 32, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(2, 2, 1, 24, nullptr), nullptr);
    EXPECT_EQ(CreatePen(3, 1, kRed), nullptr);
    EXPECT_TRUE(DeleteDC(bare));
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_TRUE(DeleteDC(ic));
}

}  // namespace
