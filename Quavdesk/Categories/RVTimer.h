#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>
#include <chrono>

// A timer with a movable next firing, so that it can be paused and resumed
// from outside (QTimer can only be restarted). It lives on the thread that
// made it, and fires there.
class RVTimer : public QObject
{
    Q_OBJECT

public:
    // Fires `interval` from now, then every `interval` when `repeats`; a
    // timer that does not repeat is done after firing once.
    RVTimer(std::chrono::milliseconds interval, bool repeats, QObject *parent = nullptr);

    std::chrono::milliseconds interval() const { return m_interval; }
    bool repeats() const { return m_repeats; }
    // False once invalidated or, for a one-shot timer, once fired.
    bool isValid() const { return m_valid; }
    // Stops the timer for good.
    void invalidate();

    // When it fires next; "forever" while paused or done.
    QDeadlineTimer fireDate() const { return m_fireDate; }
    // Moves the next firing; a deadline already passed fires at once. A
    // repeating timer goes on on its interval from each firing.
    void setFireDate(QDeadlineTimer fireDate);

signals:
    void fired(RVTimer *timer);

private:
    void onTimeout();
    void arm();

    std::chrono::milliseconds m_interval;
    bool m_repeats;
    bool m_valid = true;
    QDeadlineTimer m_fireDate;
    QTimer m_timer;
};

// Stops the timer firing until it is resumed. Nothing for a null or
// invalidated timer, here and below.
void rv_pauseTimer(RVTimer *timer);
// Fires the timer at once, then on its interval.
void rv_resumeTimer(RVTimer *timer);
// Fires the timer `seconds` from now, then on its interval.
void rv_resumeTimerAfterTimeInterval(RVTimer *timer, double seconds);
