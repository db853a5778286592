// When frame ticks run. The frame timer keeps its own beat (it is not
// restarted by the ticks): an event that finds a tick still waiting for its
// sound is kept and starts the next tick as soon as this one has drawn (ticks
// run back to back). A timer restarted at each tick would start every tick a
// little later against the sound server's beat, until a tick starts just after
// the chunk that should have filled its buffer and waits a whole chunk more:
// a frame lost every few dozen on a busy machine. The interval backs off only
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
