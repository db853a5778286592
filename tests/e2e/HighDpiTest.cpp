// Kelvo on screens with more device pixels than logical ones, against a real
// X server, a real XEmbed tray and a real sound server: QT_SCALE_FACTOR=1.5,
// then Xft.dpi 192 (a ratio of 2) with the tray on a dark and a light panel.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace e2e;

namespace {

constexpr QRgb kWindowTrace = qRgb(128, 255, 255);
constexpr QRgb kIconTrace = qRgb(0, 0, 255);
const QRect kPanel(0, 0, 96, 24);

// Rows of `area` in which the flat trace of silence lies, with how many of
// its pixels each holds.
std::map<int, int> TraceRows(const QImage& shot, const QRect& area)
{
    std::map<int, int> rows;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const int pixels = Find(shot, QRect(area.left(), y, area.width(), 1), kWindowTrace).pixels;
        if (pixels > 0) rows[y - area.top()] = pixels;
    }
    return rows;
}

std::vector<std::uint8_t> Silence() { return Tone(440, 0, 120); }

}  // namespace

TEST(HighDpi, TheWindowIsDrawnInDevicePixelsAtOneAndAHalfAndTwoAndTheTrayTraceStandsOutOnDarkAndLightPanels)
{
    XServer x;
    SoundServer sound;
    auto player = sound.Play(Silence());
    // The canvas of `window` (its drawing area, inside the sunken border) at
    // `ratio`; silence is its middle row, one device pixel high, end to end.
    const auto flat = [&](const QRect& window, double ratio, int width, int height) {
        const QRect canvas(window.topLeft() + QPoint(8, 24) * ratio, QSize(width, height));
        std::map<int, int> rows;
        const bool drawn = WaitFor([&] { return (rows = TraceRows(x.Screenshot(), canvas)).size() == 1; }, 10s);
        EXPECT_TRUE(drawn) << rows.size() << " rows";
        if (drawn) {
            EXPECT_EQ(rows.begin()->first, height / 2) << ratio;
            EXPECT_GE(rows.begin()->second, width - 2) << ratio;
        }
    };

    {
        Kelvo kelvo({{{"DISPLAY", x.Display()}, {"QT_QPA_PLATFORM", "xcb"}, {"QT_SCALE_FACTOR", "1.5"}}, nullptr, &x},
                    sound.ClientEnvironment());
        const auto id = kelvo.MainWindow(10s, QSize(282, 141));
        ASSERT_TRUE(id) << kelvo.Log();
        flat(x.Geometry(*id), 1.5, 256, 92);  // 171 x 61 at 1.5, rounded halves to even
    }

    x.MergeResources("Xft.dpi: 192");
    player = sound.Play(Tone(440, 0.8, 120));
    auto trayer = Trayer(x, "0x202020");
    Kelvo kelvo(x.ForClients(), sound.ClientEnvironment(), {"/tray"});
    // The icon fills the slot the tray gives it; the trace stands out from
    // what is behind it by 3:1 at least.
    QPoint icon;
    const auto measure = [&](const char* panel) {
        QImage shot;
        ASSERT_TRUE(WaitFor([&] { return Find(shot = x.Screenshot(), kPanel, kIconTrace).pixels > 0; }, 20s))
            << panel << "\n" << kelvo.Log();
        const auto panels = x.WindowsNamed("panel");
        ASSERT_FALSE(panels.empty());
        const QRect strip = x.Geometry(panels[0]);
        // The icon: whatever differs from the panel's own colour, frame included.
        const QRgb background = shot.pixel(strip.topLeft());
        QRect box;
        for (int y = strip.top(); y <= strip.bottom(); ++y)
            for (int x = strip.left(); x <= strip.right(); ++x)
                if (shot.pixel(x, y) != background) box |= QRect(x, y, 1, 1);
        icon = box.center();
        const QRgb behind = Behind(shot, box, kIconTrace);
        const double contrast = Contrast(kIconTrace, behind);
        std::printf("the trace on the %s panel (%s): %.2f:1 against the %s behind it; the icon %dx%d in a %dx%d panel\n",
                    panel, qPrintable(QColor(background).name()), contrast, qPrintable(QColor(behind).name()),
                    box.width(), box.height(), strip.width(), strip.height());
        EXPECT_GE(contrast, 3.0) << panel;
        EXPECT_GE(box.height(), strip.height() - 2) << panel << ": the icon fills the slot";
        EXPECT_EQ(box.width(), box.height()) << panel << ": no empty space at the sides";
    };
    measure("dark");

    player = sound.Play(Silence());
    x.Click(icon, 1, 2);
    const auto id = kelvo.MainWindow(10s, QSize(376, 188));
    ASSERT_TRUE(id) << kelvo.Log();
    flat(x.Geometry(*id), 2, 342, 122);

    trayer.reset();
    trayer = Trayer(x, "0xf0f0f0");
    player = sound.Play(Tone(440, 0.8, 120));
    x.Click(x.Geometry(*id).center(), 1, 2);
    measure("light");
}
