#include "capture/WaveIn.h"

#include "support/FakeCaptureDriver.h"
#include "user/message_pump.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <optional>
#include <thread>

using testing_support::FakeCaptureDriver;

namespace {

class WaveInTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        winmm::SetCaptureDriver(driver);
        winmm::SetWaveInWakeup([this] { ++wakeups; });
    }
    void TearDown() override
    {
        winmm::SetWaveInWakeup(nullptr);
        winmm::SetCaptureDriver(nullptr);
    }

    std::shared_ptr<FakeCaptureDriver> driver = std::make_shared<FakeCaptureDriver>();
    std::atomic<int> wakeups = 0;
    WaveIn recorder{&user::WaitAndDoEvents};
};

// With a wakeup, opening runs on a thread of its own: WaveOpen pumps events
// until it is done, WaveOpenUnblocked asks and returns.
TEST_F(WaveInTest, BuildsTheCaptureFormatOpensOneDeviceAndOpensBesideTheEventLoop)
{
    ASSERT_TRUE(recorder.WaveOpen(false, 8000, 8));
    ASSERT_TRUE(recorder.WaveOpen(true, 8000, 16));
    EXPECT_EQ(driver->Count("close"), 1) << "the first device is closed";
    const WAVEFORMATEX f = driver->lastFormat;
    EXPECT_EQ(std::tuple(f.wFormatTag, f.nChannels, f.nSamplesPerSec, f.nAvgBytesPerSec, f.nBlockAlign, f.wBitsPerSample),
              std::tuple(WAVE_FORMAT_PCM, 2, 8000, 32000, 4, 16));

    WaveIn unblocked{&user::WaitAndDoEvents, &user::WakeMessagePump};
    EXPECT_EQ(unblocked.WaveOpenUnblocked(false, 8000, 8), std::nullopt);
    EXPECT_TRUE(unblocked.Opening());
    std::optional<bool> opened;
    // The opening thread wakes the pump when it is done.
    while (!(opened = unblocked.WaveOpenUnblocked(false, 8000, 8))) user::WaitAndDoEvents();
    EXPECT_EQ(opened, std::optional<bool>(true));
    EXPECT_TRUE(unblocked.IsOpen());
    EXPECT_FALSE(unblocked.Opening());
    EXPECT_TRUE(unblocked.WaveOpen(false, 8000, 8));
    EXPECT_EQ(driver->Count("open"), 4);
}

TEST_F(WaveInTest, RecordsFromTheCaptureThreadWithoutWaitingAndADeviceThatGoesAwayLeavesSilence)
{
    ASSERT_TRUE(recorder.WaveOpen(false, 8000, 8));
    std::vector<std::uint8_t> sound(960);
    for (std::size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(recorder.WaveRecord(960));
    EXPECT_FALSE(recorder.Filled());
    // Delivered from a capture thread, in pieces as a sound server does.
    std::thread([&] {
        for (std::size_t at = 0; at < sound.size(); at += 320)
            driver->Deliver(std::vector<std::uint8_t>(sound.begin() + at, sound.begin() + at + 320));
    }).join();
    ASSERT_TRUE(recorder.Filled());
    EXPECT_EQ(wakeups, 1) << "the capture thread says when the buffer is full";
    std::vector<std::uint8_t> samples(960);
    recorder.RetrieveData(samples.data(), 960);
    EXPECT_EQ(samples, sound);

    ASSERT_TRUE(recorder.WaveRecord(100));
    driver->Deliver(std::vector<std::uint8_t>(30, 7));
    driver->Fail();
    ASSERT_TRUE(recorder.Filled());
    samples.assign(120, 0xEE);
    // Asking for more than was recorded copies only the buffer.
    recorder.RetrieveData(samples.data(), 120);
    std::vector<std::uint8_t> expected(30, 7);
    expected.resize(100, 128);  // the part never recorded is silence, not a full-scale swing
    expected.resize(120, 0xEE);
    EXPECT_EQ(samples, expected);
}

TEST_F(WaveInTest, ACancelledRecordingIsNeverFilledAndTheNextRecordingHoldsOnlyItsOwnSound)
{
    ASSERT_TRUE(recorder.WaveOpen(false, 8000, 8));
    // A cancel before the recording is forgotten when it starts.
    recorder.Cancel();
    ASSERT_TRUE(recorder.WaveRecord(50));
    driver->Deliver(std::vector<std::uint8_t>(50, 1));
    EXPECT_TRUE(recorder.Filled());
    recorder.RetrieveData(nullptr, 0);
    EXPECT_FALSE(recorder.Filled()) << "fetched";

    ASSERT_TRUE(recorder.WaveRecord(50));
    recorder.Cancel();
    EXPECT_FALSE(recorder.Filled());
    ASSERT_TRUE(recorder.WaveRecord(50));
    driver->Deliver(std::vector<std::uint8_t>(50, 1));
    recorder.Cancel();
    EXPECT_FALSE(recorder.Filled());
    // What came during a cancelled recording, between two or while a tick
    // draws never shows in the next recording.
    driver->Deliver(std::vector<std::uint8_t>(20, 7));
    std::vector<std::uint8_t> samples(50);
    for (std::uint8_t sound : {3, 4}) {
        ASSERT_TRUE(recorder.WaveRecord(50)) << int(sound);
        driver->Deliver(std::vector<std::uint8_t>(50, sound));
        ASSERT_TRUE(recorder.Filled()) << int(sound);
        recorder.RetrieveData(samples.data(), 50);
        EXPECT_EQ(samples, std::vector<std::uint8_t>(50, sound));
        driver->Deliver(std::vector<std::uint8_t>(30, 6));
    }
}

}  // namespace
