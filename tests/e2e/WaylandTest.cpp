// Kelvo on Wayland desktops and with StatusNotifierItem trays: sway with
// waybar, and weston without a tray.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

constexpr QRgb kIconTrace = qRgb(0, 0, 255);  // also the window's caption strip
constexpr QRgb kWindowTrace = qRgb(128, 255, 255);
constexpr QRgb kMessageBox = qRgb(239, 239, 239);
const QRect kPanel(0, 0, 640, 24);

TEST(Wayland, OnSwayWaybarsTrayShowsTheLiveTraceItsActivateBringsTheWindowBackAndItsMenusExitEnds)
{
    DesktopUser user;
    SessionBus bus(user);
    // Headless sway with waybar showing only its tray. It has no input
    // devices: the test calls the tray item's methods on the bus.
    const fs::path home = user.Home();
    std::ofstream(home / "sway.conf") << "output * resolution 640x480\n";
    std::ofstream(home / "waybar.json") << R"({"layer": "top", "position": "top", "height": 24, "modules-left": ["tray"],)"
                                           R"( "tray": {"icon-size": 16, "spacing": 4}})";
    user.Own(home);
    Environment env{{"XDG_RUNTIME_DIR", home.string()}, {"DBUS_SESSION_BUS_ADDRESS", bus.Address()},
                    {"WLR_BACKENDS", "headless"},     {"WLR_LIBINPUT_NO_DEVICES", "1"},
                    {"WLR_RENDERER", "pixman"},       {"GTK_A11Y", "none"},
                    {"NO_AT_BRIDGE", "1"}};
    Process sway(user.Command({"sway", "--config", (home / "sway.conf").string()}, env), {}, home / "sway.log");
    fs::path socket;  // the first "wayland-" entry that is not its lock
    const auto up = [&] {
        for (const auto& entry : fs::directory_iterator(home)) {
            const std::string name = entry.path().filename();
            if (name.starts_with("wayland-") && entry.path().extension() != ".lock") socket = entry.path();
        }
        return !socket.empty() || !sway.Running();
    };
    ASSERT_TRUE(WaitFor(up, 20s));
    ASSERT_TRUE(sway.Running()) << "sway did not come up";
    env["WAYLAND_DISPLAY"] = socket.string();
    Process waybar(user.Command({"waybar", "--config", (home / "waybar.json").string()}, env), {}, home / "waybar.log");
    ASSERT_TRUE(WaitFor([&] { return bus.HostRegistered(); }, 20s)) << "waybar's tray did not come up";
    const Desktop desktop{{{"WAYLAND_DISPLAY", socket.string()}, {"QT_QPA_PLATFORM", "wayland"},
                           {"DBUS_SESSION_BUS_ADDRESS", bus.Address()}}, &user};
    const auto screenshot = [&] {
        fs::remove(home / "shot.png");
        e2e::Run(user.Command({"grim", (home / "shot.png").string()}, env));
        return QImage(QString::fromStdString((home / "shot.png").string())).convertToFormat(QImage::Format_RGB32);
    };
    SoundServer sound;
    const auto player = sound.Play(Tone(437, 0.8, 120));  // not 440 Hz, whose 150 ms frames all look alike
    const QRect below(0, kPanel.height(), 640, 480 - kPanel.height());
    // waybar calls the item's methods on a click: so does the test.
    const auto call = [&](const std::string& path, std::vector<std::string> arguments) {
        const std::string item = bus.RegisteredItems().at(0);
        arguments.insert(arguments.begin(), {"--dest=" + item.substr(0, item.find('/')), path});
        return bus.Send(arguments).output;
    };
    // Two runs: Activate brings the window back; the menu's Exit ends Kelvo.
    for (const bool activate : {true, false}) {
        Kelvo kelvo(desktop, sound.ClientEnvironment(), {"/tray"});
        QImage first;
        ASSERT_TRUE(WaitFor([&] { return Find(first = screenshot(), kPanel, kIconTrace).pixels >= 3; }, 20s)) << kelvo.Log();
        EXPECT_TRUE(WaitFor([&] { return screenshot().copy(kPanel) != first.copy(kPanel); }, 10s)) << "live";
        // Legible on waybar's dark bar: 3:1 at least against what is behind it.
        const QRgb behind = Behind(first, Find(first, kPanel, kIconTrace).box, kIconTrace);
        EXPECT_GE(Contrast(kIconTrace, behind), 3.0) << QColor(behind).name().toStdString() << " behind it";
        EXPECT_EQ(Find(first, below, kWindowTrace).pixels, 0) << "no window";
        ASSERT_EQ(bus.RegisteredItems().size(), 1u);
        if (activate) {
            call("/StatusNotifierItem", {"org.kde.StatusNotifierItem.Activate", "int32:0", "int32:0"});
            EXPECT_TRUE(WaitFor([&] { return Find(screenshot(), below, kWindowTrace).pixels > 20; }, 10s));
            EXPECT_TRUE(WaitFor([&] { return bus.RegisteredItems().empty(); }, 10s)) << kelvo.Log();
            continue;
        }
        // The menu waybar shows is the window's own (its entries are the unit tests').
        const std::string menu = call("/MenuBar", {"com.canonical.dbusmenu.GetLayout", "int32:0", "int32:-1", "array:string:"});
        std::smatch exit;
        ASSERT_TRUE(std::regex_search(menu, exit, std::regex("int32 (\\d+)\\s+array \\[[^\\]]*\"Exit\""))) << menu;
        call("/MenuBar",
             {"com.canonical.dbusmenu.Event", "int32:" + exit[1].str(), "string:clicked", "variant:int32:0", "uint32:0"});
        EXPECT_EQ(kelvo.process().WaitExit(15s), std::optional<int>(0)) << kelvo.Log();
        EXPECT_TRUE(WaitFor([&] { return bus.RegisteredItems().empty(); }, 10s)) << "the item is gone";
    }
}

// That the user is told only once is the unit tests'.
TEST(Wayland, OnWestonTheWindowDrawsAndDragsWithoutATrayStaysSayingSoAndALostCompositorEndsItWithStatusZero)
{
    XServer x;
    // weston with its desktop shell and no tray, 600 x 440 at the top left of
    // x: its X11 back end takes xdotool's input.
    TempDir runtime;
    const fs::path socket = runtime.path() / "wayland-kelvo";
    Process weston(
        {"weston", "--backend=x11-backend.so", "--use-pixman", "--width=600", "--height=440", "--socket=wayland-kelvo"},
        {{"DISPLAY", x.Display()}, {"XDG_RUNTIME_DIR", runtime.path().string()}}, runtime.path() / "weston.log");
    ASSERT_TRUE(WaitFor([&] { return fs::exists(socket) || !weston.Running(); }, 20s));
    ASSERT_TRUE(weston.Running()) << "weston did not come up";
    x.Xdotool({"mousemove", "639", "479"});  // off weston's window, so that the first move into it is an entry
    SoundServer sound;
    const auto player = sound.Play(Tone(440, 0.8, 120));
    Kelvo kelvo({{{"WAYLAND_DISPLAY", socket.string()}, {"QT_QPA_PLATFORM", "wayland"}}}, sound.ClientEnvironment());

    // Below weston's panel, whose launcher has the trace's colour too.
    const QRect desktop(0, 40, 600, 400);
    Found trace;
    ASSERT_TRUE(WaitFor([&] { return (trace = Find(x.Screenshot(), desktop, kWindowTrace)).pixels > 20; }, 20s))
        << kelvo.Log();
    const QPoint canvas = trace.box.center();
    const auto boxShown = [&] { return Find(x.Screenshot(), desktop, kMessageBox).pixels > 5000; };

    ASSERT_TRUE(Retrying([&] { x.Click(canvas, 1, 2); }, boxShown)) << kelvo.Log();
    x.Xdotool({"key", "Return"});
    ASSERT_TRUE(WaitFor([&] { return !boxShown(); }, 10s));

    // The window stays: a drag by its caption strip, and weston moves it.
    const auto caption = [&] { return Find(x.Screenshot(), desktop, kIconTrace).box; };
    const QRect before = caption();
    x.Drag(before.center(), QPoint(60, 40));
    EXPECT_TRUE(WaitFor([&] { return caption() == before.translated(60, 40); }, 10s));
    EXPECT_GT(Find(x.Screenshot(), desktop, kWindowTrace).pixels, 20) << "the window stays";
    EXPECT_EQ(kelvo.Log(), "") << "nothing to say about placing the window";
    // A logout: the compositor goes, and a first run's interval is stored.
    weston.Stop(SIGKILL);
    EXPECT_EQ(kelvo.process().WaitExit(10s), std::optional<int>(0)) << kelvo.Log();
    EXPECT_NE(ReadFile(kelvo.ConfigHome() / "kelvo" / "user.reg").find("\"Frequency\"=dword:00000096"), std::string::npos);
}

}  // namespace
