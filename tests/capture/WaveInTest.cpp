#include "capture/WaveIn.h"

#include "common/RuntimeError.h"
#include "support/FakeCaptureDriver.h"
#include "user/message_pump.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <algorithm>
#include <climits>
#include <thread>

using testing_support::FakeCaptureDriver;

namespace {

class WaveInTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        winmm::SetCaptureDriver(driver);
        winmm::SetWaveInWakeup(&user::WakeMessagePump);
    }
    void TearDown() override
    {
        winmm::SetWaveInWakeup(nullptr);
        winmm::SetCaptureDriver(nullptr);
    }

    std::shared_ptr<FakeCaptureDriver> driver = std::make_shared<FakeCaptureDriver>();
    WaveIn recorder{&user::WaitAndDoEvents};
};

std::vector<std::uint8_t> Ramp(std::size_t n)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * 7);
    return v;
}

TEST_F(WaveInTest, BuildsTheCaptureFormatAndOpensTheDefaultDeviceOnce)
{
    const struct {
        bool stereo;
        std::int32_t bits;
        DWORD perSecond;
        WORD align;
    } cases[] = {{false, 8, 8000, 1}, {true, 16, 32000, 4}};
    for (const auto& c : cases) {
        ASSERT_TRUE(recorder.WaveOpen(c.stereo, 8000, c.bits));
        const WAVEFORMATEX f = driver->lastFormat;
        EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(f.nChannels, c.stereo ? 2 : 1);
        EXPECT_EQ(f.nSamplesPerSec, 8000u);
        EXPECT_EQ(f.nAvgBytesPerSec, c.perSecond);
        EXPECT_EQ(f.nBlockAlign, c.align);
        EXPECT_EQ(f.wBitsPerSample, c.bits);
    }
    const auto calls = driver->Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "close"), 1) << "the first device is closed";

    driver->openResult = MMSYSERR_ALLOCATED;
    WaveIn busy{&user::WaitAndDoEvents};
    EXPECT_FALSE(busy.WaveOpen(false, 8000, 8));
    EXPECT_FALSE(busy.IsOpen());
}

TEST_F(WaveInTest, OverflowingFormatsRaiseTheOverflowErrorAndOpenNothing)
{
    for (auto open : {+[](WaveIn& r) { r.WaveOpen(true, INT_MAX, 8); },
                      +[](WaveIn& r) { r.WaveOpen(false, 8000, 40000); }}) {
        try {
            open(recorder);
            ADD_FAILURE() << "no error raised";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), ErrorNumber::Overflow);
        }
    }
    EXPECT_TRUE(driver->Calls().empty());
    EXPECT_FALSE(recorder.IsOpen());
}

TEST_F(WaveInTest, RecordsOneBufferFromTheCaptureThreadWhileEventsRun)
{
    ASSERT_TRUE(recorder.WaveOpen(false, 8000, 8));
    const auto sound = Ramp(960);
    bool eventRan = false;
    QTimer::singleShot(0, [&] { eventRan = true; });
    std::thread capture([&] {
        driver->WaitForStarts(1);
        // In pieces, as a sound server delivers them.
        for (std::size_t at = 0; at < sound.size(); at += 320) {
            driver->Deliver(std::vector<std::uint8_t>(sound.begin() + at, sound.begin() + at + 320));
        }
    });
    const bool ok = recorder.WaveRecord(960);
    capture.join();
    ASSERT_TRUE(ok);
    EXPECT_TRUE(eventRan);

    std::vector<std::uint8_t> samples(960);
    recorder.RetrieveData(samples.data(), 960);
    EXPECT_EQ(samples, sound);
    EXPECT_EQ(driver->Calls(), (std::vector<std::string>{"open", "hint 960", "start"}));

    // Sound that arrives while no buffer is queued is not kept for the next one.
    driver->Deliver(std::vector<std::uint8_t>(100, 9));
    std::thread next([&] {
        driver->WaitForStarts(2);
        driver->Deliver(std::vector<std::uint8_t>(100, 200));
    });
    ASSERT_TRUE(recorder.WaveRecord(100));
    next.join();
    std::vector<std::uint8_t> again(100);
    recorder.RetrieveData(again.data(), 100);
    EXPECT_EQ(again, std::vector<std::uint8_t>(100, 200));
}

TEST_F(WaveInTest, CancelEndsTheWaitEvenWhenTheBufferCompletesAtTheSameMoment)
{
    EXPECT_TRUE(recorder.WaveClose()) << "harmless when never opened";
    ASSERT_TRUE(recorder.WaveOpen(false, 8000, 8));
    // A cancel before the recording is forgotten when it starts.
    recorder.Cancel();
    QTimer::singleShot(0, [&] { driver->Deliver(std::vector<std::uint8_t>(50, 1)); });
    EXPECT_TRUE(recorder.WaveRecord(50));
    recorder.RetrieveData(nullptr, 0);

    QTimer::singleShot(0, [&] { recorder.Cancel(); });
    EXPECT_FALSE(recorder.WaveRecord(50));
    recorder.WaveClose();

    ASSERT_TRUE(recorder.WaveOpen(false, 8000, 8));
    QTimer::singleShot(0, [&] {
        driver->Deliver(std::vector<std::uint8_t>(50, 1));
        recorder.Cancel();
    });
    EXPECT_FALSE(recorder.WaveRecord(50));
}

TEST_F(WaveInTest, ADeviceThatGoesAwayReturnsItsBufferAndRefusesTheNext)
{
    ASSERT_TRUE(recorder.WaveOpen(false, 8000, 8));
    QTimer::singleShot(0, [&] {
        driver->Deliver(std::vector<std::uint8_t>(30, 7));
        driver->Fail();
    });
    ASSERT_TRUE(recorder.WaveRecord(100));
    std::vector<std::uint8_t> samples(120, 0xEE);
    // Asking for more than was recorded copies only the buffer.
    recorder.RetrieveData(samples.data(), 120);
    EXPECT_EQ(std::vector<std::uint8_t>(samples.begin(), samples.begin() + 30), std::vector<std::uint8_t>(30, 7));
    // The part never recorded is silence, not a full-scale swing.
    EXPECT_EQ(std::vector<std::uint8_t>(samples.begin() + 30, samples.begin() + 100),
              std::vector<std::uint8_t>(70, 128));
    EXPECT_EQ(std::vector<std::uint8_t>(samples.begin() + 100, samples.end()), std::vector<std::uint8_t>(20, 0xEE));

    EXPECT_FALSE(recorder.WaveRecord(100));
    EXPECT_TRUE(recorder.WaveClose());
    EXPECT_EQ(driver->Calls().back(), "close");
}

TEST_F(WaveInTest, ACloseDuringTheWaitLetsTheWaitEndWithoutTouchingTheBuffer)
{
    ASSERT_TRUE(recorder.WaveOpen(false, 8000, 8));
    QTimer::singleShot(0, [&] {
        recorder.Cancel();
        recorder.WaveClose();
        // The capture thread may still be delivering: nothing reaches the old buffer.
        driver->Deliver(std::vector<std::uint8_t>(40, 3));
    });
    EXPECT_FALSE(recorder.WaveRecord(40));
    EXPECT_FALSE(recorder.IsOpen());
}

}  // namespace
