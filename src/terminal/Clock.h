#pragma once

#include "serial/TickMarkTimer.h"

#include <functional>
#include <optional>
#include <vector>

class Timer;

// The time the terminal's timers run on, in milliseconds. It stands still until a test moves
// it by hand, so behaviour that takes time can be tested tick by tick; followRealTime() hands
// it to the monotonic clock, and from then on it runs its timers by itself.
class Clock {
public:
    Clock();
    ~Clock();
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    qint64 now() const;

    // Moves a hand-moved clock on, running every timer that falls due on the way, in order.
    void advanceBy(qint64 ms) { advanceTo(now() + ms); }
    void advanceTo(qint64 ms);

    void followRealTime();

    // When the next enabled timer falls due.
    std::optional<qint64> nextDue() const;

private:
    friend class Timer;
    void add(Timer* timer);
    void remove(Timer* timer);
    void scheduleChanged();
    void runDue(qint64 until);
    Timer* firstDue(qint64 until) const;

    qint64 monotonicToClock(qint64 monotonicMs) const { return monotonicMs + m_realOffset; }
    qint64 clockToMonotonic(qint64 ms) const { return ms - m_realOffset; }

    std::vector<Timer*> m_timers;
    qint64 m_handTime = 0;
    bool m_real = false;
    // In real time: the clock's time less the monotonic clock's.
    qint64 m_realOffset = 0;
    TickMarkTimer m_wake;
};

// A timer in the manner of a window's timer control: while enabled, it fires every interval,
// counted from the moment it was enabled. A handler that is still running (waiting on a message
// box, say) is not entered again; ticks missed meanwhile in real time are not made up. In real
// time, a timer whose interval is a whole number of ticks of tickMarks has its first tick an
// interval after it was enabled and the later ones on those marks, at most one mark late: the
// process then wakes once for all of them.
class Timer {
public:
    Timer(Clock& clock, int intervalMs, std::function<void()> onTimeout);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    int interval() const { return m_interval; }

private:
    friend class Clock;
    Clock& m_clock;
    int m_interval;
    std::function<void()> m_onTimeout;
    bool m_enabled = false;
    bool m_running = false;
    qint64 m_due = 0;
};
