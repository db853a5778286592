// Choosing the input from Kelvo's menu, against real sound servers: two null
// sinks, one silent (the server's default) and one playing a tone.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

using namespace e2e;

namespace {

const QString kFallback = "is not there: recording from the default input";

struct TwoSinks {
    explicit TwoSinks(SoundServer::Kind kind) : sound(kind)
    {
        LoadTone();
        sound.Pactl({"set-default-sink", "kelvo_test"});
        sound.Pactl({"set-default-source", "kelvo_test.monitor"});
        // A null sink nobody plays into renders two seconds at a time: a
        // stream that joins its monitor waits for the next of them.
        silence = sound.Play(Tone(437, 0, 120), "kelvo_test");
    }
    // The tone's sink, and the tone playing into it.
    void LoadTone()
    {
        module = sound.Pactl({"load-module", "module-null-sink", "sink_name=kelvo_tone",
                              "sink_properties=device.description=Tone"}).output;
        WaitFor([&] { return sound.Pactl({"list", "short", "sources"}).output.find("kelvo_tone.monitor") !=
                             std::string::npos; }, 10s);
        player = sound.Play(Tone(437, 0.8, 120), "kelvo_tone");  // no whole number of periods per frame: each frame differs
    }
    void UnloadTone()
    {
        sound.Pactl({"unload-module", module.substr(0, module.find('\n'))});
        player.reset();
    }
    // Kelvo's own: the stored choice is what it records, not PULSE_SOURCE.
    Environment Client() const { return {{"PULSE_SERVER", sound.ServerAddress()}}; }

    SoundServer sound;
    std::string module;
    std::unique_ptr<Process> player;
    std::unique_ptr<Process> silence;
};

const auto kFlat = [](const Found& t) { return t.pixels > 100 && t.box.height() == 1; };
const auto kSpans = [](const Found& t) { return t.pixels > 100 && t.box.height() > 40; };

// From the window's menu: "Input", then the source `downs` below "Default input".
void ChooseInput(const XServer& x, Kelvo& kelvo, int downs)
{
    const auto id = kelvo.MainWindow();
    ASSERT_TRUE(id) << kelvo.Log();
    ASSERT_TRUE(kelvo.OpenMenu(x.Geometry(*id).center()));
    const std::size_t windows = kelvo.Windows();
    x.Xdotool({"key", "Down", "Down", "Right"});
    ASSERT_TRUE(WaitFor([&] { return kelvo.Windows() > windows; }, 10s)) << "the submenu";
    for (int i = 0; i < downs; ++i) x.Xdotool({"key", "Down"});
    x.Xdotool({"key", "Return"});
    EXPECT_TRUE(WaitFor([&] { return kelvo.Windows() < windows; }, 10s)) << "the choice is made";
}

// The server's record streams, each as "its index, its source's index".
std::vector<std::string> Recordings(const SoundServer& sound)
{
    std::vector<std::string> streams;
    std::istringstream lines(sound.Pactl({"list", "short", "source-outputs"}).output);
    for (std::string index, source, rest; lines >> index >> source && std::getline(lines, rest);) {
        streams.push_back(index + " " + source);
    }
    return streams;
}

// Kelvo's one record stream has moved to the tone's monitor.
void ExpectMovedToTone(const SoundServer& sound, const std::vector<std::string>& before)
{
    ASSERT_EQ(before.size(), 1u);
    const std::string sources = sound.Pactl({"list", "short", "sources"}).output;
    std::smatch tone;
    ASSERT_TRUE(std::regex_search(sources, tone, std::regex("(\\d+)\\s+kelvo_tone\\.monitor\\s"))) << sources;
    const std::string stream = before.front().substr(0, before.front().find(' '));
    EXPECT_EQ(Recordings(sound), std::vector<std::string>{stream + " " + tone[1].str()}) << "the same stream, moved";
}

// Past "What is playing" and the silent sink's monitor.
constexpr int kToneMonitor = 3;

}  // namespace

// That the choice is stored and read at the next start is the unit tests';
// opening a source by its name at start, every end-to-end test's (PULSE_SOURCE).
TEST(InputChoice, TheMenuChoiceSwitchesTheTraceFallsBackAndComesBack)
{
    XServer x;
    TwoSinks sinks(SoundServer::Kind::PulseAudio);
    Kelvo kelvo(x.ForClients(), sinks.Client(), {"/debug"});
    ASSERT_TRUE(kelvo.WaitForTrace(kFlat)) << "the silent default input" << kelvo.Log();
    const auto before = Recordings(sinks.sound);
    ChooseInput(x, kelvo, kToneMonitor);
    EXPECT_TRUE(kelvo.WaitForTrace(kSpans)) << kelvo.Log();
    ExpectMovedToTone(sinks.sound, before);
    sinks.UnloadTone();
    EXPECT_TRUE(kelvo.WaitForTrace(kFlat)) << kelvo.Log();
    EXPECT_EQ(QString::fromStdString(kelvo.Log()).count(kFallback), 1) << kelvo.Log();
    const std::size_t seen = FrameReports(kelvo.Log()).size();
    sinks.LoadTone();
    EXPECT_TRUE(kelvo.WaitForTrace(kSpans)) << "back to the stored choice" << kelvo.Log();
    EXPECT_EQ(QString::fromStdString(kelvo.Log()).count(kFallback), 1) << kelvo.Log();
    // A sink loaded just now brings its first sound late; the stand-in's
    // frames go on meanwhile (at 150 ms, at least 1000 / 150 - 2 a second).
    std::vector<Report> reports;
    ASSERT_TRUE(WaitFor([&] { return (reports = FrameReports(kelvo.Log())).size() >= seen + 3; }, 10s));
    for (std::size_t i = seen; i < seen + 3; ++i) EXPECT_GE(reports[i].frames, 5) << "second " << i << kelvo.Log();
}

// Each switch of the trace is a frame drawn after it: the trace is live.
TEST(InputChoice, OnPipeWireTheTraceIsLiveTheMenuSwitchesItAndTheDefaultIsFollowed)
{
    XServer x;
    TwoSinks sinks(SoundServer::Kind::PipeWire);
    Environment environment = sinks.Client();
    environment["PULSE_SOURCE"] = "kelvo_test.monitor";  // the silent default, by name
    Kelvo kelvo(x.ForClients(), environment);
    ASSERT_TRUE(kelvo.WaitForTrace(kFlat)) << kelvo.Log();
    EXPECT_NE(sinks.sound.Pactl({"list", "source-outputs"}).output.find("media.name = \"Kelvo\""), std::string::npos);
    ChooseInput(x, kelvo, 0);  // "Default input"
    sinks.sound.Pactl({"set-default-source", "kelvo_tone.monitor"});
    EXPECT_TRUE(kelvo.WaitForTrace(kSpans)) << "the new default" << kelvo.Log();
    const auto before = Recordings(sinks.sound);
    sinks.sound.Pactl({"set-default-source", "kelvo_test.monitor"});
    EXPECT_TRUE(kelvo.WaitForTrace(kFlat)) << "the default again" << kelvo.Log();
    ChooseInput(x, kelvo, kToneMonitor);
    EXPECT_TRUE(kelvo.WaitForTrace(kSpans)) << kelvo.Log();
    ExpectMovedToTone(sinks.sound, before);
}
