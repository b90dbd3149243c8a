#include "StallWatch.h"

#include <algorithm>

StallWatch::StallWatch() {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &StallWatch::fired);
}

void StallWatch::start() {
    m_clock.start();
    m_lastNs = 0;
    m_timer.start();
}

void StallWatch::fired() {
    const qint64 now = m_clock.nsecsElapsed();
    const double late = double(now - m_lastNs) / 1e6 - kIntervalMs;
    m_lastNs = now;
    m_longestMs = std::max(m_longestMs, late);
    if (late > 20)
        ++m_longStalls;
}
