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
constexpr const char* kPanel = R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
 <property name="configver" type="int" value="2"/>
 <property name="panels" type="array"><value type="int" value="1"/>
  <property name="panel-1" type="empty">
   <property name="position" type="string" value="p=6;x=0;y=0"/>
   <property name="length" type="uint" value="100"/>
   <property name="size" type="uint" value="26"/>
   <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
  </property>
 </property>
 <property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray"/></property>
</channel>
)";

// The index of the server's source `name`, and that of the source Kelvo's one stream records.
std::string SourceIndex(const SoundServer& sound, const std::string& name)
{
    std::smatch found;
    const std::string sources = sound.Pactl({"list", "short", "sources"}).output;
    return std::regex_search(sources, found, std::regex("(\\d+)\\s+" + name + "\\s")) ? found[1].str() : "";
}
std::string Recorded(const SoundServer& sound)
{
    std::smatch found;
    const std::string streams = sound.Pactl({"list", "short", "source-outputs"}).output;
    return std::regex_search(streams, found, std::regex("^\\d+\\s+(\\d+)\\s")) ? found[1].str() : "";
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
    Desktop desktop = x.ForClients();  // Kelvo's: as in a session, a bus shared with the panel
    desktop.environment.insert({{"DBUS_SESSION_BUS_ADDRESS", bus.Address()}, {"NO_AT_BRIDGE", "1"}});
    Environment panelEnvironment = desktop.environment;
    panelEnvironment["XDG_CONFIG_HOME"] = config.string();
    Process settings(user.Command({"/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd"}, panelEnvironment));
    Process panel(user.Command({"xfce4-panel"}, panelEnvironment), {}, user.Home() / "panel.log");
    ASSERT_TRUE(WaitFor([&] { return bus.HostRegistered(); }, 30s)) << ReadFile(user.Home() / "panel.log");

    // Two sources with the same description; the tone's is not the default.
    SoundServer sound;
    sound.Pactl({"load-module", "module-null-sink", "sink_name=kelvo_tone"});
    sound.Pactl({"set-default-source", "kelvo_test.monitor"});
    const auto player = sound.Play(Tone(437, 0.8, 120));  // a trace to find the icon by
    Kelvo kelvo(desktop, {{"PULSE_SERVER", sound.ServerAddress()}}, {"/tray"});
    ASSERT_TRUE(WaitFor([&] { return bus.RegisteredItems().size() == 1; }, 20s)) << kelvo.Log();
    const std::string item = bus.RegisteredItems().at(0);
    const std::string layout = bus.Send({"--dest=" + item.substr(0, item.find('/')), "/MenuBar",
                                         "com.canonical.dbusmenu.GetLayout", "int32:0", "int32:-1", "array:string:"})
                                   .output;
    for (const std::string name : {"kelvo__test", "kelvo__tone"}) {
        EXPECT_NE(layout.find("\"Monitor of Null Output (" + name + ".monitor)\""), std::string::npos) << layout;
    }

    const QRect strip(0, 0, 200, 26);
    Found icon;
    ASSERT_TRUE(WaitFor([&] { return (icon = Find(x.Screenshot(), strip, qRgb(0, 0, 255), 90)).pixels >= 3; }, 20s))
        << kelvo.Log();
    // The menu opens below the panel, and the submenu beside it.
    const QRect below(0, 30, 640, 200);
    const auto drawn = [&](QRect area) { return Find(x.Screenshot(), area, qRgb(0, 0, 0)).pixels < area.width() * area.height(); };
    const QRect besides(170, 30, 400, 200);
    ASSERT_TRUE(Retrying([&] { x.Click(icon.box.center(), 3); }, [&] { return drawn(below); })) << "the menu";
    EXPECT_FALSE(drawn(besides));
    x.Xdotool({"key", "Down", "Down", "Right"});
    ASSERT_TRUE(WaitFor([&] { return drawn(besides); }, 10s)) << "the submenu";
    // Past "What is playing" and the default's monitor.
    x.Xdotool({"key", "Down", "Down", "Down", "Return"});
    const std::string tone = SourceIndex(sound, "kelvo_tone\\.monitor");
    EXPECT_TRUE(WaitFor([&] { return Recorded(sound) == tone; }, 10s)) << sound.Pactl({"list", "short", "source-outputs"}).output;

    // Kelvo ends while the panel shows its menu: the panel stays.
    ASSERT_TRUE(Retrying([&] { x.Click(icon.box.center(), 3); }, [&] { return drawn(below); }));
    EXPECT_EQ(kelvo.process().Stop(SIGTERM), 0);
    EXPECT_TRUE(WaitFor([&] { return bus.RegisteredItems().empty(); }, 10s));
    EXPECT_TRUE(panel.Running()) << ReadFile(user.Home() / "panel.log");
}
