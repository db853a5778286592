// The about box opened from the window's menu and from the tray icon's menu,
// on a real X server with a real tray host.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

// Right-clicks at `at` (after a real move: a press without one is lost after
// a modal window), chooses About..., checks the box and closes it with `key`.
void OpenAndClose(const XServer& x, Kelvo& kelvo, QPoint at, const std::string& key)
{
    x.Xdotool({"mousemove", std::to_string(at.x() + 1), std::to_string(at.y())});
    x.Xdotool({"mousemove", std::to_string(at.x()), std::to_string(at.y()), "click", "3"});
    const auto menuShown = [&] {
        for (const auto& id : x.WindowsOfPid(kelvo.process().pid())) {
            if (x.Geometry(id).size() != QSize(188, 94)) return true;
        }
        return false;
    };
    ASSERT_TRUE(WaitFor(menuShown, 10s));
    x.Xdotool({"key", "Down", "Down", "Down", "Down", "Return"});  // separators are skipped
    std::vector<std::string> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = x.WindowsNamed("Kelvo")).empty(); }, 10s));
    const QRect box = x.Geometry(boxes.front());
    EXPECT_EQ(box.topLeft(), QPoint((640 - box.width()) / 2, (480 - box.height()) / 2)) << "centred";
    const std::string state = Run({"xprop", "-id", boxes.front(), "_NET_WM_STATE"}, {{"DISPLAY", x.Display()}}).output;
    EXPECT_NE(state.find("_NET_WM_STATE_SKIP_TASKBAR, _NET_WM_STATE_SKIP_PAGER, _NET_WM_STATE_MODAL"), std::string::npos)
        << state;
    x.Xdotool({"windowfocus", "--sync", boxes.front(), "key", key});
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
    OpenAndClose(x, kelvo, centre, "Escape");

    x.Xdotool({"mousemove", std::to_string(centre.x()), std::to_string(centre.y()), "click", "--repeat", "2", "1"});
    ASSERT_TRUE(WaitFor([&] { return !kelvo.MainWindow(0ms); }, 10s)) << "in the tray";
    OpenAndClose(x, kelvo, QPoint(11, 12), "Return");  // the icon, first in trayer's panel
    EXPECT_EQ(kelvo.process().Stop(SIGTERM), 0) << kelvo.Log();
}

}  // namespace
