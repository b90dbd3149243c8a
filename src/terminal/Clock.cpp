#include "Clock.h"

#include <algorithm>

Clock::Clock() {
    // It fires at the due time itself: a timer that fires a little early finds nothing due and
    // costs a second wake-up for the same tick.
    QObject::connect(&m_wake, &TickMarkTimer::timeout, [this] {
        runDue(now());
        scheduleChanged();
    });
}

Clock::~Clock() = default;

qint64 Clock::now() const {
    return m_real ? monotonicToClock(tickMarks::monotonicMs()) : m_handTime;
}

void Clock::advanceTo(qint64 ms) {
    if (m_real)
        return;
    runDue(ms);
    m_handTime = std::max(m_handTime, ms);
}

void Clock::followRealTime() {
    m_realOffset = now() - tickMarks::monotonicMs();
    m_real = true;
    scheduleChanged();
}

std::optional<qint64> Clock::nextDue() const {
    std::optional<qint64> next;
    for (const Timer* t : m_timers) {
        if (t->m_enabled && !t->m_running && (!next || t->m_due < *next))
            next = t->m_due;
    }
    return next;
}

void Clock::add(Timer* timer) {
    m_timers.push_back(timer);
}

void Clock::remove(Timer* timer) {
    m_timers.erase(std::remove(m_timers.begin(), m_timers.end(), timer), m_timers.end());
}

void Clock::scheduleChanged() {
    if (!m_real)
        return;
    const std::optional<qint64> next = nextDue();
    if (next)
        m_wake.startAt(clockToMonotonic(*next));
    else
        m_wake.stop();
}

Timer* Clock::firstDue(qint64 until) const {
    Timer* first = nullptr;
    for (Timer* t : m_timers) {
        if (t->m_enabled && !t->m_running && t->m_due <= until &&
            (!first || t->m_due < first->m_due))
            first = t;
    }
    return first;
}

void Clock::runDue(qint64 until) {
    while (Timer* t = firstDue(until)) {
        if (!m_real)
            m_handTime = std::max(m_handTime, t->m_due);
        t->m_due += t->m_interval;
        const bool onMarks = m_real && t->m_interval % tickMarks::kEveryMs == 0;
        // A tick missed is not made up; a timer on the marks takes the last mark of the interval
        // from now, not the one after it, or a tick that overran would cost it a whole tick more.
        if (t->m_due <= now())
            t->m_due = now() + t->m_interval - (onMarks ? tickMarks::kEveryMs - 1 : 0);
        if (onMarks)
            t->m_due = monotonicToClock(tickMarks::atOrAfter(clockToMonotonic(t->m_due)));
        t->m_running = true;
        // Other timers keep running while this handler waits in a message box.
        scheduleChanged();
        t->m_onTimeout();
        t->m_running = false;
    }
}

Timer::Timer(Clock& clock, int intervalMs, std::function<void()> onTimeout)
    : m_clock(clock), m_interval(intervalMs), m_onTimeout(std::move(onTimeout)) {
    m_clock.add(this);
}

Timer::~Timer() {
    m_clock.remove(this);
}

void Timer::setEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (enabled)
        m_due = m_clock.now() + m_interval;
    m_clock.scheduleChanged();
}
