#include "LogFinder.h"

#include "LogView.h"
#include "SearchBar.h"

#include <algorithm>

namespace {

// Read from the log in pieces this size: a piece from its files is one read.
constexpr qint64 kPiece = qint64(1) << 20;

} // namespace

LogFinder::LogFinder(LogView& log, SearchBar& bar, std::function<bool()> hexShown)
    : QObject(&bar), m_log(log), m_bar(bar), m_hexShown(std::move(hexShown)) {
    m_steps.setSingleShot(true);
    m_steps.setInterval(0);
    connect(&m_steps, &QTimer::timeout, this, &LogFinder::step);
    connect(&m_bar, &SearchBar::patternChanged, this, &LogFinder::restart);
    connect(&m_bar, &SearchBar::nextRequested, this, &LogFinder::next);
    connect(&m_bar, &SearchBar::previousRequested, this, &LogFinder::previous);
    connect(&m_bar, &SearchBar::closed, this, &LogFinder::close);
    connect(&m_log, &LogView::changed, this, &LogFinder::logChanged);
}

void LogFinder::open() {
    const bool wasOpen = m_bar.isVisible();
    m_bar.open();
    if (!wasOpen)
        restart();
}

void LogFinder::restart() {
    m_startOver = true;
    m_steps.start();
}

void LogFinder::next() {
    const int count = int(m_log.highlights().size());
    if (count > 0)
        choose(m_log.currentHighlight() < 0 ? 0 : (m_log.currentHighlight() + 1) % count);
}

void LogFinder::previous() {
    const int count = int(m_log.highlights().size());
    const int current = m_log.currentHighlight();
    if (count > 0)
        choose(current <= 0 ? count - 1 : current - 1);
}

void LogFinder::logChanged(qint64 from, qint64 dropped) {
    if (m_bar.isHidden())
        return;
    // Text appended past where the search got to is searched when its turn comes; anything
    // else means starting over.
    if (!m_search.shiftDown(dropped) || from < m_search.scanned())
        m_startOver = true;
    m_steps.start();
}

void LogFinder::step() {
    if (m_startOver) {
        m_startOver = false;
        const int current = m_log.currentHighlight();
        m_anchor = current >= 0 ? m_log.highlights()[current].from : m_log.firstOffsetInView();
        m_log.clearHighlights();
        m_search.start(m_bar.pattern(), m_hexShown());
        m_chosen = false;
    }
    const LogText& text = m_log.logText();
    QElapsedTimer time;
    time.start();
    while (m_search.scanned() < text.size() && m_log.highlights().size() < kMostMatches &&
           time.elapsed() < kStepMilliseconds) {
        const int before = int(m_log.highlights().size());
        QList<LogRange> found = m_search.scan(text, kPiece);
        found.resize(std::min<qsizetype>(found.size(), kMostMatches - before));
        m_log.addHighlights(found);
        if (m_chosen)
            continue;
        const auto at = std::find_if(found.cbegin(), found.cend(),
                                     [this](const LogRange& r) { return r.from >= m_anchor; });
        if (at != found.cend())
            choose(before + int(at - found.cbegin()));
    }
    const bool done =
        m_search.scanned() >= text.size() || m_log.highlights().size() >= kMostMatches;
    if (done && !m_chosen && !m_log.highlights().isEmpty())
        choose(int(m_log.highlights().size()) - 1);
    if (!done)
        m_steps.start();
    showCount();
}

void LogFinder::close() {
    m_steps.stop();
    m_startOver = false;
    m_search.start({}, false);
    m_log.clearHighlights();
    m_log.setFocus(Qt::OtherFocusReason);
}

void LogFinder::choose(int index) {
    m_chosen = true;
    m_log.setCurrentHighlight(index);
    showCount();
}

void LogFinder::showCount() {
    const bool looking = !m_bar.pattern().isEmpty();
    m_bar.showMatches(m_log.currentHighlight() + 1, looking ? int(m_log.highlights().size()) : -1);
}

#include "moc_LogFinder.cpp"
