// Kelvo on Wayland desktops and with StatusNotifierItem trays: sway with
// waybar, weston without a tray, and X11 with a StatusNotifierItem tray.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

constexpr QRgb kIconTrace = qRgb(0, 0, 255);  // also the window's caption strip
constexpr QRgb kWindowTrace = qRgb(128, 255, 255);
constexpr QRgb kMessageBox = qRgb(239, 239, 239);
constexpr QRgb kWhite = qRgb(255, 255, 255);
const QRect kPanel(0, 0, 640, 24);

// The item a menu lists between its first two separators: rows of one
// colour, not the menu's, across the middle of the menu.
QPoint BetweenSeparators(const QImage& shot, QRect menu)
{
    std::vector<int> separators;
    for (int y = menu.top() + 2; y < menu.bottom() - 2 && separators.size() < 2; ++y) {
        const QRgb first = shot.pixel(menu.center().x(), y);
        bool line = first != kWhite;
        for (int x = menu.left() + menu.width() / 4; line && x < menu.right() - menu.width() / 4; ++x) {
            line = shot.pixel(x, y) == first;
        }
        if (line && (separators.empty() || y > separators.back() + 1)) separators.push_back(y);
    }
    if (separators.size() < 2) return {};
    return QPoint(menu.center().x(), (separators[0] + separators[1]) / 2);
}

// Input that arrives just as a surface appears can be lost: repeats `act`
// until `done` holds.
bool Retrying(const std::function<void()>& act, const std::function<bool()>& done)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        act();
        if (WaitFor(done, 4s)) return true;
    }
    return false;
}

TEST(Wayland, OnSwayWaybarsTrayShowsTheLiveTraceAndItsClicksAndMenuWork)
{
    DesktopUser user;
    SessionBus bus(user);
    Sway sway(user, bus);
    SoundServer sound;
    const auto player = sound.Play(Tone(440, 0.8, 120));
    Kelvo kelvo(sway.ForClients(), sound.ClientEnvironment(), {"/tray"});

    Found icon;
    ASSERT_TRUE(WaitFor([&] { return (icon = Find(sway.Screenshot(), kPanel, kIconTrace)).pixels >= 3; }, 20s))
        << kelvo.Log();
    const QImage first = sway.Screenshot().copy(kPanel);
    EXPECT_TRUE(WaitFor([&] { return sway.Screenshot().copy(kPanel) != first; }, 10s)) << "the trace is live";
    EXPECT_FALSE(sway.MainWindow());
    ASSERT_EQ(bus.RegisteredItems().size(), 1u);

    // waybar answers a left click with Activate: the window comes back.
    ASSERT_TRUE(Retrying([&] { sway.Click(icon.box.center(), 1); },
                         [&] { return sway.MainWindow().has_value(); }))
        << kelvo.Log();
    EXPECT_TRUE(WaitFor([&] { return bus.RegisteredItems().empty(); }, 10s));
    std::optional<QRect> window = sway.MainWindow();
    EXPECT_TRUE(WaitFor([&] { return Find(sway.Screenshot(), *window, kWindowTrace).pixels > 20; }, 10s));

    ASSERT_TRUE(Retrying([&] { sway.Click(window->center(), 1, 2); },
                         [&] { return !sway.MainWindow() && bus.RegisteredItems().size() == 1; }));
    // The menu waybar draws is the window's own, captions and all.
    const std::string item = bus.RegisteredItems().front();
    const std::string menu = bus.Send({"--dest=" + item.substr(0, item.find('/')), "/MenuBar",
                                       "com.canonical.dbusmenu.GetLayout", "int32:0", "int32:-1", "array:string:"})
                                 .output;
    for (const char* caption : {"\"Preferences...\"", "\"Show\"", "\"Exit\"", "\"About...\""}) {
        EXPECT_NE(menu.find(caption), std::string::npos) << caption << " in " << menu;
    }
    EXPECT_EQ(menu.find("\"Hide\""), std::string::npos);

    QPoint exit;
    ASSERT_TRUE(Retrying([&] { sway.Click(icon.box.center(), 3); },
                         [&] {
                             const QImage shot = sway.Screenshot();
                             const Found white = Find(shot, QRect(0, kPanel.height(), 320, 240), kWhite);
                             exit = white.pixels > 2000 ? BetweenSeparators(shot, white.box) : QPoint();
                             return !exit.isNull();
                         }))
        << "waybar shows the menu";
    sway.Click(exit, 1);
    EXPECT_EQ(kelvo.process().WaitExit(15s), std::optional<int>(0)) << kelvo.Log();
    EXPECT_TRUE(WaitFor([&] { return bus.RegisteredItems().empty(); }, 10s)) << "the item is gone";
}

TEST(Wayland, OnWestonTheWindowDrawsAndDragsAndWithoutATrayStaysSayingSoOnce)
{
    XServer x;
    Weston weston(x);
    SoundServer sound;
    const auto player = sound.Play(Tone(440, 0.8, 120));
    Kelvo kelvo(weston.ForClients(), sound.ClientEnvironment());

    // Below weston's panel, whose launcher has the trace's colour too.
    const QRect desktop(0, 40, 600, 400);
    Found trace;
    ASSERT_TRUE(WaitFor([&] { return (trace = Find(x.Screenshot(), desktop, kWindowTrace)).pixels > 20; }, 20s))
        << kelvo.Log();
    QPoint canvas = trace.box.center();
    const auto doubleClick = [&] {
        x.Xdotool({"mousemove", std::to_string(canvas.x()), std::to_string(canvas.y())});
        x.Xdotool({"click", "--repeat", "2", "--delay", "80", "1"});
    };
    const auto boxShown = [&] { return Find(x.Screenshot(), desktop, kMessageBox).pixels > 5000; };

    ASSERT_TRUE(Retrying(doubleClick, boxShown)) << kelvo.Log();
    x.Xdotool({"key", "Return"});
    ASSERT_TRUE(WaitFor([&] { return !boxShown(); }, 10s));

    // A drag by the caption strip: weston moves the window.
    const auto caption = [&] { return Find(x.Screenshot(), desktop, kIconTrace).box; };
    const QRect before = caption();
    x.Xdotool({"mousemove", std::to_string(before.center().x()), std::to_string(before.center().y())});
    x.Xdotool({"mousedown", "1"});
    for (int step = 1; step <= 4; ++step) {
        x.Xdotool({"mousemove", std::to_string(before.center().x() + 15 * step),
                   std::to_string(before.center().y() + 10 * step)});
    }
    x.Xdotool({"mouseup", "1"});
    EXPECT_TRUE(WaitFor([&] { return caption() == before.translated(60, 40); }, 10s));
    canvas += caption().topLeft() - before.topLeft();

    doubleClick();
    // The right button's menu opens once the double-click has been handled.
    x.Xdotool({"click", "3"});
    ASSERT_TRUE(WaitFor([&] { return Find(x.Screenshot(), desktop, kWhite).pixels > 2000; }, 10s));
    EXPECT_FALSE(boxShown()) << "told only once";
    EXPECT_GT(Find(x.Screenshot(), desktop, kWindowTrace).pixels, 20) << "the window stays";
    EXPECT_EQ(kelvo.process().Stop(SIGTERM), 0) << kelvo.Log();
    EXPECT_EQ(kelvo.Log(), "") << "nothing to say about placing the window";
}

TEST(Wayland, OnX11AStatusNotifierItemTraysClickBringsTheWindowBack)
{
    XServer x;
    DesktopUser user;
    SessionBus bus(user);
    Environment env{{"DISPLAY", x.Display()}, {"DBUS_SESSION_BUS_ADDRESS", bus.Address()}, {"NO_AT_BRIDGE", "1"}};
    Process tray({"gtk-sni-tray-standalone", "--top", "--beginning", "--watcher", "--size", "24"}, env);
    ASSERT_TRUE(WaitFor([&] { return bus.HostRegistered(); }, 20s));
    SoundServer sound;
    const auto player = sound.Play(Tone(440, 0.8, 120));
    env["QT_QPA_PLATFORM"] = "xcb";
    Kelvo kelvo(Desktop{env, nullptr, &x}, sound.ClientEnvironment(), {"/tray"});

    ASSERT_TRUE(WaitFor([&] { return bus.RegisteredItems().size() == 1; }, 20s)) << kelvo.Log();
    Found icon;
    // This host scales icons: their colours blur.
    ASSERT_TRUE(WaitFor([&] { return (icon = Find(x.Screenshot(), kPanel, kIconTrace, 90)).pixels >= 3; }, 20s));
    const auto click = [&] {
        x.Xdotool({"mousemove", std::to_string(icon.box.center().x()), std::to_string(icon.box.center().y())});
        x.Xdotool({"click", "1"});
    };
    EXPECT_TRUE(Retrying(click, [&] { return kelvo.MainWindow(0ms).has_value(); })) << kelvo.Log();
    EXPECT_TRUE(WaitFor([&] { return bus.RegisteredItems().empty(); }, 10s));
}

}  // namespace
