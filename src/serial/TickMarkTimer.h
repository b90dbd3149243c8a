#pragma once

#include <QObject>
#include <QTimer>

#include <memory>

class QSocketNotifier;

// The process wakes for the terminal's 100 ms tick anyway. Waits that fall on the tick's marks
// of the monotonic clock (the clock Qt's timers run on, whose coarse timers, such as a caret's
// blink, keep to the same marks) end in the same wake-up instead of one of their own.
namespace tickMarks {
constexpr qint64 kEveryMs = 100;
// Milliseconds of the monotonic clock.
qint64 monotonicMs();
qint64 atOrAfter(qint64 monotonicMs);
} // namespace tickMarks

// A single-shot timer that fires at an instant of the monotonic clock, to the nanosecond: a
// QTimer counts from when it is started, to the millisecond, and so cannot be made to fire at
// a mark.
class TickMarkTimer final : public QObject {
    Q_OBJECT
public:
    explicit TickMarkTimer(QObject* parent = nullptr);
    ~TickMarkTimer() override;

    void startAt(qint64 monotonicMs);
    void stop();
    bool isActive() const { return m_active; }

signals:
    void timeout();

private:
    void expired();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    // Where the system has no timer descriptor left to give.
    QTimer m_fallback;
    bool m_active = false;
};
