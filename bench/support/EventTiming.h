#pragma once

#include <QApplication>
#include <QString>

#include <functional>
#include <vector>

// The application object, timing how long each event the event loop hands out takes to handle
// (events sent from inside another event's handling count as part of it), in wall time and in
// the GUI thread's CPU time: an event whose wall time is far above its CPU time waited for a
// core. The poll loop's ticks are the timer events of the program's Clock, told apart by the
// object they go to.
class EventTiming : public QApplication {
public:
    using QApplication::QApplication;

    struct Handling {
        double wallMs = 0;
        double cpuMs = 0;
        QString what;
    };

    // Timer events for an object inside [begin, end) are ticks; with a filter, only those for
    // which it says yes just before they are handled.
    void countTicksOf(const void* begin, const void* end, std::function<bool()> filter = nullptr);
    void reset();
    bool notify(QObject* receiver, QEvent* event) override;

    std::vector<double> tickMs;
    std::vector<double> paintMs;
    Handling longestTick;
    Handling longestPaint;
    Handling longestOther;

private:
    const char* m_tickBegin = nullptr;
    const char* m_tickEnd = nullptr;
    std::function<bool()> m_tickFilter;
    int m_depth = 0;
};
