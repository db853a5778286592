// The about box opened from the window's menu and from the tray icon's menu,
// on a real X server with a real tray host.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

void Click(const XServer& x, QPoint at, int button, int repeat = 1)
{
    // A real move first: after a modal window, a press without one is lost.
    x.Xdotool({"mousemove", std::to_string(at.x() + 1), std::to_string(at.y())});
    x.Xdotool({"mousemove", std::to_string(at.x()), std::to_string(at.y())});
    x.Xdotool({"click", "--repeat", std::to_string(repeat), "--delay", "60", std::to_string(button)});
}

// The tray icon's blue trace in trayer's panel, top left.
std::optional<QPoint> TrayIconAt(const XServer& x)
{
    const QImage shot = x.Screenshot();
    for (int y = 0; y < 24; ++y) {
        for (int px = 0; px < 64; ++px) {
            if (shot.pixel(px, y) == qRgb(0, 0, 255)) return QPoint(px, 12);
        }
    }
    return std::nullopt;
}

// Chooses About... (the last item: separators are skipped) once the menu is up.
void ChooseAbout(const XServer& x, Kelvo& kelvo, QPoint at)
{
    Click(x, at, 3);
    ASSERT_TRUE(WaitFor([&] { return x.WindowsOfPid(kelvo.process().pid()).size() >= 2 ||
                                     !x.WindowsNamed("Kelvo").empty(); }, 10s));
    x.Xdotool({"key", "Down", "Down", "Down", "Down", "Return"});
}

// Waits for the box, checks where and how it shows, closes it with `key`.
void CheckAndClose(const XServer& x, const std::string& key)
{
    std::vector<std::string> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = x.WindowsNamed("Kelvo")).empty(); }, 10s));
    const QRect box = x.Geometry(boxes.front());
    EXPECT_EQ(box.topLeft(), QPoint((640 - box.width()) / 2, (480 - box.height()) / 2)) << "centred";
    const std::string state = Run({"xprop", "-id", boxes.front(), "_NET_WM_STATE"}, {{"DISPLAY", x.Display()}}).output;
    EXPECT_NE(state.find("_NET_WM_STATE_SKIP_TASKBAR"), std::string::npos) << state;
    EXPECT_NE(state.find("_NET_WM_STATE_MODAL"), std::string::npos) << state;
    x.Xdotool({"windowfocus", "--sync", boxes.front()});
    x.Xdotool({"key", key});
    EXPECT_TRUE(WaitFor([&] { return x.WindowsNamed("Kelvo").empty(); }, 10s)) << key << " closes it";
}

TEST(AboutBox, OpensFromTheWindowsMenuAndFromTheTrayMenu)
{
    XServer x;
    SoundServer sound;
    const auto player = sound.Play(Tone(440, 0.8, 120));
    Process trayer({"trayer", "--edge", "top", "--align", "left", "--widthtype", "request", "--height", "24",
                    "--SetDockType", "false"},
                   {{"DISPLAY", x.Display()}});
    Kelvo kelvo(x, sound.ClientEnvironment());
    const auto window = kelvo.MainWindow();
    ASSERT_TRUE(window) << kelvo.Log();
    const QPoint centre = x.Geometry(*window).center();

    ChooseAbout(x, kelvo, centre);
    CheckAndClose(x, "Escape");
    EXPECT_TRUE(kelvo.MainWindow(0ms)) << "the applet runs on";

    Click(x, centre, 1, 2);  // into the tray
    std::optional<QPoint> icon;
    ASSERT_TRUE(WaitFor([&] { return (icon = TrayIconAt(x)).has_value(); }, 20s)) << kelvo.Log();
    ChooseAbout(x, kelvo, *icon);
    CheckAndClose(x, "Return");
    EXPECT_EQ(kelvo.process().Stop(SIGTERM), 0) << kelvo.Log();
}

}  // namespace
