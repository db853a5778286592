// Kelvo in a hostile world, end to end: signals whatever is open, a sound
// server that stalls or hangs, a busy machine, no display.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <signal.h>
#include <thread>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

std::string Stored(int ms)
{
    char line[16];
    std::snprintf(line, sizeof line, "%08x", ms);
    return "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n\"Frequency\"=dword:" + std::string(line) + "\n";
}

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<int> Intervals(const std::string& log)
{
    static const std::regex line("kelvo: frames=\\d+ interval=(\\d+)");
    std::vector<int> out;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        out.push_back(std::stoi((*it)[1].str()));
    return out;
}

class Robustness : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(hive.parent_path());
        std::ofstream(hive) << Stored(15);
    }
    // Waits until Kelvo shows `windows` windows (its own, a menu, a box).
    bool WaitForSecondWindow(Kelvo& kelvo, std::size_t windows = 2)
    {
        return WaitFor([&] { return x.WindowsOfPid(kelvo.process().pid()).size() >= windows; }, 20s);
    }
    static void ExpectEndsWithin(Kelvo& kelvo, std::chrono::milliseconds time)
    {
        EXPECT_EQ(kelvo.process().WaitExit(time), std::optional<int>(0)) << kelvo.Log();
    }

    XServer x;
    TempDir config;
    fs::path hive = config.path() / "kelvo" / "user.reg";
};

TEST_F(Robustness, SignalsEndKelvoWhateverIsOpenAndKeepTheStoredInterval)
{
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        TempDir nowhere;  // no sound server: the start-up box
        Kelvo kelvo(x, {{"PULSE_SERVER", "unix:" + (nowhere.path() / "native").string()}}, {}, &config.path());
        ASSERT_TRUE(WaitForSecondWindow(kelvo, 1)) << kelvo.Log();
        ::kill(kelvo.process().pid(), signal);
        ExpectEndsWithin(kelvo, 2s);
        EXPECT_EQ(ReadFile(hive), Stored(15)) << "start-up stopped before it had an interval to save";
    }
    SoundServer sound;
    for (const char* opened : {"menu", "box"}) {
        SCOPED_TRACE(opened);
        TempDir blocked;  // nothing can be saved: Esc opens a box
        std::ofstream(blocked.path() / "kelvo") << "a file where the settings folder should be";
        Kelvo kelvo(x, sound.ClientEnvironment(), {}, opened == std::string("menu") ? &config.path() : &blocked.path());
        const auto window = kelvo.MainWindow();
        ASSERT_TRUE(window) << kelvo.Log();
        if (opened == std::string("menu")) {
            x.Xdotool({"mousemove", "--window", *window, "40", "40", "click", "3"});
        } else {
            x.Xdotool({"windowfocus", "--sync", *window, "key", "Escape"});
        }
        ASSERT_TRUE(WaitForSecondWindow(kelvo)) << kelvo.Log();
        ::kill(kelvo.process().pid(), SIGTERM);
        ExpectEndsWithin(kelvo, 2s);
    }
    EXPECT_EQ(ReadFile(hive), Stored(15));
}

TEST_F(Robustness, StallsAndABusyMachineKeepTheIntervalAndAHungServerNeverBlocksTheWindow)
{
    SoundServer sound;
    auto player = sound.Play(Tone(440, 0.8, 120));
    Process hog({"sh", "-c", "while :; do :; done"});
    Kelvo kelvo(x, sound.ClientEnvironment(), {"/debug"}, &config.path());
    const auto window = kelvo.MainWindow();
    ASSERT_TRUE(window && WaitFor([&] { return Intervals(kelvo.Log()).size() >= 2; }, 20s)) << kelvo.Log();
    for (int stall = 0; stall < 3; ++stall) {
        ::kill(sound.pid(), SIGSTOP);
        std::this_thread::sleep_for(1s);  // the stall itself
        ::kill(sound.pid(), SIGCONT);
    }
    const std::size_t seen = Intervals(kelvo.Log()).size();
    ASSERT_TRUE(WaitFor([&] { return Intervals(kelvo.Log()).size() >= seen + 2; }, 20s)) << kelvo.Log();
    for (int interval : Intervals(kelvo.Log())) EXPECT_LE(interval, 20) << kelvo.Log();

    // The source goes, and the server hangs before Kelvo tries again (a
    // second after the loss): that reconnect waits for the server.
    const std::string modules = e2e::Run({"pactl", "list", "short", "modules"}, sound.ClientEnvironment()).output;
    const std::size_t sink = modules.rfind('\n', modules.find("module-null-sink")) + 1;
    e2e::Run({"pactl", "unload-module", modules.substr(sink, modules.find('\t', sink) - sink)}, sound.ClientEnvironment());
    ::kill(sound.pid(), SIGSTOP);
    std::this_thread::sleep_for(1500ms);  // the reconnect is under way
    x.Xdotool({"windowfocus", "--sync", *window, "key", "Escape"});
    ExpectEndsWithin(kelvo, 1s);
    ::kill(sound.pid(), SIGCONT);
    EXPECT_EQ(ReadFile(hive), Stored(15));
}

TEST(NoDisplay, OneLineNamesWhatCouldNotBeOpenedAndTheStatusIsOne)
{
    for (const auto& [display, arguments] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {":9999", {}}, {"", {"-display", ":9999"}}, {"", {"-platform", "xyz"}}}) {
        std::vector<std::string> argv{KelvoBinary().string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const CommandResult r = e2e::Run(argv, {{"DISPLAY", display}, {"QT_QPA_PLATFORM", "xcb"}});
        EXPECT_EQ(r.code, 1) << r.output;
        EXPECT_EQ(r.output.rfind("kelvo: cannot open the display: ", 0), 0u) << r.output;
        EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
    }
}

}  // namespace
