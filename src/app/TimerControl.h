// A form timer as the applet's code expects one: an interval in
// milliseconds that can be read and changed at any time, an Enabled switch
// and a Tag text.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>

class TimerControl : public QObject {
    Q_OBJECT

public:
    TimerControl(std::int32_t interval, QObject* parent);

    std::int32_t Interval() const { return interval_; }
    // Takes effect at once; a running timer counts the new interval from now.
    void SetInterval(std::int32_t interval);
    bool Enabled() const { return enabled_; }
    // Milliseconds until the next event; -1 while stopped.
    int RemainingTime() const { return timer_.remainingTime(); }
    void SetEnabled(bool enabled);

    QString Tag;

signals:
    void Timer();

private:
    void Apply();

    QTimer timer_;
    std::int32_t interval_;
    bool enabled_ = false;
};
