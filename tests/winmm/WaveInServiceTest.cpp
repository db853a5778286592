#include "support/FakeCaptureDriver.h"
#include "winmm/mmsystem.h"

#include <gtest/gtest.h>

#include <vector>

using testing_support::FakeCaptureDriver;

namespace {

WAVEFORMATEX Mono8()
{
    return WAVEFORMATEX{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
}

class WaveInServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        winmm::SetCaptureDriver(driver);
        const WAVEFORMATEX format = Mono8();
        ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
        header.lpData = reinterpret_cast<LPSTR>(buffer.data());
        header.dwBufferLength = static_cast<DWORD>(buffer.size());
    }
    void TearDown() override
    {
        waveInReset(device);
        waveInClose(device);
        winmm::SetCaptureDriver(nullptr);
    }

    std::shared_ptr<FakeCaptureDriver> driver = std::make_shared<FakeCaptureDriver>();
    HWAVEIN device = nullptr;
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(64);
    WAVEHDR header{};
};

TEST_F(WaveInServiceTest, HeadersFollowThePublishedLifecycle)
{
    EXPECT_EQ(waveInAddBuffer(device, &header, sizeof header), WAVERR_UNPREPARED);
    EXPECT_EQ(waveInPrepareHeader(device, &header, sizeof header - 1), MMSYSERR_INVALPARAM);
    ASSERT_EQ(waveInPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_TRUE(header.dwFlags & WHDR_PREPARED);
    ASSERT_EQ(waveInAddBuffer(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_TRUE(header.dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(waveInAddBuffer(device, &header, sizeof header), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInClose(device), WAVERR_STILLPLAYING);

    // Not started: sound is dropped.
    driver->Deliver(std::vector<std::uint8_t>(64, 1));
    EXPECT_EQ(header.dwBytesRecorded, 0u);

    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInStart(device), MMSYSERR_NOERROR);  // a second start is harmless
    driver->Deliver(std::vector<std::uint8_t>(40, 2));
    EXPECT_FALSE(header.dwFlags & WHDR_DONE);
    driver->Deliver(std::vector<std::uint8_t>(40, 3));
    EXPECT_TRUE(header.dwFlags & WHDR_DONE);
    EXPECT_FALSE(header.dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(header.dwBytesRecorded, 64u);
    EXPECT_EQ(buffer[39], 2);
    EXPECT_EQ(buffer[40], 3);

    EXPECT_EQ(waveInUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_FALSE(header.dwFlags & WHDR_PREPARED);

    // The rest of that chunk starts the next buffer, in order.
    std::vector<std::uint8_t> next(20);
    WAVEHDR second{};
    second.lpData = reinterpret_cast<LPSTR>(next.data());
    second.dwBufferLength = 20;
    ASSERT_EQ(waveInPrepareHeader(device, &second, sizeof second), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(device, &second, sizeof second), MMSYSERR_NOERROR);
    EXPECT_EQ(second.dwBytesRecorded, 16u);
    EXPECT_FALSE(second.dwFlags & WHDR_DONE);
    driver->Deliver({7, 8, 9, 10, 11});
    EXPECT_TRUE(second.dwFlags & WHDR_DONE);
    EXPECT_EQ(next, (std::vector<std::uint8_t>{3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 7, 8, 9, 10}));

    // Sound that finds no buffer is dropped, and so is what was carried before it.
    driver->Deliver({1, 2, 3});
    EXPECT_EQ(waveInUnprepareHeader(device, &second, sizeof second), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInPrepareHeader(device, &second, sizeof second), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(device, &second, sizeof second), MMSYSERR_NOERROR);
    EXPECT_EQ(second.dwBytesRecorded, 0u);
}

TEST_F(WaveInServiceTest, StopReturnsThePartBufferAndResetReturnsEverything)
{
    WAVEHDR second = header;
    std::vector<std::uint8_t> other(64);
    second.lpData = reinterpret_cast<LPSTR>(other.data());
    for (WAVEHDR* h : {&header, &second}) {
        ASSERT_EQ(waveInPrepareHeader(device, h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveInAddBuffer(device, h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInStop(device), MMSYSERR_NOERROR);
    EXPECT_FALSE(header.dwFlags & WHDR_DONE) << "an empty buffer stays queued";
    ASSERT_EQ(waveInStart(device), MMSYSERR_NOERROR);
    driver->Deliver(std::vector<std::uint8_t>(10, 5));
    ASSERT_EQ(waveInStop(device), MMSYSERR_NOERROR);
    EXPECT_TRUE(header.dwFlags & WHDR_DONE);
    EXPECT_EQ(header.dwBytesRecorded, 10u);
    EXPECT_FALSE(second.dwFlags & WHDR_DONE);  // empty buffers stay queued

    ASSERT_EQ(waveInReset(device), MMSYSERR_NOERROR);
    EXPECT_TRUE(second.dwFlags & WHDR_DONE);
    EXPECT_EQ(second.dwBytesRecorded, 0u);
}

TEST_F(WaveInServiceTest, BadHandlesFlagsAndFormatsAreRefused)
{
    HWAVEIN other = nullptr;
    WAVEFORMATEX format = Mono8();
    EXPECT_EQ(waveInOpen(&other, WAVE_MAPPER, &format, 1234, 0, 0x00030000), MMSYSERR_INVALFLAG);
    EXPECT_EQ(waveInOpen(&other, 1, &format, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID) << "ids start at 0";
    format.wBitsPerSample = 12;
    EXPECT_EQ(waveInOpen(&other, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_INVALPARAM);

    const auto bogus = reinterpret_cast<HWAVEIN>(std::uintptr_t{0xDEAD0});
    EXPECT_EQ(waveInStart(bogus), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveInClose(nullptr), MMSYSERR_INVALHANDLE);
}

}  // namespace
