// When frame ticks run. The frame timer is restarted as a tick starts, so
// its next event falls due when that tick's recording should end: an event
// that finds the tick still waiting for its sound is kept and starts the next
// tick as soon as this one has drawn (ticks run back to back). The interval backs off only
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

    bool InTick() const { return inTick_; }

    static constexpr std::int32_t kBackoffStep = 5;
    static constexpr std::int32_t kMaxInterval = 32767;
    static std::int32_t Lengthened(std::int32_t interval);
    static bool Late(std::chrono::nanoseconds ownWork, std::int32_t interval);

private:
    bool inTick_ = false;
    bool kept_ = false;
};

// The applet's own work in a tick: the processor time its thread spends in
// the tick's parts (starting the recording, drawing the block), not what it
// does for others while the sound comes.
class OwnWork {
public:
    void Start() { counted_ = {}; }
    std::chrono::nanoseconds Elapsed() const { return counted_; }

    // RAII: one part of the tick's work.
    class Part {
    public:
        explicit Part(OwnWork& work);
        ~Part();
        Part(const Part&) = delete;
        Part& operator=(const Part&) = delete;

    private:
        OwnWork& work_;
        std::chrono::nanoseconds began_;
    };

    static std::chrono::nanoseconds ThreadTime();

private:
    std::chrono::nanoseconds counted_{};
};

}  // namespace kelvo
