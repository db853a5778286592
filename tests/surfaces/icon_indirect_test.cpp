#include "surfaces/IconPixels.h"

#include "common/RuntimeError.h"
#include "gdi/gdi.h"
#include "gdi/gdi_access.h"
#include "surfaces/IconIndirect.h"

#include <gtest/gtest.h>

using kelvo::IconIndirect;
using kelvo::test::Argb;
using kelvo::test::At;
using kelvo::test::kTransparent;
using kelvo::test::Picture;

namespace {

constexpr LONG kRed = static_cast<LONG>(RGB(255, 0, 0));
constexpr LONG kBlue = static_cast<LONG>(RGB(0, 0, 255));
constexpr LONG kGreen = static_cast<LONG>(RGB(0, 255, 0));

int OpaqueCount(const gdi::IconImage& image)
{
    int count = 0;
    for (const auto pixel : image.argb) count += (pixel >> 24) == 0xFF;
    return count;
}

}  // namespace

TEST(IconIndirect, SizesAreTheSystemMetrics)
{
    // No Qt application here: the classic values.
    EXPECT_EQ(IconIndirect::DefaultWidth(), 32);
    EXPECT_EQ(IconIndirect::DefaultHeight(), 32);
    EXPECT_EQ(IconIndirect::DefaultWidthSmall(), 16);
    EXPECT_EQ(IconIndirect::DefaultHeightSmall(), 16);
    EXPECT_EQ(IconIndirect::DefaultWidthCaption(), 12);
    EXPECT_EQ(IconIndirect::DefaultHeightCaption(), 15);
}

TEST(IconIndirect, NothingBeforeCreate)
{
    IconIndirect canvas;
    EXPECT_EQ(canvas.MaskDC(), nullptr);
    EXPECT_EQ(canvas.CanvasDC(), nullptr);
    EXPECT_EQ(canvas.Icon(), nullptr);
    canvas.DrawRect(0, 0, 4, 4, kRed);
    canvas.DrawLine(0, 0, 4, 4);
    EXPECT_EQ(canvas.Icon(), nullptr);
}

TEST(IconIndirect, FailedCreateGivesNoIcon)
{
    IconIndirect canvas;
    EXPECT_FALSE(canvas.Create(-1, 16));  // no mask bitmap
    EXPECT_NE(canvas.MaskDC(), nullptr);
    canvas.DrawRect(0, 0, 4, 4, kRed);
    EXPECT_EQ(canvas.Icon(), nullptr);
}

TEST(IconIndirect, FreshCanvasIsTransparent)
{
    IconIndirect canvas;
    ASSERT_TRUE(canvas.Create(20, 12));
    const gdi::IconImage image = Picture(canvas.Icon());
    EXPECT_EQ(image.width, 20);
    EXPECT_EQ(image.height, 12);
    EXPECT_EQ(OpaqueCount(image), 0);
    EXPECT_EQ(At(image, 5, 5), kTransparent);
}

TEST(IconIndirect, IconIsKeptUntilTheNextDrawing)
{
    const int before = gdi::LiveObjectCount();
    {
        IconIndirect canvas;
        ASSERT_TRUE(canvas.Create(16, 16));
        const HICON first = canvas.Icon();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(canvas.Icon(), first);

        canvas.DrawRect(1, 1, 2, 2, kRed);
        // The icon already made does not change with the drawing...
        EXPECT_EQ(kelvo::test::Opaque(Picture(first), 1, 1), false);
        // ...and is replaced by the next read.
        const HICON second = canvas.Icon();
        ASSERT_NE(second, nullptr);
        gdi::IconImage gone;
        EXPECT_FALSE(gdi::IconPicture(first, gone));
        EXPECT_EQ(At(Picture(second), 1, 1), Argb(kRed));
        EXPECT_EQ(canvas.Icon(), second);

        // Painting straight into the canvas does not count as a drawing.
        SetPixel(canvas.CanvasDC(), 9, 9, RGB(1, 2, 3));
        EXPECT_EQ(canvas.Icon(), second);
    }
    EXPECT_EQ(gdi::LiveObjectCount(), before);
}

TEST(IconIndirect, SecondCreateStartsAfresh)
{
    const int before = gdi::LiveObjectCount();
    {
        IconIndirect canvas;
        ASSERT_TRUE(canvas.Create(16, 16));
        canvas.DrawRect(0, 0, 16, 16, kRed);
        canvas.Icon();
        ASSERT_TRUE(canvas.Create(8, 8));
        const gdi::IconImage image = Picture(canvas.Icon());
        EXPECT_EQ(image.width, 8);
        EXPECT_EQ(OpaqueCount(image), 0);
    }
    EXPECT_EQ(gdi::LiveObjectCount(), before);
}

TEST(IconIndirect, LineLeavesItsEndPoint)
{
    IconIndirect canvas;
    ASSERT_TRUE(canvas.Create(16, 16));
    canvas.DrawLine(0, 0, 15, 0, kBlue);
    const gdi::IconImage image = Picture(canvas.Icon());
    for (int x = 0; x <= 14; ++x) EXPECT_EQ(At(image, x, 0), Argb(kBlue)) << x;
    EXPECT_EQ(At(image, 15, 0), kTransparent);
    EXPECT_EQ(OpaqueCount(image), 15);
}

TEST(IconIndirect, LineDefaultsToBlackOnePixel)
{
    IconIndirect canvas;
    ASSERT_TRUE(canvas.Create(16, 16));
    canvas.DrawLine(2, 5, 10, 5);
    const gdi::IconImage image = Picture(canvas.Icon());
    EXPECT_EQ(At(image, 2, 5), Argb(0));
    EXPECT_EQ(At(image, 5, 4), kTransparent);
    EXPECT_EQ(At(image, 5, 6), kTransparent);
    EXPECT_EQ(OpaqueCount(image), 8);
}

TEST(IconIndirect, WideLineHasAOnePixelMask)
{
    IconIndirect canvas;
    ASSERT_TRUE(canvas.Create(16, 16));
    canvas.DrawLine(2, 8, 12, 8, kGreen, 3);
    // The centre row is opaque; the coloured rows beside it lie over the
    // transparent mask.
    EXPECT_EQ(GetPixel(canvas.MaskDC(), 6, 8), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(canvas.MaskDC(), 6, 7), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(canvas.CanvasDC(), 6, 7), static_cast<COLORREF>(kGreen));
    EXPECT_EQ(At(Picture(canvas.Icon()), 6, 8), Argb(kGreen));
}

TEST(IconIndirect, HollowRectPaintsAllFourCorners)
{
    IconIndirect canvas;
    ASSERT_TRUE(canvas.Create(16, 16));
    canvas.HollowRect(0, 0, 15, 15);
    const gdi::IconImage image = Picture(canvas.Icon());
    for (const auto& [x, y] : {std::pair{0, 0}, {15, 0}, {15, 15}, {0, 15}, {7, 0}, {15, 7}})
        EXPECT_EQ(At(image, x, y), Argb(0)) << x << "," << y;
    EXPECT_EQ(At(image, 7, 7), kTransparent);
    EXPECT_EQ(At(image, 1, 1), kTransparent);  // one pixel wide
    EXPECT_EQ(OpaqueCount(image), 60);
}

TEST(IconIndirect, FilledRectStopsBeforeRightAndBottom)
{
    IconIndirect canvas;
    ASSERT_TRUE(canvas.Create(16, 16));
    canvas.DrawRect(0, 0, 15, 15, kRed);
    const gdi::IconImage image = Picture(canvas.Icon());
    EXPECT_EQ(At(image, 0, 0), Argb(kRed));
    EXPECT_EQ(At(image, 14, 14), Argb(kRed));
    EXPECT_EQ(At(image, 15, 7), kTransparent);
    EXPECT_EQ(At(image, 7, 15), kTransparent);
    EXPECT_EQ(OpaqueCount(image), 15 * 15);
}

TEST(IconIndirect, OverflowChangesNothing)
{
    IconIndirect canvas;
    ASSERT_TRUE(canvas.Create(16, 16));
    const HICON icon = canvas.Icon();
    try {
        canvas.DrawRect(2147483647, 0, 1, 1, kRed);
        FAIL() << "no overflow";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), ErrorNumber::Overflow);
    }
    EXPECT_THROW(canvas.HollowRect(0, 2147483647, 1, 1), RuntimeError);
    EXPECT_THROW(canvas.DrawCircle(0, 1, 1, 2147483647, kRed), RuntimeError);
    EXPECT_THROW(canvas.DrawPie(-2147483647 - 1, 0, -1, 1, 0, 0, 1, 1, kRed), RuntimeError);
    // Nothing was drawn, so the icon is still the same one.
    EXPECT_EQ(canvas.Icon(), icon);
    EXPECT_EQ(kelvo::test::Opaque(Picture(icon), 0, 0), false);
    // Lines make no sums.
    EXPECT_NO_THROW(canvas.DrawLine(2147483647, 0, 2147483647, 5, kRed));
}

TEST(IconIndirect, CircleOutlineDefaultsToItsColourAndFills)
{
    IconIndirect canvas;
    ASSERT_TRUE(canvas.Create(16, 16));
    canvas.DrawCircle(0, 0, 16, 16, kRed);
    const gdi::IconImage image = Picture(canvas.Icon());
    EXPECT_EQ(At(image, 8, 8), Argb(kRed));
    EXPECT_EQ(At(image, 0, 8), Argb(kRed));
    EXPECT_EQ(At(image, 0, 0), kTransparent);
    for (const auto pixel : image.argb) EXPECT_TRUE(pixel == kTransparent || pixel == Argb(kRed));
}

TEST(IconIndirect, CircleWithOutlineColourAndHollow)
{
    IconIndirect canvas;
    ASSERT_TRUE(canvas.Create(16, 16));
    canvas.DrawCircle(0, 0, 16, 16, kRed, kBlue);
    gdi::IconImage image = Picture(canvas.Icon());
    EXPECT_EQ(At(image, 0, 8), Argb(kBlue));
    EXPECT_EQ(At(image, 8, 8), Argb(kRed));

    ASSERT_TRUE(canvas.Create(16, 16));
    canvas.DrawCircle(0, 0, 16, 16, kRed, std::nullopt, false);
    image = Picture(canvas.Icon());
    EXPECT_EQ(At(image, 0, 8), Argb(kRed));
    EXPECT_EQ(At(image, 8, 8), Argb(0));  // opaque mask, black canvas
    EXPECT_EQ(At(image, 0, 0), kTransparent);
}

TEST(IconIndirect, PieRunsClockwiseFromTheFirstRadial)
{
    IconIndirect canvas;
    ASSERT_TRUE(canvas.Create(16, 16));
    // From the right (16, 8) clockwise on screen to the bottom (8, 16).
    canvas.DrawPie(0, 0, 16, 16, 16, 8, 8, 16, kGreen);
    const gdi::IconImage image = Picture(canvas.Icon());
    EXPECT_EQ(At(image, 11, 11), Argb(kGreen));
    EXPECT_EQ(At(image, 4, 4), kTransparent);
    EXPECT_EQ(At(image, 11, 4), kTransparent);
    EXPECT_EQ(At(image, 4, 11), kTransparent);
}

TEST(IconIndirect, ReleasesEveryObject)
{
    const int before = gdi::LiveObjectCount();
    {
        IconIndirect canvas;
        ASSERT_TRUE(canvas.Create(16, 16));
        canvas.DrawRect(0, 0, 16, 16, kRed);
        canvas.HollowRect(1, 1, 10, 10, kBlue, 2);
        canvas.DrawLine(0, 0, 15, 15, kGreen);
        canvas.DrawCircle(2, 2, 8, 8, kRed, kBlue, false);
        canvas.DrawPie(2, 2, 8, 8, 0, 0, 16, 16, kRed);
        EXPECT_NE(canvas.Icon(), nullptr);
        EXPECT_EQ(gdi::LiveObjectCount(), before + 5);  // two DCs, two bitmaps, one icon
    }
    EXPECT_EQ(gdi::LiveObjectCount(), before);
}
