#include "LogAccessible.h"

#include "text/AnsiCodePage.h"
#include "ui/LogView.h"

#include <QTextBoundaryFinder>

#include <limits>

namespace {

QAccessibleInterface* logFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("LogView") && object && object->isWidgetType())
        return new LogAccessible(static_cast<LogView*>(object));
    return nullptr;
}

} // namespace

LogAccessible::LogAccessible(LogView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

void LogAccessible::install() {
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(logFactory);
        installed = true;
    }
}

LogView* LogAccessible::view() const {
    return static_cast<LogView*>(widget());
}

void* LogAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString LogAccessible::text(QAccessible::Text type) const {
    // A log partly in its file is read through the text interface, a piece at a time.
    if (type == QAccessible::Value)
        return view()->m_text.storedSize() == 0 ? view()->text() : QString();
    if (type == QAccessible::Name && !view()->accessibleName().isEmpty())
        return view()->accessibleName();
    return QAccessibleWidget::text(type);
}

QAccessible::State LogAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.multiLine = true;
    s.editable = true;
    s.selectableText = true;
    return s;
}

void LogAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    const bool exists = selectionIndex == 0 && view()->hasSelection();
    *startOffset = exists ? int(view()->selectionStart()) : 0;
    *endOffset = exists ? int(view()->selectionEnd()) : 0;
}

int LogAccessible::selectionCount() const {
    return view()->hasSelection() ? 1 : 0;
}

void LogAccessible::addSelection(int startOffset, int endOffset) {
    view()->setSelection(startOffset, endOffset);
}

void LogAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0)
        view()->setSelection(view()->m_caret, view()->m_caret);
}

void LogAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex == 0)
        view()->setSelection(startOffset, endOffset);
}

int LogAccessible::cursorPosition() const {
    return int(view()->m_caret);
}

void LogAccessible::setCursorPosition(int position) {
    view()->setSelection(position, position);
}

QString LogAccessible::text(int startOffset, int endOffset) const {
    if (startOffset < 0 || endOffset < startOffset)
        return QString();
    return ansi::decode(view()->m_text.slice(startOffset, endOffset));
}

std::pair<qint64, qint64> LogAccessible::pieceAt(qint64 offset,
                                                 QAccessible::TextBoundaryType type) const {
    const LogText& log = view()->m_text;
    const int line = log.lineOf(offset);
    const qint64 start = log.lineStart(line);
    const qint64 end = log.lineEnd(line);
    switch (type) {
    case QAccessible::CharBoundary:
        return {offset, std::min(offset + 1, log.size())};
    case QAccessible::WordBoundary:
    case QAccessible::SentenceBoundary: {
        if (offset >= end)
            return {end, log.lineLimit(line)};
        const QString lineText = ansi::decode(log.lineBytes(line));
        QTextBoundaryFinder finder(type == QAccessible::WordBoundary
                                       ? QTextBoundaryFinder::Word
                                       : QTextBoundaryFinder::Sentence,
                                   lineText);
        finder.setPosition(int(offset - start));
        if (!finder.isAtBoundary())
            finder.toPreviousBoundary();
        const qint64 from = start + finder.position();
        const qsizetype to = finder.toNextBoundary();
        return {from, to < 0 ? end : start + to};
    }
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary:
        return {start, log.lineLimit(line)};
    case QAccessible::NoBoundary:
        break;
    }
    return {0, log.size()};
}

QString LogAccessible::piece(std::pair<qint64, qint64> range, int* startOffset,
                             int* endOffset) const {
    *startOffset = int(range.first);
    *endOffset = int(range.second);
    return text(*startOffset, *endOffset);
}

QString LogAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                    int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    if (offset < 0 || offset > characterCount())
        return QString();
    return piece(pieceAt(offset, boundaryType), startOffset, endOffset);
}

QString LogAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    if (offset <= 0 || offset > characterCount())
        return QString();
    const qint64 start = pieceAt(offset, boundaryType).first;
    if (start <= 0)
        return QString();
    return piece(pieceAt(start - 1, boundaryType), startOffset, endOffset);
}

QString LogAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                       int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    if (offset < 0 || offset >= characterCount())
        return QString();
    const qint64 end = pieceAt(offset, boundaryType).second;
    if (end >= characterCount())
        return QString();
    return piece(pieceAt(end, boundaryType), startOffset, endOffset);
}

int LogAccessible::characterCount() const {
    // The interface counts in int; a log past 2 GB shows its first 2 GB to it.
    return int(std::min<qint64>(view()->size(), std::numeric_limits<int>::max()));
}

QRect LogAccessible::characterRect(int offset) const {
    if (offset < 0 || offset > characterCount())
        return QRect();
    const QRect rect = view()->characterRect(offset, false);
    return rect.isValid() ? rect.translated(view()->viewport()->mapToGlobal(QPoint(0, 0))) : rect;
}

int LogAccessible::offsetAtPoint(const QPoint& point) const {
    const QWidget* viewport = view()->viewport();
    const QPoint local = viewport->mapFromGlobal(point);
    return viewport->rect().contains(local) ? int(view()->offsetAt(local)) : -1;
}

void LogAccessible::scrollToSubstring(int startIndex, int endIndex) {
    view()->ensureVisible(endIndex);
    view()->ensureVisible(startIndex);
}

QString LogAccessible::attributes(int, int* startOffset, int* endOffset) const {
    *startOffset = 0;
    *endOffset = characterCount();
    return QString();
}

void LogAccessible::deleteText(int startOffset, int endOffset) {
    replaceText(startOffset, endOffset, QString());
}

void LogAccessible::insertText(int offset, const QString& text) {
    replaceText(offset, offset, text);
}

void LogAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
    const qint64 size = view()->size();
    const qint64 from = std::clamp<qint64>(startOffset, 0, size);
    const qint64 to = std::clamp<qint64>(endOffset, from, size);
    view()->replace(from, to - from, ansi::encode(text));
}
