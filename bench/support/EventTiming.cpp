#include "EventTiming.h"

#include "ProcessUsage.h"

#include <QElapsedTimer>
#include <QEvent>

void EventTiming::countTicksOf(const void* begin, const void* end, std::function<bool()> filter) {
    m_tickBegin = static_cast<const char*>(begin);
    m_tickEnd = static_cast<const char*>(end);
    m_tickFilter = std::move(filter);
}

void EventTiming::reset() {
    tickMs.clear();
    paintMs.clear();
    longestTick = longestPaint = longestOther = Handling();
}

bool EventTiming::notify(QObject* receiver, QEvent* event) {
    if (m_depth > 0)
        return QApplication::notify(receiver, event);
    const QEvent::Type type = event->type();
    // The clock wakes by a timer, or by the notifier of a timer descriptor its timer owns.
    const QObject* waker = type == QEvent::SockAct ? receiver->parent() : receiver;
    const auto* address = reinterpret_cast<const char*>(waker);
    const bool tick = (type == QEvent::Timer || type == QEvent::SockAct) &&
                      address >= m_tickBegin && address < m_tickEnd &&
                      (!m_tickFilter || m_tickFilter());
    const bool paint = type == QEvent::UpdateRequest || type == QEvent::Paint;
    // The receiver may be gone once the event is handled.
    const char* className = receiver->metaObject()->className();
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = usage::threadCpuSeconds();
    ++m_depth;
    const bool handled = QApplication::notify(receiver, event);
    --m_depth;
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (tick)
        tickMs.push_back(ms);
    else if (paint)
        paintMs.push_back(ms);
    Handling& longest = tick ? longestTick : paint ? longestPaint : longestOther;
    if (ms > longest.wallMs) {
        longest.wallMs = ms;
        longest.cpuMs = (usage::threadCpuSeconds() - cpuBefore) * 1000;
        longest.what =
            QStringLiteral("event %1 to a %2").arg(int(type)).arg(QLatin1String(className));
    }
    return handled;
}
