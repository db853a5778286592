// The applet's recorder: one wave-input device, one buffer in flight, and a
// wait that keeps the user interface alive while the buffer fills.
#pragma once

#include "winmm/mmsystem.h"

#include <cstdint>
#include <functional>
#include <vector>

class WaveIn {
public:
    // Runs while a recording waits: handles pending events, and blocks until
    // one arrives (a driver that finishes a buffer wakes it).
    using EventPump = std::function<void()>;

    // Wakes a pump that waits for events; from any thread.
    using Wakeup = std::function<void()>;

    // With a wakeup, opening runs beside the pump, so that a sound server
    // that hangs never blocks the user interface, and Cancel abandons it.
    explicit WaveIn(EventPump pump, Wakeup wakeup = {});
    ~WaveIn();
    WaveIn(const WaveIn&) = delete;
    WaveIn& operator=(const WaveIn&) = delete;

    bool WaveOpen(bool Stereo, std::int32_t Quality, std::int32_t BPS);
    bool WaveRecord(std::int32_t lBufferLength);
    // Copies at most what the last recording holds; the rest of the caller's
    // memory is left alone.
    void RetrieveData(std::uint8_t* lpBuffer, std::int32_t Length);
    void Cancel();
    bool WaveClose();

    bool IsOpen() const { return hWaveIn != nullptr; }

private:
    EventPump pump_;
    Wakeup wakeup_;
    HWAVEIN hWaveIn = nullptr;
    std::vector<std::uint8_t> Buffer;
    WAVEHDR Header{};
    bool bCancelled = false;
    bool bHeaderWithDevice = false;
};
