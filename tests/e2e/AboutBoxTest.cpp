// The about box opened from the window's menu and from the tray icon's menu,
// on a real X server with a real tray host.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

using namespace e2e;

TEST(AboutBox, OpensFromTheWindowsMenuAndFromTheTrayMenu)
{
    XServer x;
    SoundServer sound;
    Process trayer({"trayer", "--edge", "top", "--align", "left", "--widthtype", "request", "--height", "24",
                    "--SetDockType", "false"}, {{"DISPLAY", x.Display()}});
    Kelvo kelvo(x, sound.ClientEnvironment());
    ASSERT_TRUE(kelvo.MainWindow()) << kelvo.Log();
    const QPoint centre = x.Geometry(*kelvo.MainWindow()).center();
    // On the window, then on the tray icon (first in trayer's panel); Esc, then Enter closes the box.
    for (const auto& [at, key] : {std::pair{centre, "Escape"}, std::pair{QPoint(11, 12), "Return"}}) {
        const std::size_t windows = x.WindowsOfPid(kelvo.process().pid()).size();
        // A real move first: after a modal window, a press without one is lost.
        x.Xdotool({"mousemove", std::to_string(at.x() + 1), std::to_string(at.y()), "mousemove",
                   std::to_string(at.x()), std::to_string(at.y()), "click", "3"});
        ASSERT_TRUE(WaitFor([&] { return x.WindowsOfPid(kelvo.process().pid()).size() > windows; }, 10s));
        x.Xdotool({"key", "Down", "Down", "Down", "Down", "Return"});  // About..., past the separators
        std::vector<std::string> box;
        ASSERT_TRUE(WaitFor([&] { return !(box = x.WindowsNamed("Kelvo")).empty(); }, 10s));
        const QRect g = x.Geometry(box.front());
        EXPECT_EQ(g.topLeft(), QPoint((640 - g.width()) / 2, (480 - g.height()) / 2)) << "centred";
        EXPECT_NE(e2e::Run({"xprop", "-id", box.front(), "_NET_WM_STATE"}, {{"DISPLAY", x.Display()}}).output.find("SKIP_TASKBAR"),
                  std::string::npos);
        x.Xdotool({"windowfocus", "--sync", box.front(), "key", key});
        EXPECT_TRUE(WaitFor([&] { return x.WindowsNamed("Kelvo").empty(); }, 10s)) << key << " closes it";
        // Into the tray (nothing is there to click once it is).
        x.Xdotool({"mousemove", std::to_string(centre.x()), std::to_string(centre.y()), "click", "--repeat", "2", "1"});
        ASSERT_TRUE(WaitFor([&] { return !kelvo.MainWindow(0ms); }, 10s)) << "in the tray";
    }
    EXPECT_EQ(kelvo.process().Stop(SIGTERM), 0) << kelvo.Log();
}
