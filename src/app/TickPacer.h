// When frame ticks run. The frame timer is restarted as a tick starts, so
// its next event falls due when that tick's recording should end: an event
// that finds the tick still running is kept and starts the next tick as soon
// as this one ends (ticks run back to back). The interval backs off only
// when the applet's own work for a tick takes longer than the interval; a
// tick that is late because its sound came late, or because its thread
// waited for its turn on a busy machine, lengthens nothing.
#pragma once

#include <chrono>
#include <cstdint>

namespace kelvo {

class TickPacer {
public:
    enum class Event {
        StartTick,  // no tick is running: run one now
        Kept,       // kept for when the running tick ends
    };

    Event OnTimerEvent();
    void TickStarted();
    // True when a kept event asks for the next tick right away.
    bool TickFinished();
    // The timer was disabled: a kept event is dropped.
    void DropKept();

    bool InTick() const { return inTick_; }

    static constexpr std::int32_t kBackoffStep = 5;
    static constexpr std::int32_t kMaxInterval = 32767;
    static std::int32_t Lengthened(std::int32_t interval);
    static bool Late(std::chrono::nanoseconds ownWork, std::int32_t interval);

private:
    bool inTick_ = false;
    bool kept_ = false;
};

// The applet's own work in a tick: the processor time of its thread, less
// what went by while it waited for sound.
class OwnWork {
public:
    void Start();
    std::chrono::nanoseconds Elapsed() const;

    // RAII: the time of a wait for sound is not own work.
    class Wait {
    public:
        explicit Wait(OwnWork& work);
        ~Wait();
        Wait(const Wait&) = delete;
        Wait& operator=(const Wait&) = delete;

    private:
        OwnWork& work_;
        std::chrono::nanoseconds began_;
    };

    static std::chrono::nanoseconds ThreadTime();

private:
    std::chrono::nanoseconds started_{};
    std::chrono::nanoseconds waited_{};
};

}  // namespace kelvo
