#pragma once

#include "log/LogSearch.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class LogView;
class SearchBar;

// Finds in a log what its find bar asks for: every match highlighted, one of them current. The
// log is searched a step at a time, so that a long one never holds up the window, and again as
// text comes or is edited; the bar shows the count as it grows.
class LogFinder : public QObject {
    Q_OBJECT
public:
    // `hexShown` tells whether the log shows received data in hex at the moment.
    LogFinder(LogView& log, SearchBar& bar, std::function<bool()> hexShown);

    // Opens the bar and searches the log.
    void open();
    // The next or previous match becomes current, going round at either end.
    void next();
    void previous();
    // Searches the whole log again (the log's look changed).
    void restart();

    // Matches past this many are not looked for: their marks would outgrow the log.
    static constexpr int kMostMatches = 1 << 20;
    // A step searches for about this long, then lets the window work.
    static constexpr int kStepMilliseconds = 40;

private:
    void logChanged(qint64 from, qint64 dropped);
    void step();
    void close();
    void choose(int index);
    void showCount();

    LogView& m_log;
    SearchBar& m_bar;
    std::function<bool()> m_hexShown;
    LogSearch m_search;
    QTimer m_steps;
    bool m_startOver = false;
    // The first match from here on becomes current; where none is, the last one before it.
    qint64 m_anchor = 0;
    bool m_chosen = false;
};
