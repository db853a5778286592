// The plain logic of the frame tick: pacing, the mapping, the switches.
#include "app/CommandLine.h"
#include "app/SampleMapping.h"
#include "app/TickPacer.h"
#include "app/TimerControl.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

using kelvo::TickPacer;

// Only own work longer than the interval is late, and backs off by five up
// to 32767 (kept events and back-to-back ticks are pinned through the form's
// tick). Own work is the processor time of this tick's parts: neither an
// earlier tick's, nor what the thread does between the parts, nor time off
// the processor.
TEST(TickPacer, OnlyOwnWorkLongerThanTheIntervalIsLateAndOwnWorkIsTheProcessorTimeOfThisTicksParts)
{
    EXPECT_FALSE(TickPacer::Late(std::chrono::milliseconds(15), 15));
    EXPECT_TRUE(TickPacer::Late(std::chrono::microseconds(15001), 15));
    EXPECT_EQ(TickPacer::Lengthened(150), 155);
    EXPECT_EQ(TickPacer::Lengthened(32765), 32767);
    using std::chrono::milliseconds;
    const auto spin = [](milliseconds cpu) {
        for (const auto end = kelvo::OwnWork::ThreadTime() + cpu; kelvo::OwnWork::ThreadTime() < end;) continue;
    };
    kelvo::OwnWork work;
    for (const milliseconds part : {milliseconds(30), milliseconds(10)}) {
        work.Start();
        spin(milliseconds(20));  // others' work, while the sound comes
        {
            const kelvo::OwnWork::Part counted(work);
            spin(part);
            std::this_thread::sleep_for(milliseconds(60));  // off the processor, as on a busy machine
        }
        EXPECT_GE(work.Elapsed(), part);
        EXPECT_LT(work.Elapsed(), part + milliseconds(15));
    }
}

// A tick holds the frame timer: no event wakes the applet while the tick
// waits for its sound, and the release tells whether a beat fell meanwhile.
// The beat goes on where it was, held or not.
TEST(TimerControl, AHeldTimerRaisesNoEventItsReleaseTellsOfAMissedBeatAndTheBeatStaysPut)
{
    TimerControl timer(200, nullptr);
    int events = 0;
    QObject::connect(&timer, &TimerControl::Timer, [&] { ++events; });
    QElapsedTimer clock;
    const auto runUntil = [&](qint64 ms) {  // runs events until `ms` after the start
        QEventLoop loop;
        QTimer::singleShot(std::max<qint64>(0, ms - clock.elapsed()), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    };
    timer.SetEnabled(true);
    clock.start();
    timer.Hold();
    EXPECT_FALSE(timer.Release()) << "no beat yet";
    timer.Hold();
    runUntil(450);  // two beats pass
    EXPECT_EQ(events, 0);
    EXPECT_TRUE(timer.Release());
    // The next beat is the third, at 600 ms, not an interval after the release.
    const qint64 released = clock.elapsed();
    EXPECT_LE(timer.RemainingTime(), 600 - released + 1);
    EXPECT_GT(timer.RemainingTime(), 40);
    runUntil(650);
    EXPECT_EQ(events, 1);
    EXPECT_FALSE(timer.Release()) << "not held";
    timer.SetEnabled(false);
    timer.Hold();
    runUntil(1000);
    EXPECT_FALSE(timer.Release()) << "stopped";
}

TEST(SampleMapping, ColumnsSampleTheBlockEvenlyAndStayInside)
{
    // column, columns, samples, sample index: halves to even, never sample 0
    const std::int32_t columns[][4] = {{1, 16, 960, 60}, {2, 16, 960, 120}, {16, 16, 960, 960}, {1, 16, 8, 1},
                                       {3, 16, 8, 2},    {5, 16, 8, 2},      {171, 171, 1, 1}};
    for (const auto& c : columns) EXPECT_EQ(kelvo::SampleIndexOfColumn(c[0], c[1], c[2]), c[3]) << c[0] << "/" << c[2];

    // Rows: silence in the middle, the extremes at the edges (255 one past).
    for (const auto& [sample, height, row] : {std::tuple{128, 16, 8}, {0, 16, 0}, {255, 16, 16}, {128, 61, 30}})
        EXPECT_EQ(kelvo::RowOfSample(sample, 256, height), row) << sample << "/" << height;

    const std::vector<std::uint8_t> block{0, 255};
    EXPECT_EQ(kelvo::RowOfColumn(block, 1, 171, 61, 256), 0) << "column 1 never reads sample 0";
    EXPECT_EQ(kelvo::RowOfColumn(block, 171, 171, 61, 256), 61);
    EXPECT_EQ(kelvo::RowOfColumn({}, 5, 171, 61, 256), 30) << "an empty block draws silence";
}

TEST(CommandLine, DebugMatchesAnyCaseTrayOnlyExactlyBothAnywhere)
{
    for (const auto& [text, debug, tray] : {std::tuple{"/DEBUG", true, false}, {"x/Debugger", true, false},
                                            {"/TRAY", false, false}, {"a/trayful", false, true},
                                            {"/tray /debug", true, true}, {"", false, false}}) {
        const auto switches = kelvo::ParseSwitches(text);
        EXPECT_EQ(std::pair(switches.debug, switches.tray), std::pair(debug, tray)) << text;
    }

    const char* argv[] = {"kelvo", "/tray", "x y"};
    EXPECT_EQ(kelvo::ArgumentText(3, argv), "/tray x y");
}
