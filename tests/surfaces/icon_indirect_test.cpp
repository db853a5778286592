#include "surfaces/IconPixels.h"

#include "common/RuntimeError.h"
#include "gdi/gdi.h"
#include "surfaces/IconIndirect.h"

#include <algorithm>
#include <functional>

using kelvo::IconIndirect;
using kelvo::test::Argb;
using kelvo::test::At;
using kelvo::test::kTransparent;
using kelvo::test::Picture;

namespace {

constexpr LONG kRed = static_cast<LONG>(RGB(255, 0, 0));
constexpr LONG kBlue = static_cast<LONG>(RGB(0, 0, 255));
constexpr LONG kGreen = static_cast<LONG>(RGB(0, 255, 0));

// The picture as rows: '.' transparent, 'g', 'b', 'k' (black) opaque, '?' anything else.
std::string Rows(const gdi::IconImage& image)
{
    const std::uint32_t legend[] = {kTransparent, Argb(kGreen), Argb(kBlue), Argb(RGB(0, 0, 0))};
    std::string s;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x)
            s += ".gbk?"[std::find(std::begin(legend), std::end(legend), At(image, x, y)) - std::begin(legend)];
        s += '\n';
    }
    return s;
}

}  // namespace

// Each drawing alone on a fresh 8 x 6 canvas. Coloured lines and filled
// boxes are pinned by the tray renderer's test; a blank canvas by the test below.
TEST(IconIndirect, DrawingsAreOpaqueWhereTheyPaintAndTransparentElsewhere)
{
    // what, the drawing, the picture
    const std::tuple<const char*, std::function<void(IconIndirect&)>, const char*> cases[] = {
        {"black line", [](IconIndirect& c) { c.DrawLine(2, 2, 6, 2); },
         "........\n........\n..kkkk..\n........\n........\n........\n"},
        // A wide line's one-pixel mask: beside it the colour shows over a set mask bit.
        {"wide line", [](IconIndirect& c) { c.DrawLine(1, 2, 6, 2, kGreen, 3); },
         "........\n.gggggg.\ngggggggg\n.gggggg.\n........\n........\n"},
        // Clockwise on screen from the first radial (the right) to the second (the bottom).
        {"pie", [](IconIndirect& c) { c.DrawPie(0, 0, 6, 6, 6, 3, 3, 6, kGreen, kBlue); },
         "........\n........\n........\n...bbb..\n....b...\n........\n"},
    };
    for (const auto& [what, draw, picture] : cases) {
        IconIndirect canvas;
        ASSERT_TRUE(canvas.Create(8, 6));
        draw(canvas);
        EXPECT_EQ(Rows(Picture(canvas.Icon())), picture) << what;
    }

    // The icon is rebuilt after a drawing, not after an overflow, and every object is released.
    const int before = gdi::LiveObjectCount();
    {
        IconIndirect canvas;
        EXPECT_EQ(canvas.Icon(), nullptr) << "nothing before Create";
        ASSERT_TRUE(canvas.Create(16, 16));
        const HICON first = canvas.Icon();
        canvas.DrawRect(1, 1, 2, 2, kRed);
        // An icon is left as it was: the new picture is in a new icon, and the old one goes.
        EXPECT_EQ(At(Picture(first), 1, 1), kTransparent);
        EXPECT_EQ(At(Picture(canvas.Icon()), 1, 1), Argb(kRed));

        // An overflow raises the error (its number is CheckedAdd's) and draws nothing, also where a
        // stock pen and brush would be selected.
        const HICON drawn = canvas.Icon();
        EXPECT_THROW(canvas.DrawCircle(0, 1, 1, 2147483647, kRed), RuntimeError);
        EXPECT_THROW(canvas.DrawPie(-2147483647 - 1, 0, -1, 1, 0, 0, 1, 1, kRed), RuntimeError);
        EXPECT_EQ(canvas.Icon(), drawn);

        ASSERT_TRUE(canvas.Create(8, 8));
        EXPECT_EQ(Picture(canvas.Icon()).width, 8);
    }
    EXPECT_EQ(gdi::LiveObjectCount(), before);
}
