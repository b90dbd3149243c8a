// LogView's keys, mouse, context menu and input method, and the caret's blink.

#include "ui/LogView.h"

#include "text/AnsiCodePage.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>

namespace {

bool isWordByte(char byte) {
    return byte == '_' || ansi::charOf(uchar(byte)).isLetterOrNumber();
}

int byteClass(char byte) {
    if (byte == ' ' || byte == '\t')
        return 0;
    return isWordByte(byte) ? 1 : 2;
}

bool isTyping(const QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const auto modifiers = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (modifiers == Qt::ControlModifier)
        return false;
    return text.front() == QLatin1Char('\t') || text.front().isPrint();
}

} // namespace

// Keyboard

void LogView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy)
        copy();
    else if (event == QKeySequence::Cut)
        cut();
    else if (event == QKeySequence::Paste)
        paste();
    else if (event == QKeySequence::SelectAll)
        selectAll();
    else if (event->key() == Qt::Key_Backspace)
        removeBackward();
    else if (event == QKeySequence::Delete)
        removeForward();
    else if (event == QKeySequence::InsertParagraphSeparator ||
             event == QKeySequence::InsertLineSeparator)
        insertAtCaret(QByteArrayLiteral("\r\n"));
    else if (isTyping(event))
        insertAtCaret(ansi::encode(event->text()));
    else if (!moveFor(event))
        return QAbstractScrollArea::keyPressEvent(event);
    event->accept();
}

bool LogView::moveFor(const QKeyEvent* event) {
    using K = QKeySequence;
    struct KeyMove {
        K::StandardKey key;
        Move move;
        bool select;
    };
    static const KeyMove kMoves[] = {
        {K::MoveToNextChar, Move::NextChar, false},
        {K::SelectNextChar, Move::NextChar, true},
        {K::MoveToPreviousChar, Move::PreviousChar, false},
        {K::SelectPreviousChar, Move::PreviousChar, true},
        {K::MoveToNextWord, Move::NextWord, false},
        {K::SelectNextWord, Move::NextWord, true},
        {K::MoveToPreviousWord, Move::PreviousWord, false},
        {K::SelectPreviousWord, Move::PreviousWord, true},
        {K::MoveToNextLine, Move::NextLine, false},
        {K::SelectNextLine, Move::NextLine, true},
        {K::MoveToPreviousLine, Move::PreviousLine, false},
        {K::SelectPreviousLine, Move::PreviousLine, true},
        {K::MoveToNextPage, Move::NextPage, false},
        {K::SelectNextPage, Move::NextPage, true},
        {K::MoveToPreviousPage, Move::PreviousPage, false},
        {K::SelectPreviousPage, Move::PreviousPage, true},
        {K::MoveToStartOfLine, Move::StartOfLine, false},
        {K::SelectStartOfLine, Move::StartOfLine, true},
        {K::MoveToEndOfLine, Move::EndOfLine, false},
        {K::SelectEndOfLine, Move::EndOfLine, true},
        {K::MoveToStartOfDocument, Move::StartOfDocument, false},
        {K::SelectStartOfDocument, Move::StartOfDocument, true},
        {K::MoveToEndOfDocument, Move::EndOfDocument, false},
        {K::SelectEndOfDocument, Move::EndOfDocument, true},
    };
    for (const KeyMove& entry : kMoves) {
        if (!event->matches(entry.key))
            continue;
        const Move move = entry.move;
        const bool vertical = move == Move::NextLine || move == Move::PreviousLine ||
                              move == Move::NextPage || move == Move::PreviousPage;
        qint64 to = movedCaret(move);
        // Without Shift, Left and Right first drop a selection at its own edge.
        if (!entry.select && hasSelection() && move == Move::PreviousChar)
            to = selectionStart();
        if (!entry.select && hasSelection() && move == Move::NextChar)
            to = selectionEnd();
        const qint64 goal = vertical ? m_goalColumn : -1;
        setSelection(entry.select ? m_anchor : to, to);
        m_goalColumn = goal;
        return true;
    }
    return false;
}

qint64 LogView::movedCaret(Move move) {
    const int line = m_text.lineOf(m_caret);
    const int lastLine = m_text.lineCount() - 1;
    // Words are looked for within the caret's line only.
    const qint64 lineStart = m_text.lineStart(line);
    const QByteArray lineBytes = m_text.lineBytes(line);
    const auto startsWord = [&](qint64 at) {
        const qsizetype i = at - lineStart;
        return isWordByte(lineBytes[i]) && (i == 0 || !isWordByte(lineBytes[i - 1]));
    };
    const auto sameColumnOn = [&](int target) {
        if (m_goalColumn < 0)
            m_goalColumn = m_caret - m_text.lineStart(line);
        const qint64 start = m_text.lineStart(target);
        return start + std::min(m_goalColumn, m_text.lineEnd(target) - start);
    };
    switch (move) {
    case Move::NextChar:
        return m_text.nextPosition(m_caret);
    case Move::PreviousChar:
        return m_text.previousPosition(m_caret);
    case Move::NextWord: {
        const qint64 end = m_text.lineEnd(line);
        if (m_caret >= end)
            return m_text.nextPosition(m_caret);
        qint64 at = m_caret + 1;
        while (at < end && !startsWord(at))
            ++at;
        return at;
    }
    case Move::PreviousWord: {
        if (m_caret <= lineStart)
            return m_text.previousPosition(m_caret);
        qint64 at = m_caret - 1;
        while (at > lineStart && !startsWord(at))
            --at;
        return at;
    }
    case Move::NextLine:
        return line < lastLine ? sameColumnOn(line + 1) : m_text.size();
    case Move::PreviousLine:
        return line > 0 ? sameColumnOn(line - 1) : 0;
    case Move::NextPage:
    case Move::PreviousPage: {
        const int step = move == Move::NextPage ? pageLines() : -pageLines();
        const int target = std::clamp(line + step, 0, lastLine);
        verticalScrollBar()->setValue(m_topLine + step);
        if (target == line)
            return step > 0 ? m_text.size() : 0;
        return sameColumnOn(target);
    }
    case Move::StartOfLine:
        return lineStart;
    case Move::EndOfLine:
        return m_text.lineEnd(line);
    case Move::StartOfDocument:
        return 0;
    case Move::EndOfDocument:
        return m_text.size();
    }
    return m_caret;
}

bool LogView::focusNextPrevChild(bool next) {
    // Tab is typed into the log, as in the stock text box; Shift+Tab still leaves it.
    return next ? false : QAbstractScrollArea::focusNextPrevChild(next);
}

void LogView::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty())
        insertAtCaret(ansi::encode(event->commitString()));
    event->accept();
}

QVariant LogView::inputMethodQuery(Qt::InputMethodQuery query) const {
    const int line = m_text.lineOf(m_caret);
    const qint64 start = m_text.lineStart(line);
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    case Qt::ImFont:
        return font();
    case Qt::ImCursorRectangle:
        return characterRect(m_caret, true).translated(viewport()->pos());
    case Qt::ImCursorPosition:
        return int(m_caret - start);
    case Qt::ImAnchorPosition:
        return int(std::clamp(m_anchor, start, m_text.lineEnd(line)) - start);
    case Qt::ImSurroundingText:
        return ansi::decode(m_text.lineBytes(line));
    case Qt::ImCurrentSelection:
        return ansi::decode(selectedBytes());
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// Mouse and menu

void LogView::mousePressEvent(QMouseEvent* event) {
    const qint64 at = offsetAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        setSelection(event->modifiers() & Qt::ShiftModifier ? m_anchor : at, at);
    } else if (event->button() == Qt::MiddleButton) {
        const QClipboard* clipboard = QGuiApplication::clipboard();
        const QString pasted = clipboard->text(QClipboard::Selection);
        if (clipboard->supportsSelection() && !pasted.isEmpty()) {
            setSelection(at, at);
            insertAtCaret(ansi::encode(pasted));
        }
    }
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        setSelection(m_anchor, offsetAt(event->position().toPoint()));
}

void LogView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(ansi::decode(selectedBytes()), QClipboard::Selection);
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        selectWordAt(offsetAt(event->position().toPoint()));
}

void LogView::selectWordAt(qint64 offset) {
    const int line = m_text.lineOf(offset);
    const qint64 start = m_text.lineStart(line);
    const qint64 end = m_text.lineEnd(line);
    if (start == end)
        return;
    offset = std::clamp(offset, start, end - 1);
    const QByteArray bytes = m_text.lineBytes(line);
    const auto classAt = [&](qint64 at) {
        return byteClass(bytes[at - start]);
    };
    const int kind = classAt(offset);
    qint64 from = offset;
    qint64 to = offset + 1;
    while (from > start && classAt(from - 1) == kind)
        --from;
    while (to < end && classAt(to) == kind)
        ++to;
    setSelection(from, to);
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("Copy"), this, [this] { copy(); });
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    QAction* selectAllAction = menu.addAction(tr("Select All"), this, &LogView::selectAll);
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    selectAllAction->setEnabled(m_text.size() > 0);
    menu.addSeparator();
    menu.addAction(tr("Clear"), this, &LogView::clear)->setEnabled(m_text.size() > 0);
    // What the window adds to the log (finding, saving).
    if (!actions().isEmpty()) {
        menu.addSeparator();
        menu.addActions(actions());
    }
    menu.exec(event->globalPos());
}

// Focus and the caret's blink

void LogView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
    viewport()->update();
}

void LogView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    m_blink.stop();
    viewport()->update();
}

void LogView::restartBlink() {
    m_caretOn = true;
    const int flashTime = QApplication::cursorFlashTime();
    if (hasFocus() && flashTime > 0)
        m_blink.start(flashTime / 2, this);
    else
        m_blink.stop();
}

void LogView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_blink.timerId())
        return QAbstractScrollArea::timerEvent(event);
    m_caretOn = !m_caretOn;
    viewport()->update();
}
