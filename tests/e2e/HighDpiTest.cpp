// Kelvo on screens with more device pixels than logical ones, against a real
// X server, a real XEmbed tray and a real sound server: the window at
// QT_SCALE_FACTOR=1.5, then Xft.dpi 192 (a ratio of 2) with the tray on a dark
// and a light panel, in device pixels. The window at a ratio of 2 is the unit
// tests'.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

constexpr QRgb kIconTrace = qRgb(0, 0, 255);
const QRect kPanel(0, 0, 96, 24);

}  // namespace

TEST(HighDpi, TheWindowIsDrawnInDevicePixelsAtOneAndAHalfAndTheTrayTraceStandsOutOnDarkAndLightPanelsAtTwo)
{
    XServer x;
    SoundServer sound;
    auto player = sound.Play(Tone(440, 0, 120));  // silence

    {
        Kelvo kelvo({{{"DISPLAY", x.Display()}, {"QT_QPA_PLATFORM", "xcb"}, {"QT_SCALE_FACTOR", "1.5"}}, nullptr, &x},
                    sound.ClientEnvironment());
        ASSERT_TRUE(kelvo.MainWindow(10s, 1.5)) << kelvo.Log();
        // The middle row of the 256 x 92 canvas, one device pixel high, end to end.
        const auto flat = [](const Found& t) { return t.box.top() == 46 && t.box.height() == 1 && t.pixels >= 254; };
        EXPECT_TRUE(kelvo.WaitForTrace(flat, nullptr, 1.5)) << kelvo.Log();
    }

    // Read by the clients that start from now on.
    ASSERT_EQ(e2e::Run({"sh", "-c", "echo 'Xft.dpi: 192' | xrdb -merge"}, {{"DISPLAY", x.Display()}}).code, 0);
    player = sound.Play(Tone(437, 0.8, 120));  // 440 Hz stands still on the icon
    auto trayer = Trayer(x, "0x202020");
    Kelvo kelvo(x.ForClients(), sound.ClientEnvironment(), {"/tray"});
    // The icon fills the slot the tray gives it; the trace stands out from
    // what is behind it by 3:1 at least.
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
        EXPECT_GE(Contrast(kIconTrace, Behind(shot, box, kIconTrace)), 3.0) << panel;
        EXPECT_GE(box.height(), strip.height() - 2) << panel << ": the icon fills the slot";
        EXPECT_EQ(box.width(), box.height()) << panel << ": square";
        // trayer gives an icon that was there before it one pixel more.
        EXPECT_GE(box.width(), strip.width() - 3) << panel << ": no empty space at the sides";
        // Drawn in the slot's device pixels, a sample to each column: the
        // steep strokes of the tone are one pixel wide, which no picture
        // scaled up from half the size has.
        // The tone's phase moves from frame to frame: some frame shows them.
        const auto thin = [&] {
            const QImage now = x.Screenshot();
            const auto traced = [&](int x, int y) { return now.pixel(x, y) == kIconTrace; };
            int count = 0;
            for (int y = box.top(); y <= box.bottom(); ++y)
                for (int x = box.left() + 1; x < box.right(); ++x)
                    count += traced(x, y) && !traced(x - 1, y) && !traced(x + 1, y);
            return count >= box.height();
        };
        EXPECT_TRUE(WaitFor(thin, 10s)) << panel << ": one-pixel strokes";
    };
    measure("dark");
    // The panel starts again, light, while Kelvo's icon is shown.
    trayer.reset();
    trayer = Trayer(x, "0xf0f0f0");
    measure("light");
}
