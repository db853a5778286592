#include "gdi/gdi.h"
#include "gdi/gdi_access.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A memory DC with its own bitmap, cleared to black or made from initial
// bits, and the pen and brush last chosen with Use(); releases everything.
class Surface {
public:
    Surface(int width, int height, UINT bits = 32, const void* initial = nullptr)
        : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)),
          bitmap_(CreateBitmap(width, height, 1, bits, initial))
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

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ pen_ = nullptr, brush_ = nullptr;
};

class GdiTest : public ::testing::Test {
protected:
    void SetUp() override { baseline_ = gdi::LiveObjectCount(); }
    void TearDown() override { EXPECT_EQ(gdi::LiveObjectCount(), baseline_) << "GDI objects leaked"; }

private:
    int baseline_ = 0;
};

TEST_F(GdiTest, ObjectsFollowTheSelectionRulesAndInvalidHandlesFailSafely)
{
    // A selected pen is not deleted.
    HDC dc = CreateCompatibleDC(nullptr);
    HDC other = CreateCompatibleDC(dc);
    HPEN pen = CreatePen(PS_SOLID, 2, kRed);
    EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
    EXPECT_FALSE(DeleteObject(pen)) << "selected";
    HBITMAP defaultBitmap = gdi::SelectedBitmap(dc);

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

    // Invalid handles fail safely; a deleted one stays dead, also once a new
    // object has taken its place.
    HDC successor = CreateCompatibleDC(nullptr);
    pen = CreatePen(PS_SOLID, 1, kRed);
    HDC ic = CreateICA("display", nullptr, nullptr, nullptr);  // answers queries, cannot draw
    const POINT pts[] = {{0, 0}, {1, 1}};
    const RECT r{0, 0, 1, 1};
    for (HDC bad : {static_cast<HDC>(nullptr), reinterpret_cast<HDC>(std::uintptr_t{0xDEADBEEF}),
                    reinterpret_cast<HDC>(pen), ic, other}) {
        EXPECT_FALSE(Polyline(bad, pts, 2));
        EXPECT_EQ(FillRect(bad, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
        EXPECT_FALSE(Ellipse(bad, 0, 0, 4, 4));
        EXPECT_EQ(GetPixel(bad, 0, 0), CLR_INVALID);
        EXPECT_FALSE(BitBlt(bad, 0, 0, 1, 1, bad, 0, 0, SRCCOPY));
    }
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteDC(ic) && DeleteDC(successor));
}

TEST_F(GdiTest, MonochromeBitsAsDocumented)
{
    Surface s(4, 1, 1);
    EXPECT_EQ(SetPixel(s.dc(), 0, 0, RGB(128, 127, 127)), kBlack);  // sum 382: nearer black
    EXPECT_EQ(SetPixel(s.dc(), 1, 0, RGB(128, 128, 127)), kWhite);  // sum 383: nearer white
    EXPECT_EQ(GetPixel(s.dc(), 4, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(s.dc(), -1, 0, kWhite), CLR_INVALID);

    // Initial bits: rows padded to 16 bits, most significant bit first.
    const unsigned char bits[] = {0xA0, 0x00, 0x08, 0x00};
    EXPECT_EQ(Surface(5, 2, 1, bits).picture(kWhite), "#.#..\n....#\n");
}

// gdi32's picture (recorded under Wine) of the 4 x 28 box (3, -3)-(7, 25) with
// its corners in every order: tips two pixels wide, the box's own top and
// bottom rows (-3 and 24) left empty. The pen's width 0 is documented as one pixel.
TEST_F(GdiTest, AnEllipsesCornersMayComeInAnyOrder)
{
    std::string gdi32;
    for (int y = 0; y < 26; ++y)
        gdi32 += y < 2 || (y >= 20 && y < 24) ? "....oo..\n" : y < 20 ? "...o##o.\n" : "........\n";
    for (const RECT& box : {RECT{7, -3, 3, 25}, RECT{3, -3, 7, 25}, RECT{3, 25, 7, -3}, RECT{7, 25, 3, -3}}) {
        Surface s(8, 26);
        s.Use(0, kRed, kBlue);
        EXPECT_TRUE(Ellipse(s.dc(), box.left, box.top, box.right, box.bottom));
        std::string ours = s.picture(kBlue);
        const std::string red = s.picture(kRed);
        for (std::size_t i = 0; i < ours.size(); ++i) ours[i] = red[i] == '#' ? 'o' : ours[i];
        EXPECT_EQ(ours, gdi32) << box.left << "," << box.top << "," << box.right << "," << box.bottom;
    }
}

TEST_F(GdiTest, BitBltCopiesClipped)
{
    Surface src(4, 4);
    SetPixel(src.dc(), 1, 2, kRed);
    SetPixel(src.dc(), 3, 3, kBlue);
    Surface dst(6, 4);
    EXPECT_TRUE(BitBlt(dst.dc(), 1, 1, 10, 10, src.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(dst.picture(kRed), "......\n......\n......\n..#...\n");
    EXPECT_EQ(dst.picture(kBlue), "......\n......\n......\n......\n") << "the source's (3,3) lands outside";
    EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, 0x00EE0086));
}

}  // namespace
