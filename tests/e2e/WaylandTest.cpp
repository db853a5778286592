// Kelvo on Wayland desktops and with StatusNotifierItem trays: sway with
// waybar, weston without a tray, and X11 with a StatusNotifierItem tray.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <regex>

using namespace e2e;

namespace {

constexpr QRgb kIconTrace = qRgb(0, 0, 255);  // also the window's caption strip
constexpr QRgb kWindowTrace = qRgb(128, 255, 255);
constexpr QRgb kMessageBox = qRgb(239, 239, 239);
constexpr QRgb kWhite = qRgb(255, 255, 255);
const QRect kPanel(0, 0, 640, 24);

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

TEST(Wayland, OnSwayWaybarsTrayShowsTheLiveTraceItsActivateBringsTheWindowBackAndItsMenusExitEnds)
{
    DesktopUser user;
    SessionBus bus(user);
    Sway sway(user, bus);
    SoundServer sound;
    const auto player = sound.Play(Tone(440, 0.8, 120));
    const QRect desktop(0, kPanel.height(), 640, 480 - kPanel.height());
    // waybar calls the item's methods on a click: so does the test.
    const auto call = [&](const std::string& path, std::vector<std::string> arguments) {
        const std::string item = bus.RegisteredItems().at(0);
        arguments.insert(arguments.begin(), {"--dest=" + item.substr(0, item.find('/')), path});
        return bus.Send(arguments).output;
    };
    // Two runs: Activate brings the window back; the menu's Exit ends Kelvo.
    for (const bool activate : {true, false}) {
        Kelvo kelvo(sway.ForClients(), sound.ClientEnvironment(), {"/tray"});
        ASSERT_TRUE(WaitFor([&] { return Find(sway.Screenshot(), kPanel, kIconTrace).pixels >= 3; }, 20s))
            << kelvo.Log();
        const QImage first = sway.Screenshot();
        EXPECT_TRUE(WaitFor([&] { return sway.Screenshot().copy(kPanel) != first.copy(kPanel); }, 10s)) << "live";
        EXPECT_EQ(Find(first, desktop, kWindowTrace).pixels, 0) << "no window";
        ASSERT_EQ(bus.RegisteredItems().size(), 1u);
        if (activate) {
            call("/StatusNotifierItem", {"org.kde.StatusNotifierItem.Activate", "int32:0", "int32:0"});
            EXPECT_TRUE(WaitFor([&] { return Find(sway.Screenshot(), desktop, kWindowTrace).pixels > 20; }, 10s));
            EXPECT_TRUE(WaitFor([&] { return bus.RegisteredItems().empty(); }, 10s)) << kelvo.Log();
            continue;
        }
        // The menu waybar shows is the window's own, captions and all.
        const std::string menu = call("/MenuBar", {"com.canonical.dbusmenu.GetLayout", "int32:0", "int32:-1", "array:string:"});
        for (const char* caption : {"\"Preferences...\"", "\"Show\"", "\"Exit\"", "\"About...\""}) {
            EXPECT_NE(menu.find(caption), std::string::npos) << caption << " in " << menu;
        }
        EXPECT_EQ(menu.find("\"Hide\""), std::string::npos);
        std::smatch exit;
        ASSERT_TRUE(std::regex_search(menu, exit, std::regex("int32 (\\d+)\\s+array \\[[^\\]]*\"Exit\""))) << menu;
        call("/MenuBar",
             {"com.canonical.dbusmenu.Event", "int32:" + exit[1].str(), "string:clicked", "variant:int32:0", "uint32:0"});
        EXPECT_EQ(kelvo.process().WaitExit(15s), std::optional<int>(0)) << kelvo.Log();
        EXPECT_TRUE(WaitFor([&] { return bus.RegisteredItems().empty(); }, 10s)) << "the item is gone";
    }
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
    const auto boxShown = [&] { return Find(x.Screenshot(), desktop, kMessageBox).pixels > 5000; };

    ASSERT_TRUE(Retrying([&] { x.Click(canvas, 1, 2); }, boxShown)) << kelvo.Log();
    x.Xdotool({"key", "Return"});
    ASSERT_TRUE(WaitFor([&] { return !boxShown(); }, 10s));

    // A drag by the caption strip: weston moves the window.
    const auto caption = [&] { return Find(x.Screenshot(), desktop, kIconTrace).box; };
    const QRect before = caption();
    x.Drag(before.center(), QPoint(60, 40));
    EXPECT_TRUE(WaitFor([&] { return caption() == before.translated(60, 40); }, 10s));
    canvas += caption().topLeft() - before.topLeft();

    x.Click(canvas, 1, 2);
    // The right button's menu opens once the double-click has been handled.
    x.Click(canvas, 3);
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
    Desktop desktop = x.ForClients();
    desktop.environment["DBUS_SESSION_BUS_ADDRESS"] = bus.Address();
    desktop.environment["NO_AT_BRIDGE"] = "1";
    // On a busy machine this host at times trips over its own watcher as it
    // starts, and ends: it is started again then.
    std::unique_ptr<Process> tray;
    for (int start = 0; start < 3 && !bus.HostRegistered(); ++start) {
        tray = std::make_unique<Process>(
            std::vector<std::string>{"gtk-sni-tray-standalone", "--top", "--beginning", "--watcher", "--size", "24"},
            desktop.environment);
        WaitFor([&] { return bus.HostRegistered() || !tray->Running(); }, 20s);
    }
    ASSERT_TRUE(bus.HostRegistered());
    SoundServer sound;
    const auto player = sound.Play(Tone(440, 0.8, 120));
    Kelvo kelvo(desktop, sound.ClientEnvironment(), {"/tray"});

    ASSERT_TRUE(WaitFor([&] { return bus.RegisteredItems().size() == 1; }, 20s)) << kelvo.Log();
    Found icon;
    // This host scales icons: their colours blur.
    ASSERT_TRUE(WaitFor([&] { return (icon = Find(x.Screenshot(), kPanel, kIconTrace, 90)).pixels >= 3; }, 20s));
    EXPECT_TRUE(Retrying([&] { x.Click(icon.box.center(), 1); }, [&] { return kelvo.MainWindow(0ms).has_value(); }))
        << kelvo.Log();
    EXPECT_TRUE(WaitFor([&] { return bus.RegisteredItems().empty(); }, 10s));
}

}  // namespace
