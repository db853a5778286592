#include "capture/WaveIn.h"

#include "common/RuntimeError.h"
#include "common/Unblocked.h"

#include <algorithm>
#include <atomic>
#include <cstring>

WaveIn::WaveIn(EventPump pump, Wakeup wakeup) : pump_(std::move(pump)), wakeup_(std::move(wakeup)) {}

WaveIn::~WaveIn()
{
    WaveClose();
}

std::optional<bool> WaveIn::StartOpening(bool Stereo, std::int32_t Quality, std::int32_t BPS)
{
    const std::int32_t channels = Stereo ? 2 : 1;
    std::int32_t perSecond = 0;
    if (__builtin_mul_overflow(Quality, channels, &perSecond)) throw RuntimeError(ErrorNumber::Overflow);
    const auto bits = NarrowTo<std::int16_t>(BPS);

    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(Quality);
    format.nAvgBytesPerSec = static_cast<DWORD>(RoundTo<std::int32_t>(bits / 8.0 * perSecond));
    format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    format.wBitsPerSample = static_cast<WORD>(bits);
    format.cbSize = 20;

    if (hWaveIn) WaveClose();  // never leak a device opened earlier
    if (!wakeup_) return waveInOpen(&hWaveIn, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR;

    opening_.reset();
    opening_.emplace(
        [format] {
            HWAVEIN h = nullptr;
            return waveInOpen(&h, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR ? h : nullptr;
        },
        [](HWAVEIN& h) {
            if (h) waveInClose(h);
        },
        wakeup_);
    return std::nullopt;
}

bool WaveIn::WaveOpen(bool Stereo, std::int32_t Quality, std::int32_t BPS)
{
    bCancelled = false;
    opening_.reset();
    for (;;) {
        if (const auto opened = WaveOpenUnblocked(Stereo, Quality, BPS)) return *opened;
        if (bCancelled) {
            opening_.reset();
            return false;
        }
        pump_();
    }
}

std::optional<bool> WaveIn::WaveOpenUnblocked(bool Stereo, std::int32_t Quality, std::int32_t BPS)
{
    if (opening_) {
        const auto opened = opening_->Take();
        if (!opened) return std::nullopt;
        opening_.reset();
        hWaveIn = *opened;
        return hWaveIn != nullptr;
    }
    return StartOpening(Stereo, Quality, BPS);
}

bool WaveIn::WaveRecord(std::int32_t lBufferLength)
{
    if (lBufferLength <= 0) return false;
    // The device must never write into a buffer about to be replaced.
    if (bHeaderWithDevice && hWaveIn) {
        waveInReset(hWaveIn);
        waveInUnprepareHeader(hWaveIn, &Header, sizeof(WAVEHDR));
    }
    bHeaderWithDevice = false;

    Buffer.assign(static_cast<std::size_t>(lBufferLength), 0);
    Header = WAVEHDR{};
    Header.lpData = reinterpret_cast<LPSTR>(Buffer.data());
    Header.dwBufferLength = static_cast<DWORD>(lBufferLength);

    if (waveInPrepareHeader(hWaveIn, &Header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return false;
    bHeaderWithDevice = true;
    if (waveInAddBuffer(hWaveIn, &Header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return false;
    if (waveInStart(hWaveIn) != MMSYSERR_NOERROR) return false;

    bCancelled = false;
    return true;
}

bool WaveIn::Filled() const
{
    const DWORD flags = std::atomic_ref<DWORD>(const_cast<DWORD&>(Header.dwFlags)).load(std::memory_order_acquire);
    return bHeaderWithDevice && (flags & WHDR_DONE) && !bCancelled;
}

void WaveIn::RetrieveData(std::uint8_t* lpBuffer, std::int32_t Length)
{
    const std::size_t n = std::min<std::size_t>(std::max<std::int32_t>(Length, 0), Buffer.size());
    if (lpBuffer && n > 0) std::memcpy(lpBuffer, Buffer.data(), n);
    if (hWaveIn && bHeaderWithDevice &&
        waveInUnprepareHeader(hWaveIn, &Header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR) {
        bHeaderWithDevice = false;
    }
}

void WaveIn::Cancel()
{
    bCancelled = true;
}

bool WaveIn::WaveClose()
{
    opening_.reset();
    if (!hWaveIn) return true;
    waveInReset(hWaveIn);
    waveInStop(hWaveIn);
    if (bHeaderWithDevice) waveInUnprepareHeader(hWaveIn, &Header, sizeof(WAVEHDR));
    bHeaderWithDevice = false;
    waveInClose(hWaveIn);
    hWaveIn = nullptr;
    return true;
}
