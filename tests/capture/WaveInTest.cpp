#include "capture/WaveIn.h"

#include "common/RuntimeError.h"
#include "support/FakeCaptureDriver.h"
#include "user/message_pump.h"

#include <gtest/gtest.h>

#include <QTimer>

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

    // Records `length` samples while `during` runs from the event loop.
    bool Record(std::int32_t length, const std::function<void()>& during)
    {
        QTimer::singleShot(0, during);
        return recorder.WaveRecord(length);
    }

    std::shared_ptr<FakeCaptureDriver> driver = std::make_shared<FakeCaptureDriver>();
    WaveIn recorder{&user::WaitAndDoEvents};
};

TEST_F(WaveInTest, BuildsTheCaptureFormatOpensOneDeviceAndRefusesOverflows)
{
    ASSERT_TRUE(recorder.WaveOpen(false, 8000, 8));
    ASSERT_TRUE(recorder.WaveOpen(true, 8000, 16));
    EXPECT_EQ(driver->Count("close"), 1) << "the first device is closed";
    const WAVEFORMATEX f = driver->lastFormat;
    EXPECT_EQ(std::tuple(f.wFormatTag, f.nChannels, f.nSamplesPerSec, f.nAvgBytesPerSec, f.nBlockAlign, f.wBitsPerSample),
              std::tuple(WAVE_FORMAT_PCM, 2, 8000, 32000, 4, 16));

    EXPECT_THROW(recorder.WaveOpen(true, INT_MAX, 8), RuntimeError);
    EXPECT_THROW(recorder.WaveOpen(true, 8000, 40000), RuntimeError);
    EXPECT_EQ(driver->Count("open"), 2) << "an overflowing format opens nothing";
}

TEST_F(WaveInTest, RecordsFromTheCaptureThreadWhileEventsRunAndADeviceThatGoesAwayLeavesSilence)
{
    ASSERT_TRUE(recorder.WaveOpen(false, 8000, 8));
    std::vector<std::uint8_t> sound(960);
    for (std::size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<std::uint8_t>(i * 7);
    // Delivered from a capture thread, in pieces as a sound server does, while
    // the recorder's wait runs events.
    std::thread capture;
    const bool ok = Record(960, [&] {
        capture = std::thread([&] {
            for (std::size_t at = 0; at < sound.size(); at += 320) {
                driver->Deliver(std::vector<std::uint8_t>(sound.begin() + at, sound.begin() + at + 320));
            }
        });
    });
    capture.join();
    ASSERT_TRUE(ok);
    std::vector<std::uint8_t> samples(960);
    recorder.RetrieveData(samples.data(), 960);
    EXPECT_EQ(samples, sound);

    ASSERT_TRUE(Record(100, [&] {
        driver->Deliver(std::vector<std::uint8_t>(30, 7));
        driver->Fail();
    }));
    samples.assign(120, 0xEE);
    // Asking for more than was recorded copies only the buffer.
    recorder.RetrieveData(samples.data(), 120);
    std::vector<std::uint8_t> expected(30, 7);
    expected.resize(100, 128);  // the part never recorded is silence, not a full-scale swing
    expected.resize(120, 0xEE);
    EXPECT_EQ(samples, expected);
}

TEST_F(WaveInTest, CancelEndsTheWaitEvenWhenTheBufferCompletesAtTheSameMoment)
{
    ASSERT_TRUE(recorder.WaveOpen(false, 8000, 8));
    // A cancel before the recording is forgotten when it starts.
    recorder.Cancel();
    EXPECT_TRUE(Record(50, [&] { driver->Deliver(std::vector<std::uint8_t>(50, 1)); }));
    recorder.RetrieveData(nullptr, 0);
    EXPECT_FALSE(Record(50, [&] { recorder.Cancel(); }));
    EXPECT_FALSE(Record(50, [&] {
        driver->Deliver(std::vector<std::uint8_t>(50, 1));
        recorder.Cancel();
    }));
}

}  // namespace
