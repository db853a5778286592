// The applet's recorder: one wave-input device and one buffer in flight.
// Recording never waits: the device's wakeup says when to look at Filled.
#pragma once

#include "common/Unblocked.h"
#include "winmm/mmsystem.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class WaveIn {
public:
    // Runs while WaveOpen waits: handles pending events, and blocks until one
    // arrives.
    using EventPump = std::function<void()>;

    // Wakes a pump that waits for events; from any thread.
    using Wakeup = std::function<void()>;

    // With a wakeup, opening runs beside the pump, so that a sound server
    // that hangs never blocks the user interface, and Cancel abandons it.
    explicit WaveIn(EventPump pump, Wakeup wakeup = {});
    ~WaveIn();
    WaveIn(const WaveIn&) = delete;
    WaveIn& operator=(const WaveIn&) = delete;

    // Waits (running the pump) until the device is open, or Cancel.
    bool WaveOpen(bool Stereo, std::int32_t Quality, std::int32_t BPS);
    // Never waits: the first call starts opening, later ones tell whether it
    // is still going (nothing) or how it went.
    std::optional<bool> WaveOpenUnblocked(bool Stereo, std::int32_t Quality, std::int32_t BPS);
    // Starts recording one buffer and returns at once; false when the device
    // refused. The buffer is the caller's to fetch once Filled.
    bool WaveRecord(std::int32_t lBufferLength);
    // The buffer is full and its recording was not cancelled.
    bool Filled() const;
    // Copies at most what the last recording holds; the rest of the caller's
    // memory is left alone.
    void RetrieveData(std::uint8_t* lpBuffer, std::int32_t Length);
    void Cancel();
    bool WaveClose();

    bool IsOpen() const { return hWaveIn != nullptr; }
    bool Opening() const { return opening_.has_value(); }

private:
    std::optional<bool> StartOpening(bool Stereo, std::int32_t Quality, std::int32_t BPS);

    EventPump pump_;
    Wakeup wakeup_;
    HWAVEIN hWaveIn = nullptr;
    std::vector<std::uint8_t> Buffer;
    WAVEHDR Header{};
    bool bCancelled = false;
    bool bHeaderWithDevice = false;
    std::optional<kelvo::Unblocked<HWAVEIN>> opening_;
};
