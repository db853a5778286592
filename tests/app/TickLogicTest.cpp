// The plain logic of the frame tick: pacing, the mapping, the switches.
#include "app/CommandLine.h"
#include "app/SampleMapping.h"
#include "app/TickPacer.h"

#include <gtest/gtest.h>

#include <vector>

using kelvo::TickPacer;

TEST(TickPacer, KeptEventsRunTicksBackToBackAndOnlyOwnWorkIsLate)
{
    TickPacer pacer;
    ASSERT_EQ(pacer.OnTimerEvent(), TickPacer::Event::StartTick);
    pacer.TickStarted();
    EXPECT_EQ(pacer.OnTimerEvent(), TickPacer::Event::Kept);
    EXPECT_EQ(pacer.OnTimerEvent(), TickPacer::Event::Kept) << "a tick waiting for its sound is never late";
    EXPECT_TRUE(pacer.TickFinished()) << "the next tick starts at once";
    EXPECT_FALSE(pacer.InTick());

    pacer.TickStarted();
    EXPECT_FALSE(pacer.TickFinished()) << "no event arrived: wait for the timer";

    pacer.TickStarted();
    pacer.OnTimerEvent();
    pacer.DropKept();
    EXPECT_FALSE(pacer.TickFinished()) << "a disabled timer drops its kept event";

    EXPECT_FALSE(TickPacer::Late(std::chrono::milliseconds(15), 15));
    EXPECT_TRUE(TickPacer::Late(std::chrono::microseconds(15001), 15));
}

TEST(TickPacer, TheIntervalBacksOffByFiveAndNeverPast32767)
{
    EXPECT_EQ(TickPacer::Lengthened(150), 155);
    EXPECT_EQ(TickPacer::Lengthened(32765), 32767);
    EXPECT_EQ(TickPacer::Lengthened(32767), 32767);
}

TEST(SampleMapping, ColumnsSampleTheBlockEvenlyAndStayInside)
{
    std::vector<std::int32_t> columns;
    for (int x = 1; x <= 16; ++x) columns.push_back(kelvo::SampleIndexOfColumn(x, 16, 960));
    EXPECT_EQ(columns.front(), 60);
    EXPECT_EQ(columns[1], 120);
    EXPECT_EQ(columns.back(), 960);
    // Halves to even: 1 / 16 x 8 = 0.5 would be sample 0.
    EXPECT_EQ(kelvo::SampleIndexOfColumn(1, 16, 8), 1);
    EXPECT_EQ(kelvo::SampleIndexOfColumn(3, 16, 8), 2);  // 1.5 -> 2
    EXPECT_EQ(kelvo::SampleIndexOfColumn(5, 16, 8), 2);  // 2.5 -> 2
    EXPECT_EQ(kelvo::SampleIndexOfColumn(171, 171, 1), 1);

    // Rows: silence in the middle, the extremes at the edges (255 one past).
    EXPECT_EQ(kelvo::RowOfSample(128, 256, 16), 8);
    EXPECT_EQ(kelvo::RowOfSample(0, 256, 16), 0);
    EXPECT_EQ(kelvo::RowOfSample(255, 256, 16), 16);
    EXPECT_EQ(kelvo::RowOfSample(128, 256, 61), 30);  // 30.5 -> 30

    const std::vector<std::uint8_t> block{0, 255};
    EXPECT_EQ(kelvo::RowOfColumn(block, 1, 171, 61, 256), 0) << "column 1 never reads sample 0";
    EXPECT_EQ(kelvo::RowOfColumn(block, 171, 171, 61, 256), 61);
    EXPECT_EQ(kelvo::RowOfColumn({}, 5, 171, 61, 256), 30) << "an empty block draws silence";
}

TEST(CommandLine, DebugMatchesAnyCaseTrayOnlyExactlyBothAnywhere)
{
    EXPECT_TRUE(kelvo::ParseSwitches("/DEBUG").debug);
    EXPECT_TRUE(kelvo::ParseSwitches("x/Debugger").debug);
    EXPECT_FALSE(kelvo::ParseSwitches("/TRAY").tray);
    EXPECT_TRUE(kelvo::ParseSwitches("a/trayful").tray);
    const auto both = kelvo::ParseSwitches("/tray /debug");
    EXPECT_TRUE(both.tray && both.debug);
    EXPECT_FALSE(kelvo::ParseSwitches("").debug);

    const char* argv[] = {"kelvo", "/tray", "x y"};
    EXPECT_EQ(kelvo::ArgumentText(3, argv), "/tray x y");
}
