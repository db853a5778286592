// The tray menu on a real Xfce panel, whose status tray draws Kelvo's menu
// from com.canonical.dbusmenu: what a host reads before it opens anything
// already holds every source, the Input submenu is whole the first time it
// opens, a choice there moves the recording, and Kelvo may end while the
// panel shows its menu.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <regex>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

// One panel across the top holding only its status tray.
constexpr const char* kPanel =
    R"(<channel name="xfce4-panel" version="1.0"><property name="configver" type="int" value="2"/>)"
    R"(<property name="panels" type="array"><value type="int" value="1"/><property name="panel-1" type="empty">)"
    R"(<property name="position" type="string" value="p=6;x=0;y=0"/><property name="size" type="uint" value="26"/>)"
    R"(<property name="plugin-ids" type="array"><value type="int" value="1"/></property></property></property>)"
    R"(<property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray"/></property></channel>)";

// The first field of the line of `pactl list short` whose second matches `pattern`.
std::string Index(const SoundServer& sound, const std::string& list, const std::string& pattern)
{
    std::smatch found;
    const std::string lines = sound.Pactl({"list", "short", list}).output;
    return std::regex_search(lines, found, std::regex("^(\\d+)\\s+" + pattern + "\\s", std::regex::multiline)) ? found[1].str() : "";
}

}  // namespace

TEST(PanelMenu, OnXfcesPanelTheInputSubmenuIsWholeAtItsFirstOpeningAndItsChoiceMovesTheRecording)
{
    XServer x;
    DesktopUser user;
    SessionBus bus(user);
    const fs::path config = user.Home() / "config";
    fs::create_directories(config / "xfce4/xfconf/xfce-perchannel-xml");
    std::ofstream(config / "xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml") << kPanel;
    user.Own(user.Home());
    // Kelvo, as in a session, shares the panel's bus (it keeps its own configuration).
    Desktop desktop = x.ForClients();
    desktop.environment.insert({{"DBUS_SESSION_BUS_ADDRESS", bus.Address()}, {"NO_AT_BRIDGE", "1"},
                                {"XDG_CONFIG_HOME", config.string()}});
    Process settings(user.Command({"/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd"}, desktop.environment));
    Process panel(user.Command({"xfce4-panel"}, desktop.environment), {}, user.Home() / "panel.log");
    ASSERT_TRUE(WaitFor([&] { return bus.HostRegistered(); }, 30s)) << ReadFile(user.Home() / "panel.log");

    // Two sources with the same description; the tone's is not the default.
    SoundServer sound;
    sound.Pactl({"load-module", "module-null-sink", "sink_name=kelvo_tone"});
    sound.Pactl({"set-default-source", "kelvo_test.monitor"});
    const auto player = sound.Play(Tone(437, 0.8, 120));  // a trace to find the icon by
    Kelvo kelvo(desktop, {{"PULSE_SERVER", sound.ServerAddress()}}, {"/tray"});
    ASSERT_TRUE(WaitFor([&] { return bus.RegisteredItems().size() == 1; }, 20s)) << kelvo.Log();
    const std::string item = bus.RegisteredItems().at(0);
    const auto layout = [&] {
        return bus.Send({"--dest=" + item.substr(0, item.find('/')), "/MenuBar", "com.canonical.dbusmenu.GetLayout",
                         "int32:0", "int32:-1", "array:string:"}).output;
    };
    const std::string before = layout();  // as a host reads it before it opens anything
    for (const std::string name : {"kelvo__test", "kelvo__tone"}) {
        EXPECT_NE(before.find("\"Monitor of Null Output (" + name + ".monitor)\""), std::string::npos) << before;
    }
    // The server tells of a source that comes.
    sound.Pactl({"load-module", "module-null-sink", "sink_name=kelvo_late", "sink_properties=device.description=Late"});
    EXPECT_TRUE(WaitFor([&] { return layout().find("\"Monitor of Late\"") != std::string::npos; }, 10s));

    const QRect strip(0, 0, 200, 26);
    Found icon;
    ASSERT_TRUE(WaitFor([&] { return (icon = Find(x.Screenshot(), strip, qRgb(0, 0, 255), 90)).pixels >= 3; }, 20s))
        << kelvo.Log();
    // The menu opens below the panel, and the submenu beside it.
    const QRect below(0, 30, 640, 200);
    const auto drawn = [&](QRect area) { return Find(x.Screenshot(), area, qRgb(0, 0, 0)).pixels < area.width() * area.height(); };
    const QRect besides(170, 30, 400, 200);
    ASSERT_TRUE(Retrying([&] { x.Click(icon.box.center(), 3); }, [&] { return drawn(below); })) << "the menu";
    x.Xdotool({"key", "Down", "Down", "Right"});
    ASSERT_TRUE(WaitFor([&] { return drawn(besides); }, 10s)) << "the submenu";
    // Past "What is playing" and the default's monitor.
    x.Xdotool({"key", "Down", "Down", "Down", "Return"});
    const std::string tone = Index(sound, "sources", "kelvo_tone\\.monitor");
    EXPECT_TRUE(WaitFor([&] { return !Index(sound, "source-outputs", tone).empty(); }, 10s))
        << sound.Pactl({"list", "short", "source-outputs"}).output;

    // Kelvo ends while the panel shows its menu: the panel stays.
    ASSERT_TRUE(Retrying([&] { x.Click(icon.box.center(), 3); }, [&] { return drawn(below); }));
    EXPECT_EQ(kelvo.process().Stop(SIGTERM), 0);
    EXPECT_TRUE(WaitFor([&] { return bus.RegisteredItems().empty(); }, 10s));
    EXPECT_TRUE(panel.Running()) << ReadFile(user.Home() / "panel.log");
}
