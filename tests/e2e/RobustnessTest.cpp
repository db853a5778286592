// Kelvo in a hostile world, end to end: signals under message boxes and menus.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <thread>
#include <signal.h>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

const std::string kStored45 = "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n\"Frequency\"=dword:0000002d\n";

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Robustness : public ::testing::Test {
protected:
    // Waits for a window titled `title`; false when none came.
    bool WaitForBox(const std::string& title) { return WaitFor([&] { return !x.WindowsNamed(title).empty(); }, 20s); }

    // The signal ends Kelvo within two seconds, cleanly.
    static void ExpectEndsOn(Kelvo& kelvo, int signal)
    {
        ::kill(kelvo.process().pid(), signal);
        EXPECT_EQ(kelvo.process().WaitExit(2s), std::optional<int>(0)) << kelvo.Log();
    }

    XServer x;
    TempDir config;
};

TEST_F(Robustness, SignalsEndKelvoWhateverIsOpenAndKeepTheStoredInterval)
{
    const fs::path hive = config.path() / "kelvo" / "user.reg";
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        fs::create_directories(hive.parent_path());
        std::ofstream(hive) << kStored45;
        TempDir nowhere;
        Kelvo kelvo(x, {{"PULSE_SERVER", "unix:" + (nowhere.path() / "native").string()}}, {}, &config.path());
        ASSERT_TRUE(WaitForBox("No recoring devices")) << kelvo.Log();
        ExpectEndsOn(kelvo, signal);
        EXPECT_EQ(ReadFile(hive), kStored45) << "start-up stopped before it had an interval to save";
    }

    SoundServer sound;
    {
        // A popup menu is open.
        Kelvo kelvo(x, sound.ClientEnvironment(), {}, &config.path());
        const auto window = kelvo.MainWindow();
        ASSERT_TRUE(window) << kelvo.Log();
        x.Xdotool({"mousemove", "--window", *window, "40", "40", "click", "3"});
        ASSERT_TRUE(WaitFor([&] { return x.WindowsOfPid(kelvo.process().pid()).size() > 1; }, 10s));
        ExpectEndsOn(kelvo, SIGTERM);
        EXPECT_EQ(ReadFile(hive), kStored45) << "the loaded interval is saved as it was";
    }
    {
        // Esc: shutdown cannot save and tells so; the signal closes the box.
        TempDir blocked;
        std::ofstream(blocked.path() / "kelvo") << "a file where the settings folder should be";
        Kelvo kelvo(x, sound.ClientEnvironment(), {}, &blocked.path());
        const auto window = kelvo.MainWindow();
        ASSERT_TRUE(window) << kelvo.Log();
        x.Xdotool({"windowfocus", "--sync", *window, "key", "Escape"});
        ASSERT_TRUE(WaitFor(
            [&] {
                const auto named = x.WindowsNamed("Kelvo");
                return std::find_if(named.begin(), named.end(), [&](auto& id) { return id != *window; }) != named.end();
            },
            20s))
            << kelvo.Log();
        ExpectEndsOn(kelvo, SIGTERM);
    }
}

// Every interval the /debug lines reported, in order.
std::vector<int> Intervals(const std::string& log)
{
    static const std::regex line("kelvo: frames=\\d+ interval=(\\d+)");
    std::vector<int> out;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        out.push_back(std::stoi((*it)[1].str()));
    return out;
}

TEST_F(Robustness, ServerStallsAndABusyMachineKeepTheInterval)
{
    const fs::path hive = config.path() / "kelvo" / "user.reg";
    fs::create_directories(hive.parent_path());
    std::ofstream(hive) << "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n\"Frequency\"=dword:0000000f\n";
    SoundServer sound;
    auto player = sound.Play(Tone(440, 0.8, 120));
    Process hog({"sh", "-c", "while :; do :; done"});
    Kelvo kelvo(x, sound.ClientEnvironment(), {"/debug"}, &config.path());
    ASSERT_TRUE(WaitFor([&] { return Intervals(kelvo.Log()).size() >= 2; }, 20s)) << kelvo.Log();
    for (int stall = 0; stall < 3; ++stall) {
        ::kill(sound.pid(), SIGSTOP);
        std::this_thread::sleep_for(1s);  // the stall itself
        ::kill(sound.pid(), SIGCONT);
    }
    const std::size_t seen = Intervals(kelvo.Log()).size();
    ASSERT_TRUE(WaitFor([&] { return Intervals(kelvo.Log()).size() >= seen + 2; }, 20s)) << kelvo.Log();
    EXPECT_EQ(kelvo.process().Stop(SIGTERM), 0);
    for (int interval : Intervals(kelvo.Log())) EXPECT_LE(interval, 20) << kelvo.Log();
    EXPECT_NE(ReadFile(hive).find("\"Frequency\"=dword:0000000f"), std::string::npos) << ReadFile(hive);
}

TEST_F(Robustness, WhileTheSoundServerHangsInAReconnectEscStillEndsKelvo)
{
    SoundServer sound;
    auto player = sound.Play(Tone(440, 0.8, 120));
    Kelvo kelvo(x, sound.ClientEnvironment(), {"/debug"}, &config.path());
    const auto window = kelvo.MainWindow();
    ASSERT_TRUE(window) << kelvo.Log();
    ASSERT_TRUE(WaitFor([&] { return !Intervals(kelvo.Log()).empty(); }, 20s)) << kelvo.Log();
    // Kelvo's source goes, and the server hangs before Kelvo tries again (a
    // second after the loss): that reconnect waits for the server.
    const std::string modules = e2e::Run({"pactl", "list", "short", "modules"}, sound.ClientEnvironment()).output;
    const std::size_t sink = modules.rfind('\n', modules.find("module-null-sink")) + 1;
    ASSERT_NE(modules.find("module-null-sink"), std::string::npos) << modules;
    e2e::Run({"pactl", "unload-module", modules.substr(sink, modules.find('\t', sink) - sink)}, sound.ClientEnvironment());
    ::kill(sound.pid(), SIGSTOP);
    std::this_thread::sleep_for(1500ms);  // the reconnect is under way
    x.Xdotool({"windowfocus", "--sync", *window, "key", "Escape"});
    EXPECT_EQ(kelvo.process().WaitExit(1s), std::optional<int>(0)) << kelvo.Log();
    ::kill(sound.pid(), SIGCONT);
}

TEST(NoDisplay, OneLineNamesWhatCouldNotBeOpenedAndTheStatusIsOne)
{
    const std::vector<std::pair<Environment, std::vector<std::string>>> cases{
        {{{"DISPLAY", ":9999"}, {"QT_QPA_PLATFORM", "xcb"}}, {}},
        {{{"DISPLAY", ""}, {"QT_QPA_PLATFORM", "xcb"}}, {"-display", ":9999"}},
        {{{"QT_QPA_PLATFORM", "xcb"}}, {"-platform", "xyz"}},
    };
    for (const auto& [env, arguments] : cases) {
        std::vector<std::string> argv{KelvoBinary().string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const CommandResult r = e2e::Run(argv, env);
        EXPECT_EQ(r.code, 1) << r.output;
        EXPECT_EQ(r.output.rfind("kelvo: cannot open the display: ", 0), 0u) << r.output;
        EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
    }
}

}  // namespace
