// Kelvo in a hostile world, end to end: signals whatever is open; no sound at
// start-up; the live trace through a sound server that stalls, goes or hangs
// on a busy machine. (Settings that cannot be saved are the unit tests'.)
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <signal.h>
#include <thread>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

// Kelvo starts with 15 ms stored; whatever happens, 15 is what stays stored.
TEST(Robustness, SignalsEndKelvoWhateverIsOpenAndTheTraceFollowsTheSoundThroughStallsALostServerAndAHungOne)
{
    const std::string stored = "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n\"Frequency\"=dword:0000000f\n";
    XServer x;
    TempDir config;
    const fs::path hive = config.path() / "kelvo" / "user.reg";
    fs::create_directories(hive.parent_path());
    std::ofstream(hive) << stored;
    // Sends `signal` once Kelvo shows `windows` windows (its own, a menu, a box).
    const auto endsWithWindowsOpen = [&](Kelvo& kelvo, int signal, std::size_t windows) {
        ASSERT_TRUE(WaitFor([&] { return kelvo.Windows() >= windows; }, 20s)) << kelvo.Log();
        ::kill(kelvo.process().pid(), signal);
        EXPECT_EQ(kelvo.process().WaitExit(2s), std::optional<int>(0)) << kelvo.Log();
    };

    // The start-up box, before there is an interval to save: no sound server.
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        Kelvo kelvo(x.ForClients(), {{"PULSE_SERVER", "unix:/nonexistent/kelvo-e2e/native"}}, {}, &config.path());
        ASSERT_TRUE(WaitFor([&] { return !x.WindowsNamed("No recoring devices").empty(); }, 20s)) << kelvo.Log();
        endsWithWindowsOpen(kelvo, signal, 1);
    }
    SoundServer sound;
    auto player = sound.Play(Tone(440, 0.8, 120));
    {
        Kelvo kelvo(x.ForClients(), sound.ClientEnvironment(), {}, &config.path());
        const auto window = kelvo.MainWindow();
        ASSERT_TRUE(window) << kelvo.Log();
        x.Xdotool({"mousemove", "--window", *window, "40", "40", "click", "3"});
        endsWithWindowsOpen(kelvo, SIGTERM, 2);
    }

    Process hog({"sh", "-c", "while :; do :; done"});
    Kelvo kelvo(x.ForClients(), sound.ClientEnvironment(), {"/debug"}, &config.path());
    const auto id = kelvo.MainWindow();
    ASSERT_TRUE(id) << kelvo.Log();

    // A tone spans many rows of the canvas.
    EXPECT_TRUE(kelvo.WaitForTrace([](const Found& t) { return t.box.height() > 20; })) << kelvo.Log();

    for (int stall = 0; stall < 3; ++stall) {
        ::kill(sound.pid(), SIGSTOP);
        std::this_thread::sleep_for(1s);  // the stall itself
        ::kill(sound.pid(), SIGCONT);
    }
    const std::size_t seen = FrameReports(kelvo.Log()).size();
    ASSERT_TRUE(WaitFor([&] { return FrameReports(kelvo.Log()).size() >= seen + 2; }, 20s)) << kelvo.Log();
    for (const Report& report : FrameReports(kelvo.Log())) EXPECT_EQ(report.interval, 15);

    // Without the sound server the canvas shows only its background; drawing
    // resumes when the server is back.
    player.reset();
    sound.Stop();
    EXPECT_TRUE(kelvo.WaitForTrace([](const Found& t) { return t.pixels == 0; }));
    sound.Start();
    player = sound.Play(Tone(440, 0.8, 120));
    EXPECT_TRUE(kelvo.WaitForTrace([](const Found& t) { return t.box.height() > 20; })) << kelvo.Log();

    // The source goes, and the server hangs before Kelvo tries again (a
    // second after the loss): that reconnect waits for the server.
    sound.Pactl({"unload-module", "module-null-sink"});
    ::kill(sound.pid(), SIGSTOP);
    std::this_thread::sleep_for(1500ms);  // the reconnect is under way
    x.Xdotool({"windowfocus", "--sync", *id, "key", "Escape"});
    EXPECT_EQ(kelvo.process().WaitExit(1s), std::optional<int>(0)) << kelvo.Log();
    ::kill(sound.pid(), SIGCONT);
    EXPECT_EQ(ReadFile(hive), stored);
}

// A logout takes the X server from under Kelvo in its tray: it ends with
// status 0 each time (the toolkit's own exit once crashed now and then), and
// a first run's interval is stored.
TEST(Robustness, ALostXServerEndsKelvoInItsTrayWithStatusZeroAndTheIntervalStored)
{
    SoundServer sound;
    const auto player = sound.Play(Tone(437, 0.8, 120));
    for (int run = 0; run < 10; ++run) {
        XServer x;
        const auto trayer = Trayer(x);
        Kelvo kelvo(x.ForClients(), sound.ClientEnvironment(), {"/tray"});
        ASSERT_TRUE(WaitFor([&] { return Find(x.Screenshot(), {0, 0, 64, 24}, qRgb(0, 0, 255)).pixels > 0; }, 20s));
        x.Stop();
        EXPECT_EQ(kelvo.process().WaitExit(10s), std::optional<int>(0)) << "run " << run << ": " << kelvo.Log();
        EXPECT_NE(ReadFile(kelvo.ConfigHome() / "kelvo" / "user.reg").find("\"Frequency\"=dword:00000096"), std::string::npos);
    }
}

}  // namespace
