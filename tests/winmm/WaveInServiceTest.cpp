// The wave-input service over a capture driver the test controls. What the
// recorder relies on (reset, close, a failed device) is pinned by its tests.
#include "support/FakeCaptureDriver.h"
#include "winmm/capture_driver.h"
#include "winmm/mmsystem.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class WaveInServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        winmm::SetCaptureDriver(driver);
        ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    }
    void TearDown() override
    {
        waveInReset(device);
        waveInClose(device);
        winmm::SetCaptureDriver(nullptr);
    }

    // Prepares a header over `data` and queues it.
    void Queue(WAVEHDR& header, std::vector<std::uint8_t>& data)
    {
        header = WAVEHDR{};
        header.lpData = reinterpret_cast<LPSTR>(data.data());
        header.dwBufferLength = static_cast<DWORD>(data.size());
        ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
    }

    std::shared_ptr<testing_support::FakeCaptureDriver> driver = std::make_shared<testing_support::FakeCaptureDriver>();
    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
    HWAVEIN device = nullptr;
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(64);
    WAVEHDR header{};
};

TEST_F(WaveInServiceTest, BuffersFillInOrderAndAQueuedOneIsNeitherUnpreparedNorClosedOn)
{
    HWAVEIN other = nullptr;
    EXPECT_EQ(waveInOpen(&other, 1, &format, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID) << "ids start at 0";
    Queue(header, buffer);
    // The device may still write into a queued buffer: its owner cannot take it back.
    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInClose(device), WAVERR_STILLPLAYING);

    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    driver->Deliver(std::vector<std::uint8_t>(40, 2));
    EXPECT_FALSE(header.dwFlags & WHDR_DONE);
    driver->Deliver(std::vector<std::uint8_t>(40, 3));
    EXPECT_TRUE(header.dwFlags & WHDR_DONE);
    EXPECT_EQ(header.dwBytesRecorded, 64u);
    EXPECT_EQ(buffer[39], 2);
    EXPECT_EQ(buffer[40], 3);
    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);

    // The rest of that chunk starts the next buffer, in order.
    std::vector<std::uint8_t> next(20);
    Queue(header, next);
    driver->Deliver({7, 8, 9, 10, 11});
    EXPECT_TRUE(header.dwFlags & WHDR_DONE);
    EXPECT_EQ(next, (std::vector<std::uint8_t>{3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 7, 8, 9, 10}));

    // Sound that finds no buffer is dropped, and so is what was carried before it.
    driver->Deliver({1, 2, 3});
    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    Queue(header, next);
    EXPECT_EQ(header.dwBytesRecorded, 0u);

    // A chunk that holds a whole buffer fills one more than half full with
    // its newest sound: a rest carried from here on would keep every buffer
    // most of a chunk old.
    driver->Deliver(std::vector<std::uint8_t>(11, 4));
    std::vector<std::uint8_t> chunk(25);
    for (std::uint8_t i = 0; i < 25; ++i) chunk[i] = i;
    driver->Deliver(chunk);
    EXPECT_EQ(next, std::vector<std::uint8_t>(chunk.begin() + 5, chunk.end()));

    // A rest that fills a shorter buffer does so as it is queued, and says so.
    int wakes = 0;
    winmm::SetWaveInWakeup([&] { ++wakes; });
    ASSERT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    Queue(header, next);
    driver->Deliver(std::vector<std::uint8_t>(15, 1));
    driver->Deliver(std::vector<std::uint8_t>(15, 2));
    ASSERT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    std::vector<std::uint8_t> shorter(4);
    Queue(header, shorter);
    EXPECT_TRUE(header.dwFlags & WHDR_DONE);
    EXPECT_EQ(wakes, 2);
    winmm::SetWaveInWakeup(nullptr);
}

TEST_F(WaveInServiceTest, OnlySoundBetweenStartAndStopIsRecordedAndStopReturnsOnlyABufferThatHoldsSome)
{
    Queue(header, buffer);
    driver->Deliver(std::vector<std::uint8_t>(5, 4));
    EXPECT_EQ(header.dwBytesRecorded, 0u) << "not started yet";
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    driver->Deliver(std::vector<std::uint8_t>(40, 5));
    driver->Deliver(std::vector<std::uint8_t>(40, 5));  // its rest would start the next buffer, but for the stop
    ASSERT_EQ(waveInStop(device), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    Queue(header, buffer);
    EXPECT_EQ(header.dwBytesRecorded, 0u);
    ASSERT_EQ(waveInStop(device), MMSYSERR_NOERROR);
    EXPECT_FALSE(header.dwFlags & WHDR_DONE) << "an empty buffer stays queued";
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    driver->Deliver(std::vector<std::uint8_t>(10, 5));
    ASSERT_EQ(waveInStop(device), MMSYSERR_NOERROR);
    EXPECT_TRUE(header.dwFlags & WHDR_DONE);
    EXPECT_EQ(header.dwBytesRecorded, 10u);
}

}  // namespace
