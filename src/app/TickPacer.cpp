#include "app/TickPacer.h"

#include <algorithm>
#include <ctime>

namespace kelvo {

TickPacer::Event TickPacer::OnTimerEvent()
{
    if (!inTick_) return Event::StartTick;
    kept_ = true;
    return Event::Kept;
}

void TickPacer::TickStarted()
{
    inTick_ = true;
}

bool TickPacer::TickFinished()
{
    inTick_ = false;
    const bool next = kept_;
    kept_ = false;
    return next;
}

std::int32_t TickPacer::Lengthened(std::int32_t interval)
{
    return std::min(std::max(interval, 0) + kBackoffStep, kMaxInterval);
}

bool TickPacer::Late(std::chrono::nanoseconds ownWork, std::int32_t interval)
{
    return ownWork > std::chrono::milliseconds(std::max(interval, 0));
}

std::chrono::nanoseconds OwnWork::ThreadTime()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

OwnWork::Part::Part(OwnWork& work) : work_(work), began_(ThreadTime()) {}

OwnWork::Part::~Part()
{
    work_.counted_ += ThreadTime() - began_;
}

}  // namespace kelvo
