#include "TickMarkTimer.h"

#include <QSocketNotifier>

#include <algorithm>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace tickMarks {

qint64 monotonicMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

qint64 atOrAfter(qint64 monotonicMs) {
    const qint64 past = monotonicMs % kEveryMs;
    return past == 0 ? monotonicMs : monotonicMs - past + kEveryMs;
}

} // namespace tickMarks

TickMarkTimer::TickMarkTimer(QObject* parent) : QObject(parent) {
    m_fallback.setSingleShot(true);
    m_fallback.setTimerType(Qt::PreciseTimer);
    connect(&m_fallback, &QTimer::timeout, this, &TickMarkTimer::expired);
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        quint64 expirations = 0;
        if (::read(m_fd, &expirations, sizeof expirations) == sizeof expirations)
            expired();
    });
}

TickMarkTimer::~TickMarkTimer() {
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void TickMarkTimer::startAt(qint64 monotonicMs) {
    m_active = true;
    if (m_fd < 0) {
        m_fallback.start(
            int(std::clamp<qint64>(monotonicMs - tickMarks::monotonicMs(), 0, 1 << 30)));
        return;
    }
    itimerspec when{};
    // Zero would disarm it; an instant gone fires at once.
    when.it_value.tv_sec = time_t(std::max<qint64>(monotonicMs, 1) / 1000);
    when.it_value.tv_nsec = long(std::max<qint64>(monotonicMs, 1) % 1000) * 1000000;
    ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &when, nullptr);
}

void TickMarkTimer::stop() {
    m_active = false;
    m_fallback.stop();
    if (m_fd < 0)
        return;
    const itimerspec never{};
    ::timerfd_settime(m_fd, 0, &never, nullptr);
}

void TickMarkTimer::expired() {
    if (!m_active)
        return;
    m_active = false;
    emit timeout();
}

#include "moc_TickMarkTimer.cpp"
