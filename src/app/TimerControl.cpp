#include "app/TimerControl.h"

#include <algorithm>

TimerControl::TimerControl(std::int32_t interval, QObject* parent) : QObject(parent), interval_(interval)
{
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &TimerControl::Fire);
}

void TimerControl::SetInterval(std::int32_t interval)
{
    interval_ = interval;
    Apply();
}

void TimerControl::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    Apply();
}

int TimerControl::RemainingTime() const
{
    if (!Running()) return -1;
    const Clock::time_point now = Clock::now();
    const auto next = beatStart_ + (Beats(now) + 1) * std::chrono::milliseconds(interval_);
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(next - now).count());
}

void TimerControl::Hold()
{
    if (held_) return;
    held_ = true;
    heldSince_ = Clock::now();
    timer_.stop();
}

bool TimerControl::Release()
{
    if (!std::exchange(held_, false) || !Running()) return false;
    const bool beat = Beats(Clock::now()) > Beats(std::max(heldSince_, beatStart_));
    Arm();
    return beat;
}

std::int64_t TimerControl::Beats(Clock::time_point t) const
{
    return (t - beatStart_) / std::chrono::milliseconds(interval_);
}

void TimerControl::Apply()
{
    // An interval of 0 or less never fires, as with a form timer.
    beatStart_ = Clock::now();
    if (Running() && !held_) Arm();
    else timer_.stop();
}

// Each beat is counted from the start, so the beat does not drift.
void TimerControl::Arm()
{
    timer_.start(RemainingTime());
}

void TimerControl::Fire()
{
    Arm();
    emit Timer();
}
