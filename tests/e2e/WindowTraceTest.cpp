// The live trace in the window, against a real sound server and X server.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <set>

using namespace e2e;

namespace {

constexpr QRgb kTrace = qRgb(128, 255, 255);
// The canvas's drawing area inside the window: 171 x 61 at (8, 24).
constexpr int kClientX = 8;
constexpr int kClientY = 24;
constexpr int kClientW = 171;
constexpr int kClientH = 61;

struct Trace {
    std::set<int> rows;
    int pixels = 0;
    int columnsAtSilence = 0;  // columns with a trace pixel on the row of silence
};

Trace TraceIn(const QImage& shot, QPoint window)
{
    Trace t;
    for (int x = 0; x < kClientW; ++x) {
        for (int y = 0; y < kClientH; ++y) {
            if (shot.pixel(window.x() + kClientX + x, window.y() + kClientY + y) == kTrace) {
                t.rows.insert(y);
                ++t.pixels;
                if (y == 30) ++t.columnsAtSilence;
            }
        }
    }
    return t;
}

class WindowTrace : public ::testing::Test {
protected:
    QPoint StartKelvo()
    {
        kelvo = std::make_unique<Kelvo>(x, sound.ClientEnvironment(), std::vector<std::string>{"/debug"});
        const auto id = kelvo->MainWindow();
        if (!id) throw std::runtime_error("Kelvo showed no window:\n" + kelvo->Log());
        return x.Geometry(*id).topLeft();
    }

    // Waits until a screenshot satisfies `check`; the last trace seen.
    bool WaitForTrace(QPoint window, const std::function<bool(const Trace&)>& check, Trace& last)
    {
        return WaitFor(
            [&] {
                last = TraceIn(x.Screenshot(), window);
                return check(last);
            },
            20s);
    }

    XServer x;
    SoundServer sound;
    std::unique_ptr<Kelvo> kelvo;
};

TEST_F(WindowTrace, SilenceIsAStraightLineAToneSpansTheCanvasAndALostServerIsPickedUpAgain)
{
    auto player = sound.Play(Silence(120));
    const QPoint window = StartKelvo();
    EXPECT_EQ(window, QPoint((640 - 188) / 2, (480 - 94) / 2)) << "centred on the screen";

    Trace t;
    // round(128 / 256 x 61) = 30; the polyline runs from column 1 to the last visible column.
    EXPECT_TRUE(WaitForTrace(window, [](const Trace& t) { return t.rows == std::set<int>{30}; }, t))
        << "rows seen: " << t.rows.size();
    EXPECT_EQ(t.columnsAtSilence, kClientW - 1);

    player = sound.Play(Tone(440, 0.8, 120));
    // A 0.8 full-scale tone reads as bytes 25..230: rows 6..55.
    EXPECT_TRUE(WaitForTrace(
        window, [](const Trace& t) { return !t.rows.empty() && *t.rows.begin() <= 12 && *t.rows.rbegin() >= 49; }, t))
        << "rows " << (t.rows.empty() ? -1 : *t.rows.begin()) << ".." << (t.rows.empty() ? -1 : *t.rows.rbegin());
    EXPECT_GE(*t.rows.begin(), 5);
    EXPECT_LE(*t.rows.rbegin(), 56);

    // The frame counter reports and the interval stays where it was.
    EXPECT_TRUE(WaitFor([&] { return kelvo->Log().find("kelvo: frames=") != std::string::npos; }, 5s));
    const std::string log = kelvo->Log();
    for (std::size_t at = log.find("interval="); at != std::string::npos; at = log.find("interval=", at + 1)) {
        EXPECT_EQ(log.substr(at, 13), "interval=150\n") << log;
    }

    // Without the sound server the canvas shows only its background; drawing
    // resumes when the server is back.
    player.reset();
    sound.Stop();
    EXPECT_TRUE(WaitForTrace(window, [](const Trace& t) { return t.pixels == 0; }, t));
    EXPECT_TRUE(kelvo->process().Running());
    sound.Start();
    player = sound.Play(Tone(440, 0.8, 120));
    EXPECT_TRUE(WaitForTrace(window, [](const Trace& t) { return t.rows.size() > 20; }, t)) << kelvo->Log();
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
}

class StartupFailure : public ::testing::Test {
protected:
    // Waits for the message box titled `title`, answers it, and expects a
    // clean exit.
    void ExpectMessageThenExit(Kelvo& kelvo, const std::string& title)
    {
        std::vector<std::string> boxes;
        ASSERT_TRUE(WaitFor([&] { return !(boxes = x.WindowsNamed(title)).empty(); }, 20s)) << kelvo.Log();
        EXPECT_TRUE(kelvo.MainWindow(0ms) == std::nullopt) << "the main window never shows";
        x.Xdotool({"windowfocus", "--sync", boxes.front()});
        x.Xdotool({"key", "Return"});
        EXPECT_EQ(kelvo.process().WaitExit(20s), std::optional<int>(0)) << kelvo.Log();
    }

    XServer x;
};

TEST_F(StartupFailure, AServerWithoutTheSourceCannotBeOpened)
{
    SoundServer sound;
    Kelvo kelvo(x, {{"PULSE_SERVER", sound.ServerAddress()}, {"PULSE_SOURCE", "no_such_source"}});
    ExpectMessageThenExit(kelvo, "Can't open Wave device");
}

}  // namespace
