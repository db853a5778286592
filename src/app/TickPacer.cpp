#include "app/TickPacer.h"

#include <algorithm>

namespace kelvo {

TickPacer::Event TickPacer::OnTimerEvent()
{
    if (!inTick_) return Event::StartTick;
    kept_ = true;
    ++eventsDuringTick_;
    return eventsDuringTick_ == 2 && judgeLateness_ ? Event::KeptAndLate : Event::Kept;
}

void TickPacer::TickStarted(bool judgeLateness)
{
    inTick_ = true;
    judgeLateness_ = judgeLateness;
    eventsDuringTick_ = 0;
}

bool TickPacer::TickFinished()
{
    inTick_ = false;
    const bool next = kept_;
    kept_ = false;
    return next;
}

void TickPacer::DropKept()
{
    kept_ = false;
}

std::int32_t TickPacer::Lengthened(std::int32_t interval)
{
    return std::min(std::max(interval, 0) + kBackoffStep, kMaxInterval);
}

}  // namespace kelvo
