#include "LogView.h"

#include "Colours.h"
#include "log/LogAccessible.h"
#include "log/LogScrollBar.h"
#include "serial/FreedMemory.h"
#include "text/AnsiCodePage.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <cmath>
#include <cstring>

namespace {

// The stock plain-text box's document margin and tab stops.
constexpr int kMargin = 4;
constexpr qreal kTabStop = 80;

QTextLine rowAt(const QTextLayout& layout, int column) {
    const QTextLine row = layout.lineForTextPosition(column);
    return row.isValid() ? row : layout.lineAt(layout.lineCount() - 1);
}

qreal heightOf(const QTextLayout& layout) {
    const QTextLine last = layout.lineAt(layout.lineCount() - 1);
    return last.y() + last.height();
}

void notify(QAccessibleEvent&& event) {
    QAccessible::updateAccessibility(&event);
}

} // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
    LogAccessible::install();
    setVerticalScrollBar(new LogScrollBar(this));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    updateScrollRange();
}

LogView::~LogView() = default;

QString LogView::text() const {
    return ansi::decode(m_text.bytes());
}

QByteArray LogView::selectedBytes() const {
    return m_text.slice(selectionStart(), selectionEnd());
}

void LogView::appendBytes(const QByteArray& bytes) {
    appendBytes(bytes.size(),
                [&](char* out) { std::memcpy(out, bytes.constData(), size_t(bytes.size())); });
}

void LogView::appendBytes(qint64 size, const std::function<void(char*)>& fill) {
    qint64 end = m_text.size();
    // A CR at the end may be joined by the LF that comes now: the line before then changes too.
    const bool lastIsCr = end > 0 && m_text.at(end - 1) == '\r';
    forgetLayoutsFrom(m_text.lineCount() - (lastIsCr ? 2 : 1));
    const LogScrollBar::Batch scrolling(static_cast<LogScrollBar*>(verticalScrollBar()));
    m_text.append(size, fill);
    const qint64 dropped = followFrontShift();
    end -= dropped;
    if (QAccessible::isActive() && size > 0)
        notify(QAccessibleTextInsertEvent(this, int(end),
                                          ansi::decode(m_text.slice(end, m_text.size()))));
    updateScrollRange();
    // The user is choosing text: new lines must not take it away.
    if (hasSelection() || m_dragging)
        viewport()->update();
    else
        moveCaretToEnd();
    emit changed(end, dropped);
}

qint64 LogView::followFrontShift() {
    const LogText::FrontShift shift = m_text.takeFrontShift();
    if (shift.bytes == 0)
        return 0;
    m_caret = std::max<qint64>(0, m_caret - shift.bytes);
    m_anchor = std::max<qint64>(0, m_anchor - shift.bytes);
    m_topLine = std::max(0, m_topLine - shift.lines);
    m_topOffset = 0;
    m_layouts.clear();
    // Highlights go with the text they mark.
    const auto gone = std::find_if(m_highlights.begin(), m_highlights.end(),
                                   [&](const LogRange& r) { return r.to > shift.bytes; });
    const int lost = int(gone - m_highlights.begin());
    m_highlights.erase(m_highlights.begin(), gone);
    for (LogRange& r : m_highlights)
        r = {std::max<qint64>(0, r.from - shift.bytes), r.to - shift.bytes};
    m_currentHighlight = m_currentHighlight >= lost ? m_currentHighlight - lost : -1;
    return shift.bytes;
}

void LogView::moveCaretToEnd() {
    setSelection(m_text.size(), m_text.size());
}

void LogView::clear() {
    // A log partly in its file is too long to hand over as removed text.
    if (QAccessible::isActive() && m_text.storedSize() > 0)
        notify(QAccessibleEvent(this, QAccessible::TextUpdated));
    else if (QAccessible::isActive() && m_text.size() > 0)
        notify(QAccessibleTextRemoveEvent(this, 0, text()));
    m_text.clear();
    m_layouts.clear();
    m_topOffset = 0;
    clearHighlights();
    updateScrollRange();
    setSelection(0, 0);
    giveFreedMemoryBack();
    emit changed(0, 0);
}

void LogView::addHighlights(const QList<LogRange>& ranges) {
    if (ranges.isEmpty())
        return;
    m_highlights += ranges;
    viewport()->update();
}

void LogView::clearHighlights() {
    m_highlights.clear();
    m_currentHighlight = -1;
    viewport()->update();
}

void LogView::setCurrentHighlight(int index) {
    if (index < 0 || index >= m_highlights.size())
        index = -1;
    m_currentHighlight = index;
    // Selected, it stays in view while more text comes.
    if (index >= 0)
        setSelection(m_highlights[index].from, m_highlights[index].to);
    viewport()->update();
}

void LogView::copy() const {
    if (!hasSelection())
        return;
    const QString selected = ansi::decode(selectedBytes());
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(selected);
    if (clipboard->supportsSelection())
        clipboard->setText(selected, QClipboard::Selection);
}

void LogView::cut() {
    if (!hasSelection())
        return;
    copy();
    insertAtCaret({});
}

void LogView::paste() {
    const QString pasted = QGuiApplication::clipboard()->text();
    if (!pasted.isEmpty())
        insertAtCaret(ansi::encode(pasted));
}

void LogView::selectAll() {
    setSelection(0, m_text.size());
}

void LogView::setSelection(qint64 anchor, qint64 caret) {
    m_anchor = m_text.validPosition(anchor);
    m_caret = m_text.validPosition(caret);
    m_goalColumn = -1;
    caretMoved();
}

void LogView::caretMoved() {
    ensureVisible(m_caret);
    restartBlink();
    viewport()->update();
    if (!QAccessible::isActive())
        return;
    notify(QAccessibleTextCursorEvent(this, int(m_caret)));
    if (hasSelection())
        notify(QAccessibleTextSelectionEvent(this, int(selectionStart()), int(selectionEnd())));
}

void LogView::replace(qint64 position, qint64 removed, const QByteArray& inserted) {
    // The part of a long log that is in its file stays as it came.
    if (!m_text.isEditable(position))
        return;
    if (QAccessible::isActive() && removed > 0) {
        const QByteArray gone = m_text.slice(position, position + removed);
        notify(QAccessibleTextRemoveEvent(this, int(position), ansi::decode(gone)));
    }
    // An edit next to a line break may change the line before it too.
    forgetLayoutsFrom(std::max(0, m_text.lineOf(position) - 1));
    // What was found from here on no longer stands there.
    const auto stale = std::find_if(m_highlights.begin(), m_highlights.end(),
                                    [&](const LogRange& r) { return r.to > position; });
    if (m_currentHighlight >= int(stale - m_highlights.begin()))
        m_currentHighlight = -1;
    m_highlights.erase(stale, m_highlights.end());
    m_text.replace(position, removed, inserted);
    const qint64 dropped = followFrontShift();
    position -= dropped;
    if (QAccessible::isActive() && !inserted.isEmpty())
        notify(QAccessibleTextInsertEvent(this, int(position), ansi::decode(inserted)));
    updateScrollRange();
    setSelection(position + inserted.size(), position + inserted.size());
    emit changed(position, dropped);
}

void LogView::insertAtCaret(const QByteArray& inserted) {
    replace(selectionStart(), selectionEnd() - selectionStart(), inserted);
}

void LogView::removeBackward() {
    if (!hasSelection() && m_caret > 0)
        m_anchor = m_text.previousPosition(m_caret);
    if (hasSelection())
        insertAtCaret({});
}

void LogView::removeForward() {
    if (!hasSelection() && m_caret < m_text.size())
        m_anchor = m_text.nextPosition(m_caret);
    if (hasSelection())
        insertAtCaret({});
}

// Layout, painting and scrolling

// Kerning and ligatures are cosmetic in the scripts an 8-bit log holds, and shaping was half of
// laying out a tick's line; scripts that need shaping still get it.
QFont LogView::layoutFont() const {
    QFont f = font();
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
}

std::unique_ptr<QTextLayout> LogView::layOut(int line) const {
    auto layout = std::make_unique<QTextLayout>(ansi::decode(m_text.lineBytes(line)), layoutFont(),
                                                viewport());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(kTabStop);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    const qreal width = std::max(1, viewport()->width() - 2 * kMargin);
    qreal y = 0;
    layout->beginLayout();
    for (QTextLine row = layout->createLine(); row.isValid(); row = layout->createLine()) {
        row.setLeadingIncluded(true);
        row.setLineWidth(width);
        row.setPosition(QPointF(0, y));
        y += row.height();
    }
    layout->endLayout();
    return layout;
}

const QTextLayout& LogView::layoutOf(int line) const {
    if (const QTextLayout* kept = m_layouts.object(line))
        return *kept;
    QTextLayout* fresh = layOut(line).release();
    m_layouts.insert(line, fresh);
    return *fresh;
}

void LogView::forgetLayoutsFrom(int line) {
    for (const int kept : m_layouts.keys()) {
        if (kept >= line)
            m_layouts.remove(kept);
    }
}

qreal LogView::lineHeight(int line) const {
    return heightOf(layoutOf(line));
}

int LogView::availableHeight() const {
    return std::max(1, viewport()->height() - 2 * kMargin);
}

int LogView::pageLines() const {
    return std::max(1, availableHeight() / std::max(1, fontMetrics().lineSpacing()));
}

template <class Visit> void LogView::forEachLineInView(Visit visit) const {
    qreal top = kMargin - m_topOffset;
    const int bottom = viewport()->height();
    for (int line = m_topLine; line < m_text.lineCount() && top < bottom; ++line) {
        const QTextLayout& layout = layoutOf(line);
        if (!visit(line, layout, top))
            return;
        top += heightOf(layout);
    }
}

void LogView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QPalette& colours = palette();
    painter.setPen(colours.color(QPalette::Text));
    QTextCharFormat selected;
    selected.setBackground(colours.brush(QPalette::Highlight));
    selected.setForeground(colours.brush(QPalette::HighlightedText));
    const qint64 from = selectionStart();
    const qint64 to = selectionEnd();
    const int caretLine = hasFocus() && m_caretOn ? m_text.lineOf(m_caret) : -1;
    const int breakWidth = fontMetrics().horizontalAdvance(QLatin1Char(' '));

    forEachLineInView([&](int line, const QTextLayout& layout, qreal top) {
        const qint64 start = m_text.lineStart(line);
        const qint64 end = m_text.lineEnd(line);
        const QPointF origin(kMargin, top);
        QList<QTextLayout::FormatRange> selections = highlightsIn(start, end);
        if (from < end && to > start)
            selections.append({int(std::max(from, start) - start),
                               int(std::min(to, end) - std::max(from, start)), selected});
        // Only the rows in view: a tick of hex is one line of many rows.
        layout.draw(&painter, origin, selections, QRectF(viewport()->rect()));
        // A selected line break shows as a selected space after the line.
        if (from <= end && to > end && end < m_text.lineLimit(line)) {
            const QTextLine last = layout.lineAt(layout.lineCount() - 1);
            const QRectF mark(origin.x() + last.cursorToX(int(end - start)), top + last.y(),
                              breakWidth, last.height());
            painter.fillRect(mark, colours.brush(QPalette::Highlight));
        }
        if (line == caretLine)
            layout.drawCursor(&painter, origin, int(m_caret - start));
        return true;
    });
}

QList<QTextLayout::FormatRange> LogView::highlightsIn(qint64 start, qint64 end) const {
    QList<QTextLayout::FormatRange> marks;
    QTextCharFormat found;
    found.setBackground(kMatchBackground);
    found.setForeground(QColor(Qt::black));
    QTextCharFormat current = found;
    current.setBackground(kCurrentMatchBackground);
    auto r = std::partition_point(m_highlights.begin(), m_highlights.end(),
                                  [&](const LogRange& h) { return h.to <= start; });
    for (; r != m_highlights.end() && r->from < end; ++r) {
        const qint64 from = std::max(r->from, start);
        const bool isCurrent = r - m_highlights.begin() == m_currentHighlight;
        marks.append(
            {int(from - start), int(std::min(r->to, end) - from), isCurrent ? current : found});
    }
    return marks;
}

qint64 LogView::offsetAt(const QPoint& point) const {
    if (point.y() < 0 && m_topOffset == 0 && m_topLine > 0)
        return m_text.lineStart(m_topLine - 1);
    qint64 found = -1;
    int lastSeen = m_topLine;
    forEachLineInView([&](int line, const QTextLayout& layout, qreal top) {
        lastSeen = line;
        const qreal y = point.y() - top;
        if (y >= heightOf(layout) && line + 1 < m_text.lineCount())
            return true;
        int row = 0;
        while (row + 1 < layout.lineCount() && y >= layout.lineAt(row + 1).y())
            ++row;
        found = m_text.lineStart(line) + layout.lineAt(row).xToCursor(point.x() - kMargin);
        return false;
    });
    // Below the lines in view: the next line, so that dragging there scrolls.
    return m_text.validPosition(found >= 0 ? found : m_text.lineLimit(lastSeen));
}

QRect LogView::characterRect(qint64 offset, bool caretOnly) const {
    const int line = m_text.lineOf(offset);
    QRect rect;
    forEachLineInView([&](int seen, const QTextLayout& layout, qreal top) {
        if (seen < line)
            return true;
        if (seen == line) {
            const int column = int(offset - m_text.lineStart(line));
            const QTextLine row = rowAt(layout, column);
            const qreal left = row.cursorToX(column);
            const bool hasWidth = !caretOnly && column < layout.text().size();
            const qreal right = hasWidth ? row.cursorToX(column + 1) : left + 1;
            rect = QRectF(kMargin + left, top + row.y(), std::max<qreal>(1, right - left),
                          row.height())
                       .toAlignedRect();
        }
        return false;
    });
    return rect;
}

void LogView::ensureVisible(qint64 offset) {
    const int line = m_text.lineOf(offset);
    const QTextLine row = rowAt(layoutOf(line), int(offset - m_text.lineStart(line)));
    const qreal rowTop = row.y();
    const qreal rowBottom = row.y() + row.height();
    const int available = availableHeight();
    if (line < m_topLine || (line == m_topLine && rowTop < m_topOffset))
        return scrollToLine(line, rowBottom <= available ? 0 : int(rowTop));

    qreal y = -m_topOffset;
    for (int seen = m_topLine; seen < line && y <= available; ++seen)
        y += lineHeight(seen);
    if (y + rowBottom <= available)
        return;
    // Only a line taller than the view is shown from part way down.
    if (rowBottom > available)
        return scrollToLine(line, int(std::ceil(rowBottom - available)));
    const int first = firstLineFitting(line, rowBottom);
    // When the line above is too tall to fit whole (a tick's hex, say), its end fills the room
    // left, rather than the view showing nothing but the caret.
    if (first == line && line > 0 && rowBottom < available)
        return scrollToLine(line - 1,
                            int(std::ceil(lineHeight(line - 1) - (available - rowBottom))));
    scrollToLine(first, 0);
}

int LogView::firstLineFitting(int line, qreal heightUsed) const {
    while (line > 0) {
        const qreal above = lineHeight(line - 1);
        if (heightUsed + above > availableHeight())
            break;
        heightUsed += above;
        --line;
    }
    return line;
}

void LogView::updateScrollRange() {
    // The last position is the first line from which the rest of the log fits in view.
    const int last = m_text.lineCount() - 1;
    verticalScrollBar()->setPageStep(pageLines());
    verticalScrollBar()->setRange(0, firstLineFitting(last, lineHeight(last)));
}

void LogView::scrollToLine(int line, int pixelOffset) {
    m_topOffset = pixelOffset;
    m_scrolling = true;
    verticalScrollBar()->setValue(line);
    m_scrolling = false;
    m_topLine = line;
    viewport()->update();
}

void LogView::scrollContentsBy(int, int) {
    if (!m_scrolling) {
        m_topLine = verticalScrollBar()->value();
        m_topOffset = 0;
    }
    viewport()->update();
}

void LogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        m_layouts.clear();
    updateScrollRange();
}

void LogView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_layouts.clear();
        updateScrollRange();
    }
}

#include "moc_LogView.cpp"
