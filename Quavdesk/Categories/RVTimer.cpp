#include "Categories/RVTimer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// QTimer counts in int milliseconds (some 24 days); a later firing is
// reached in steps.
constexpr qint64 kLongestStep = std::numeric_limits<int>::max();

} // namespace

RVTimer::RVTimer(std::chrono::milliseconds interval, bool repeats, QObject *parent)
    : QObject(parent)
    , m_interval(std::max(interval, std::chrono::milliseconds(0)))
    , m_repeats(repeats)
    , m_fireDate(m_interval, Qt::PreciseTimer)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RVTimer::onTimeout);
    arm();
}

void RVTimer::invalidate()
{
    m_valid = false;
    m_fireDate = QDeadlineTimer(QDeadlineTimer::Forever);
    m_timer.stop();
}

void RVTimer::setFireDate(QDeadlineTimer fireDate)
{
    if (!m_valid)
        return;
    m_fireDate = fireDate;
    arm();
}

void RVTimer::arm()
{
    if (m_fireDate.isForever()) {
        m_timer.stop();
        return;
    }
    m_timer.start(static_cast<int>(std::clamp<qint64>(m_fireDate.remainingTime(), 0, kLongestStep)));
}

void RVTimer::onTimeout()
{
    if (!m_valid)
        return;
    if (!m_fireDate.hasExpired()) {
        arm();
        return;
    }
    if (m_repeats) {
        m_fireDate = QDeadlineTimer(m_interval, Qt::PreciseTimer);
        arm();
    } else {
        invalidate();
    }
    // Last: a receiver may delete the timer.
    emit fired(this);
}

void rv_pauseTimer(RVTimer *timer)
{
    if (timer && timer->isValid())
        timer->setFireDate(QDeadlineTimer(QDeadlineTimer::Forever));
}

void rv_resumeTimer(RVTimer *timer)
{
    if (timer && timer->isValid())
        timer->setFireDate(QDeadlineTimer(0, Qt::PreciseTimer));
}

void rv_resumeTimerAfterTimeInterval(RVTimer *timer, double seconds)
{
    if (!timer || !timer->isValid())
        return;
    // A negative or undefined interval means now; a huge one, never in
    // practice but still a finite deadline.
    constexpr double kFarAway = 1e15;
    const double milliseconds =
        std::isfinite(seconds) ? std::clamp(seconds * 1000.0, 0.0, kFarAway) : (seconds > 0 ? kFarAway : 0.0);
    timer->setFireDate(QDeadlineTimer(static_cast<qint64>(milliseconds), Qt::PreciseTimer));
}
