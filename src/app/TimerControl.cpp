#include "app/TimerControl.h"

TimerControl::TimerControl(std::int32_t interval, QObject* parent) : QObject(parent), interval_(interval)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TimerControl::Timer);
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

void TimerControl::Apply()
{
    // An interval of 0 or less never fires, as with a form timer.
    if (enabled_ && interval_ > 0) {
        timer_.start(interval_);
    } else {
        timer_.stop();
    }
}
