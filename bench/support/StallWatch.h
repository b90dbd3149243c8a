#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// A fine timer that notes how late the event loop lets it fire: the longest lateness is the
// longest time the loop was busy with something else.
class StallWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 2;

    StallWatch();
    void start();
    void stop() { m_timer.stop(); }

    double longestStallMs() const { return m_longestMs; }
    // Stalls longer than 20 ms.
    int longStalls() const { return m_longStalls; }

private:
    void fired();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    double m_longestMs = 0;
    int m_longStalls = 0;
};
