// The preferences dialog from both menus, against a real X server, a real
// XEmbed tray host and a real sound server.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <regex>

using namespace e2e;

namespace {

class Preferences : public ::testing::Test {
protected:
    void Click(QPoint at, int button, int repeat = 1)
    {
        x.Xdotool({"mousemove", std::to_string(at.x()), std::to_string(at.y())});
        x.Xdotool({"click", "--repeat", std::to_string(repeat), "--delay", "60", std::to_string(button)});
    }

    std::optional<std::string> Window(const std::string& title)
    {
        std::optional<std::string> found;
        WaitFor(
            [&] {
                const auto ids = x.WindowsNamed(title);
                if (!ids.empty()) found = ids.front();
                return found.has_value();
            },
            10s);
        return found;
    }

    // Right-click at `at`, then "Preferences...", the menu's first entry.
    std::optional<std::string> OpenFrom(QPoint at)
    {
        Click(at, 3);
        const std::size_t windows = x.WindowsOfPid(kelvo->process().pid()).size();
        WaitFor([&] { return x.WindowsOfPid(kelvo->process().pid()).size() > windows; }, 10s);
        x.Xdotool({"key", "Down", "Return"});
        return Window("Kelvo Preferences");
    }

    // Into the text box, replace its text, then Alt+A for "&Apply".
    void TypeAndApply(const std::string& dialog, const std::string& text)
    {
        x.Xdotool({"windowfocus", "--sync", dialog});
        Click(x.Geometry(dialog).topLeft() + QPoint(95, 21), 1);
        x.Xdotool({"key", "ctrl+a"});
        x.Xdotool({"type", text});
        x.Xdotool({"key", "alt+a"});
    }

    // The intervals the /debug lines report, from the `skip`th line on.
    std::vector<int> Intervals(std::size_t skip = 0)
    {
        static const std::regex line("kelvo: frames=\\d+ interval=(\\d+)");
        std::vector<int> found;
        const std::string log = kelvo->Log();
        for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it) {
            found.push_back(std::stoi((*it)[1]));
        }
        found.erase(found.begin(), found.begin() + static_cast<long>(std::min(skip, found.size())));
        return found;
    }

    std::optional<QPoint> TrayIcon() { return CentreOfColour(x.Screenshot(), QRect(0, 0, 64, 24), qRgb(0, 0, 255)); }

    XServer x;
    SoundServer sound;
    std::unique_ptr<Process> player = sound.Play(Tone(440, 0.8, 120));
    Process trayer{{"trayer", "--edge", "top", "--align", "left", "--widthtype", "request", "--height", "24",
                    "--SetDockType", "false"},
                   {{"DISPLAY", x.Display()}}};
    std::unique_ptr<Kelvo> kelvo;
};

TEST_F(Preferences, AnIntervalAppliedFromEitherMenuRunsAtOnceAndIsStoredAtExit)
{
    kelvo = std::make_unique<Kelvo>(x, sound.ClientEnvironment(), std::vector<std::string>{"/debug"});
    const auto main = kelvo->MainWindow();
    ASSERT_TRUE(main) << kelvo->Log();
    const QRect window = x.Geometry(*main);

    // From the window's menu: 45, applied.
    auto dialog = OpenFrom(window.center());
    ASSERT_TRUE(dialog) << kelvo->Log();
    const QRect placed = x.Geometry(*dialog);
    EXPECT_LE((placed.center() - window.center()).manhattanLength(), 2) << "centred on the main window";
    std::size_t seen = Intervals().size();
    TypeAndApply(*dialog, "45");
    EXPECT_TRUE(WaitFor([&] { return !Intervals(seen).empty() && Intervals(seen).back() == 45; }, 2500ms))
        << kelvo->Log();
    EXPECT_TRUE(x.WindowsNamed("Invalid rate").empty());
    Click(placed.topLeft() + QPoint(133, 153), 1);  // "Ok"
    ASSERT_TRUE(WaitFor([&] { return x.WindowsNamed("Kelvo Preferences").empty(); }, 10s));

    // Into the tray, and from the icon's menu: 14 is refused.
    Click(window.center(), 1, 2);
    std::optional<QPoint> icon;
    ASSERT_TRUE(WaitFor([&] { return (icon = TrayIcon()).has_value(); }, 10s)) << kelvo->Log();
    dialog = OpenFrom(*icon);
    ASSERT_TRUE(dialog) << kelvo->Log();
    TypeAndApply(*dialog, "14");
    const auto refusal = Window("Invalid rate");
    ASSERT_TRUE(refusal) << kelvo->Log();
    x.Xdotool({"windowfocus", "--sync", *refusal});
    x.Xdotool({"key", "Return"});
    ASSERT_TRUE(WaitFor([&] { return x.WindowsNamed("Invalid rate").empty(); }, 10s));
    seen = Intervals().size();
    ASSERT_TRUE(WaitFor([&] { return Intervals(seen).size() >= 2; }, 5s));
    EXPECT_EQ(Intervals(seen), std::vector<int>(Intervals(seen).size(), 45)) << "the interval stays";
    Click(x.Geometry(*dialog).topLeft() + QPoint(205, 153), 1);  // "Cancel"
    ASSERT_TRUE(WaitFor([&] { return x.WindowsNamed("Kelvo Preferences").empty(); }, 10s));

    // Back into the window; Esc ends Kelvo, which stores 45.
    Click(*icon, 1, 2);
    ASSERT_TRUE(kelvo->MainWindow()) << kelvo->Log();
    x.Xdotool({"windowfocus", "--sync", *kelvo->MainWindow()});
    x.Xdotool({"key", "Escape"});
    EXPECT_EQ(kelvo->process().WaitExit(15s), std::optional<int>(0)) << kelvo->Log();
    const CommandResult query = e2e::Run({(KelvoBinary().parent_path() / "kelvo-reg").string(), "query",
                                     "HKCU\\SOFTWARE\\Quennel\\Kelvo", "/v", "Frequency"},
                                    {{"XDG_CONFIG_HOME", kelvo->ConfigHome().string()}});
    EXPECT_EQ(query.code, 0);
    EXPECT_NE(query.output.find("0x2d"), std::string::npos) << query.output;
}

}  // namespace
