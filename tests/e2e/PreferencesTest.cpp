// The preferences dialog from both menus, against a real X server, a real
// XEmbed tray host and a real sound server.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <regex>

using namespace e2e;

namespace {

const std::regex kLine45("interval=45\n");

class Preferences : public ::testing::Test {
protected:
    void Click(QPoint at, int button, int repeat = 1)
    {
        x.Xdotool({"mousemove", std::to_string(at.x()), std::to_string(at.y()), "click", "--repeat",
                   std::to_string(repeat), "--delay", "60", std::to_string(button)});
    }

    bool Shown(const std::string& title, std::string& id)
    {
        std::vector<std::string> ids;
        return WaitFor([&] { return !(ids = x.WindowsNamed(title)).empty() && !(id = ids[0]).empty(); }, 10s);
    }

    // From the menu at `at`: "Preferences...", then `text` into the box and "&Apply" (Alt+A).
    bool OpenAndApply(QPoint at, const std::string& text)
    {
        const std::size_t windows = x.WindowsOfPid(kelvo->process().pid()).size();
        Click(at, 3);
        WaitFor([&] { return x.WindowsOfPid(kelvo->process().pid()).size() > windows; }, 10s);
        x.Xdotool({"key", "Down", "Return"});
        if (!Shown("Kelvo Preferences", dialog)) return false;
        const QPoint box = x.Geometry(dialog).topLeft() + QPoint(95, 21);
        x.Xdotool({"windowfocus", "--sync", dialog, "mousemove", std::to_string(box.x()), std::to_string(box.y()),
                   "click", "1", "key", "ctrl+a", "type", text});
        x.Xdotool({"key", "alt+a"});
        return true;
    }

    void CloseWith(QPoint button)
    {
        Click(x.Geometry(dialog).topLeft() + button, 1);
        EXPECT_TRUE(WaitFor([&] { return x.WindowsNamed("Kelvo Preferences").empty(); }, 10s));
    }

    long Reports45()  // /debug lines that give the interval as 45
    {
        const std::string log = kelvo->Log();
        return std::distance(std::sregex_iterator(log.begin(), log.end(), kLine45), std::sregex_iterator());
    }

    XServer x;
    SoundServer sound;
    std::unique_ptr<Process> player = sound.Play(Tone(440, 0.8, 120));
    Process trayer{{"trayer", "--edge", "top", "--align", "left", "--widthtype", "request", "--height", "24",
                    "--SetDockType", "false"},
                   {{"DISPLAY", x.Display()}}};
    std::unique_ptr<Kelvo> kelvo;
    std::string dialog;
};

TEST_F(Preferences, AnIntervalAppliedFromEitherMenuRunsAtOnceAndIsStoredAtExit)
{
    kelvo = std::make_unique<Kelvo>(x, sound.ClientEnvironment(), std::vector<std::string>{"/debug"});
    const auto main = kelvo->MainWindow();
    ASSERT_TRUE(main) << kelvo->Log();
    const QRect window = x.Geometry(*main);
    ASSERT_TRUE(OpenAndApply(window.center(), "45")) << kelvo->Log();
    EXPECT_LE((x.Geometry(dialog).center() - window.center()).manhattanLength(), 2) << "centred on its owner";
    EXPECT_TRUE(WaitFor([&] { return Reports45() > 0; }, 2s)) << kelvo->Log();
    CloseWith({133, 153});  // "Ok"

    // In the tray, from the icon's menu: 14 is refused and the interval stays.
    Click(window.center(), 1, 2);
    std::optional<QPoint> icon;  // the middle of the blue trace in the tray
    const auto traced = [&] {
        return (icon = CentreOfColour(x.Screenshot(), {0, 0, 64, 24}, qRgb(0, 0, 255))) != std::nullopt;
    };
    ASSERT_TRUE(WaitFor(traced, 10s)) << kelvo->Log();
    ASSERT_TRUE(OpenAndApply(*icon, "14")) << kelvo->Log();
    std::string refusal;
    ASSERT_TRUE(Shown("Invalid rate", refusal)) << kelvo->Log();
    x.Xdotool({"windowfocus", "--sync", refusal, "key", "Return"});
    const long before = Reports45();
    EXPECT_TRUE(WaitFor([&] { return Reports45() >= before + 2; }, 5s)) << kelvo->Log();
    CloseWith({205, 153});  // "Cancel"

    // Back in the window, Esc ends Kelvo, which stores 45.
    Click(*icon, 1, 2);
    ASSERT_TRUE(kelvo->MainWindow()) << kelvo->Log();
    x.Xdotool({"windowfocus", "--sync", *kelvo->MainWindow(), "key", "Escape"});
    EXPECT_EQ(kelvo->process().WaitExit(15s), std::optional<int>(0)) << kelvo->Log();
    const CommandResult stored = e2e::Run({(KelvoBinary().parent_path() / "kelvo-reg").string(), "query",
                                           "HKCU\\SOFTWARE\\Quennel\\Kelvo", "/v", "Frequency"},
                                          {{"XDG_CONFIG_HOME", kelvo->ConfigHome().string()}});
    EXPECT_NE(stored.output.find("REG_DWORD    0x2d"), std::string::npos) << stored.output;
}

}  // namespace
