// The tray display and the user's mouse and keyboard, against a real X
// server, a real XEmbed tray host and a real sound server.
#include "e2e/Harness.h"

#include <gtest/gtest.h>


using namespace e2e;

namespace {

constexpr QRgb kBlue = qRgb(0, 0, 255);

int CountColour(const QImage& image, QRect area, QRgb colour)
{
    int n = 0;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) n += image.pixel(x, y) == colour;
    }
    return n;
}

class Tray : public ::testing::Test {
protected:
    void StartTrayHost()
    {
        trayer = std::make_unique<Process>(std::vector<std::string>{"trayer", "--edge", "top", "--align", "left",
                                                                    "--widthtype", "request", "--height", "24",
                                                                    "--SetDockType", "false"},
                                           Environment{{"DISPLAY", x.Display()}});
        // Kelvo started before the host is up would stay in its window.
        WaitFor([&] { return !x.WindowsNamed("panel").empty(); }, 10s);
    }

    // The panel's strip across the top of the screen, where the icon sits.
    static QRect Panel() { return QRect(0, 0, 64, 24); }

    int BlueInPanel() { return CountColour(x.Screenshot(), Panel(), kBlue); }

    // The icon's centre: the middle of the blue trace's columns.
    QPoint IconCentre()
    {
        const QImage shot = x.Screenshot();
        int left = 1000, right = -1;
        for (int y = 0; y < Panel().height(); ++y) {
            for (int px = 0; px < Panel().width(); ++px) {
                if (shot.pixel(px, y) == kBlue) {
                    left = std::min(left, px);
                    right = std::max(right, px);
                }
            }
        }
        return QPoint((left + right) / 2, 12);
    }

    bool MainWindowShown() { return kelvo->MainWindow(0ms).has_value(); }

    void Click(QPoint at, int button, int repeat = 1)
    {
        x.Xdotool({"mousemove", std::to_string(at.x()), std::to_string(at.y())});
        x.Xdotool({"click", "--repeat", std::to_string(repeat), "--delay", "60", std::to_string(button)});
    }

    XServer x;
    SoundServer sound;
    std::unique_ptr<Process> player = sound.Play(Tone(440, 0.8, 120));
    std::unique_ptr<Process> trayer;
    std::unique_ptr<Kelvo> kelvo;
};

TEST_F(Tray, TheIconShowsALiveTraceAndDoubleClicksSwitchTheDisplays)
{
    StartTrayHost();
    kelvo = std::make_unique<Kelvo>(x, sound.ClientEnvironment(), std::vector<std::string>{"/tray"});
    ASSERT_TRUE(WaitFor([&] { return BlueInPanel() >= 3; }, 20s)) << kelvo->Log();
    EXPECT_FALSE(MainWindowShown());

    const QImage first = x.Screenshot().copy(Panel());
    EXPECT_TRUE(WaitFor([&] { return x.Screenshot().copy(Panel()) != first; }, 10s)) << "the trace is live";

    Click(IconCentre(), 1, 2);
    ASSERT_TRUE(WaitFor([&] { return MainWindowShown(); }, 10s)) << "the window comes back";
    EXPECT_TRUE(WaitFor([&] { return BlueInPanel() == 0; }, 10s)) << "and the icon goes";

    const QRect window = x.Geometry(*kelvo->MainWindow());
    EXPECT_EQ(window.topLeft(), QPoint((640 - 188) / 2, (480 - 94) / 2)) << "centred, also after a start in the tray";
    Click(window.center(), 1, 2);
    EXPECT_TRUE(WaitFor([&] { return !MainWindowShown() && BlueInPanel() >= 3; }, 10s)) << "back into the tray";
    trayer.reset();
    EXPECT_TRUE(WaitFor([&] { return MainWindowShown(); }, 10s)) << "the window comes back when the host goes";
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
}

TEST_F(Tray, ALeftDragMovesTheWindowAndEscEndsKelvo)
{
    StartTrayHost();
    kelvo = std::make_unique<Kelvo>(x, sound.ClientEnvironment());
    const auto id = kelvo->MainWindow();
    ASSERT_TRUE(id) << kelvo->Log();
    const QRect before = x.Geometry(*id);

    const QPoint grab = before.topLeft() + QPoint(100, 10);
    x.Xdotool({"mousemove", std::to_string(grab.x()), std::to_string(grab.y())});
    x.Xdotool({"mousedown", "1"});
    for (int step = 1; step <= 4; ++step) {
        x.Xdotool({"mousemove", std::to_string(grab.x() + 10 * step), std::to_string(grab.y() + 8 * step)});
    }
    EXPECT_TRUE(WaitFor([&] { return x.Geometry(*id).topLeft() == before.topLeft() + QPoint(40, 32); }, 10s))
        << "window at " << x.Geometry(*id).x() << "," << x.Geometry(*id).y();
    x.Xdotool({"mouseup", "1"});

    x.Xdotool({"windowfocus", "--sync", *id});
    x.Xdotool({"key", "Escape"});
    EXPECT_EQ(kelvo->process().WaitExit(15s), std::optional<int>(0)) << kelvo->Log();
}

}  // namespace
