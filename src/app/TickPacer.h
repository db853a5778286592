// When frame ticks run. The frame timer is restarted as a tick starts, so
// its next event falls due when that tick's recording should end: an event
// that finds the tick still running is kept and starts the next tick as soon
// as this one ends (ticks run back to back). A second event during the same
// tick means it is a whole interval late: the interval backs off, once.
#pragma once

#include <cstdint>

namespace kelvo {

class TickPacer {
public:
    enum class Event {
        StartTick,     // no tick is running: run one now
        Kept,          // kept for when the running tick ends
        KeptAndLate,   // kept, and the running tick is late: lengthen the interval
    };

    Event OnTimerEvent();
    // A tick whose device has only just opened is never judged late: the
    // sound server may take seconds to deliver its first block.
    void TickStarted(bool judgeLateness = true);
    void ExcuseLateness() { judgeLateness_ = false; }
    // True when a kept event asks for the next tick right away.
    bool TickFinished();
    // The timer was disabled: a kept event is dropped.
    void DropKept();

    bool InTick() const { return inTick_; }

    static constexpr std::int32_t kBackoffStep = 5;
    static constexpr std::int32_t kMaxInterval = 32767;
    static std::int32_t Lengthened(std::int32_t interval);

private:
    bool inTick_ = false;
    bool kept_ = false;
    bool judgeLateness_ = true;
    int eventsDuringTick_ = 0;
};

}  // namespace kelvo
