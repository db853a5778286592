// A form timer as the applet's code expects one: an interval in
// milliseconds that can be read and changed at any time, an Enabled switch
// and a Tag text.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>

class TimerControl : public QObject {
    Q_OBJECT

public:
    TimerControl(std::int32_t interval, QObject* parent);

    std::int32_t Interval() const { return interval_; }
    // Takes effect at once; a running timer counts the new interval from now.
    void SetInterval(std::int32_t interval);
    bool Enabled() const { return enabled_; }
    // Milliseconds until the next beat; -1 while stopped.
    int RemainingTime() const;
    void SetEnabled(bool enabled);

    // While held the timer raises no event, so that a beat its owner could
    // only note does not wake the process; Release says whether a beat fell
    // in the held time. The beat itself goes on unmoved.
    void Hold();
    bool Release();

    QString Tag;

signals:
    void Timer();

private:
    using Clock = std::chrono::steady_clock;

    bool Running() const { return enabled_ && interval_ > 0; }
    // Whole intervals from the beat's start to `t`.
    std::int64_t Beats(Clock::time_point t) const;
    void Apply();
    void Arm();
    void Fire();

    QTimer timer_;  // one shot, armed for the next beat
    std::int32_t interval_;
    bool enabled_ = false;
    bool held_ = false;
    Clock::time_point beatStart_, heldSince_;
};
