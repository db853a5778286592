#include "surfaces/IconPixels.h"

#include "app/TrayRenderer.h"
#include "shell/FakeNotificationArea.h"
#include "user/sys_color.h"

#include <tuple>

using kelvo::test::Argb;
using kelvo::test::At;
using kelvo::test::FakeNotificationArea;
using kelvo::test::kTransparent;

namespace {

const HWND kTray = reinterpret_cast<HWND>(0x10040);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);
// Without a Qt application the classic button colours apply.
const std::uint32_t kShadow = Argb(RGB(128, 128, 128));
const std::uint32_t kHighlight = Argb(RGB(255, 255, 255));
const std::uint32_t kFace = Argb(RGB(192, 192, 192));

// Renders one frame and returns the picture the notification area was given.
gdi::IconImage Render(const std::vector<std::uint8_t>& samples, LONG style, LONG platform)
{
    FakeNotificationArea area;
    kelvo::RenderTrayFrame(samples, style, platform, kTray);
    EXPECT_EQ(area.calls.size(), 1u);
    if (area.calls.empty()) return {};
    EXPECT_EQ(area.calls[0].data.uFlags, static_cast<UINT>(NIF_ICON));  // the tip stays as it was
    return area.calls[0].picture.value_or(gdi::IconImage{});
}

// Rows 1..14 of columns 1..14 that the trace paints, column by column.
std::vector<int> BlueRows(const gdi::IconImage& image, int x)
{
    std::vector<int> rows;
    for (int y = 1; y < image.height - 1; ++y)
        if (At(image, x, y) == Argb(kBlue)) rows.push_back(y);
    return rows;
}

}  // namespace

// Top and left in the shadow colour, right and bottom in the highlight
// colour; the bottom-right pixel is left out by both. Strokes from row 8 to
// row 8 paint nothing (a thin line leaves its end). The button face behind
// keeps the trace legible on dark panels too (Kelvo's platform class is 6).
TEST(TrayRenderer, SilenceIsAFlatTraceInASunkenFrameOverAnOpaqueButtonFaceAndColumnsShowTheirSamples)
{
    const int before = gdi::LiveObjectCount();
    for (const auto& samples : {std::vector<std::uint8_t>(1200, 128), std::vector<std::uint8_t>()}) {
        const gdi::IconImage image = Render(samples, 0, 6);
        ASSERT_EQ(image.width, 16);
        ASSERT_EQ(image.height, 16);
        const std::tuple<int, int, std::uint32_t> frame[] = {
            {0, 0, kShadow},      {14, 0, kShadow},     {0, 14, kShadow}, {15, 0, kHighlight}, {15, 14, kHighlight},
            {0, 15, kHighlight}, {14, 15, kHighlight}, {15, 15, kFace}, {8, 8, kFace}};
        for (const auto& [x, y, colour] : frame) EXPECT_EQ(At(image, x, y), colour) << x << "," << y;
        for (int x = 1; x <= 14; ++x) EXPECT_TRUE(BlueRows(image, x).empty()) << x;
    }
    EXPECT_EQ(gdi::LiveObjectCount(), before);
    for (const auto pixel : Render(std::vector<std::uint8_t>(1200, 0), 2, 3).argb) EXPECT_EQ(pixel, kTransparent);

    // Columns show samples 75, 150, ..., 1200.
    std::vector<std::uint8_t> samples(1200, 128);
    samples[75 * 1 - 1] = 0;
    samples[75 * 2 - 1] = 255;
    samples[75 * 5 - 1] = 64;  // row round(64 / 256 * 16) = 4
    const gdi::IconImage image = Render(samples, 0, 6);

    // Column 1: from row 8 (half height) up to row 0, which is left unpainted.
    EXPECT_EQ(BlueRows(image, 1), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    // Column 2: from row 0 down to row 16, outside the icon: the whole height
    // (row 0 is painted over the frame, row 15 over the bottom edge).
    EXPECT_EQ(At(image, 2, 0), Argb(kBlue));
    EXPECT_EQ(At(image, 2, 15), Argb(kBlue));
    EXPECT_EQ(BlueRows(image, 2).size(), 14u);
    EXPECT_EQ(BlueRows(image, 5), (std::vector<int>{5, 6, 7, 8}));
    EXPECT_EQ(BlueRows(image, 6), (std::vector<int>{4, 5, 6, 7}));
}

// The level bar: the mean swing from 127 as a share of the height, rounded
// halves to even, standing on the bottom edge.
TEST(TrayRenderer, LevelBarShowsTheMeanSwing)
{
    using Block = std::vector<std::uint8_t>;
    Block fullSwing(262136);  // more samples than a 16-bit counter can count
    for (std::size_t i = 0; i < fullSwing.size(); ++i) fullSwing[i] = i % 2 ? 255 : 0;
    // 8.5 rounds to even; swings either way count alike; 16 * 4 / 127 = 0.504: the swing is measured from 127
    for (const auto& [block, height, level] : {std::tuple{fullSwing, 16, 16}, {Block{127, 127}, 16, 0}, {Block{}, 16, 0},
                                               {Block{190, 191}, 17, 8}, {Block{0, 254}, 16, 16}, {Block(8, 131), 16, 1}})
        EXPECT_EQ(kelvo::TrayLevel(block, height), level) << block.size() << " from " << int(block.at(0));

    // |96 - 127| = 31: level round(16 * 31 / 127) = 4.
    const gdi::IconImage image = Render(std::vector<std::uint8_t>(1200, 96), 1, 6);
    for (int y = 0; y < 16; ++y) EXPECT_EQ(At(image, 7, y), y >= 12 ? Argb(kGreen) : kTransparent) << y;
}

