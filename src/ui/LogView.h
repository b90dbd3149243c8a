#pragma once

#include "log/LogSearch.h"
#include "log/LogText.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QCache>
#include <QTextLayout>

#include <algorithm>
#include <functional>
#include <memory>

// A channel's log: an editable text box for 8-bit text that stays small and quick however long
// it grows. It keeps one byte per character and lays out only the lines in view; the vertical
// scroll bar counts lines. Offsets are byte offsets.
class LogView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit LogView(QWidget* parent = nullptr);
    ~LogView() override;

    // Adds received bytes at the end and shows them with the caret at the end. While the user
    // holds a selection the caret, the selection and the view stay where they are.
    void appendBytes(const QByteArray& bytes);
    // The same for `size` bytes that `fill` writes straight into the log.
    void appendBytes(qint64 size, const std::function<void(char*)>& fill);
    void moveCaretToEnd();
    void clear();

    // The whole log as it came: a long log is read back from its file, so this is for tests and
    // short logs. A copy kept past the next change makes that change copy the log.
    QByteArray bytes() const { return m_text.bytes(); }
    QString text() const;
    // Past this many bytes the older part of the log goes to a file (see LogText).
    void setStoreThreshold(qint64 bytes) { m_text.setThreshold(bytes); }
    QStringList storeFiles() const { return m_text.storeFiles(); }
    qint64 size() const { return m_text.size(); }
    qint64 caretPosition() const { return m_caret; }
    QByteArray selectedBytes() const;
    // A line longer than LogText::kMaxLineLength counts as more than one.
    int lineCount() const { return m_text.lineCount(); }

    // Stretches drawn in the highlight colour (matches found), ascending and apart; the current
    // one in a colour of its own, selected and scrolled into view. Dropped with the oldest text.
    void addHighlights(const QList<LogRange>& ranges);
    void clearHighlights();
    void setCurrentHighlight(int index);
    const QList<LogRange>& highlights() const { return m_highlights; }
    int currentHighlight() const { return m_currentHighlight; }
    const LogText& logText() const { return m_text; }
    // Where the first line in view starts.
    qint64 firstOffsetInView() const { return m_text.lineStart(m_topLine); }

    void copy() const;
    void cut();
    void paste();
    void selectAll();

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

signals:
    // The text changed from this offset on (the old end, for an append), after the oldest
    // `dropped` bytes were given up, which moved every offset down by that much.
    void changed(qint64 from, qint64 dropped);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    friend class LogAccessible;
    enum class Move {
        NextChar,
        PreviousChar,
        NextWord,
        PreviousWord,
        NextLine,
        PreviousLine,
        NextPage,
        PreviousPage,
        StartOfLine,
        EndOfLine,
        StartOfDocument,
        EndOfDocument,
    };

    bool hasSelection() const { return m_anchor != m_caret; }
    qint64 selectionStart() const { return std::min(m_anchor, m_caret); }
    qint64 selectionEnd() const { return std::max(m_anchor, m_caret); }
    void setSelection(qint64 anchor, qint64 caret);
    void replace(qint64 position, qint64 removed, const QByteArray& inserted);
    void insertAtCaret(const QByteArray& inserted);
    void removeBackward();
    void removeForward();
    bool moveFor(const QKeyEvent* event);
    qint64 movedCaret(Move move);
    void selectWordAt(qint64 offset);
    void caretMoved();
    // After the oldest text was dropped, what pointed into the log follows what it pointed at.
    // Returns how far offsets moved down.
    qint64 followFrontShift();

    // Layout of the lines in view.
    QFont layoutFont() const;
    std::unique_ptr<QTextLayout> layOut(int line) const;
    // The line's layout, kept from one call to the next until the line or the width changes.
    const QTextLayout& layoutOf(int line) const;
    void forgetLayoutsFrom(int line);
    qreal lineHeight(int line) const;
    int availableHeight() const;
    int pageLines() const;
    // Calls visit(line, layout, top) for each line in view, top in viewport pixels, until it
    // returns false.
    template <class Visit> void forEachLineInView(Visit visit) const;
    QList<QTextLayout::FormatRange> highlightsIn(qint64 start, qint64 end) const;
    qint64 offsetAt(const QPoint& point) const;
    QRect characterRect(qint64 offset, bool caretOnly) const;
    // The first line from which `line`, counted to `heightUsed` pixels, still fits in view.
    int firstLineFitting(int line, qreal heightUsed) const;
    void ensureVisible(qint64 offset);
    void updateScrollRange();
    void scrollToLine(int line, int pixelOffset);
    void restartBlink();

    LogText m_text;
    qint64 m_caret = 0;
    qint64 m_anchor = 0;
    qint64 m_goalColumn = -1; // kept while moving up and down
    int m_topLine = 0;        // the scroll bar's value
    int m_topOffset = 0;      // pixels of the top line above the view, for a line taller than it
    bool m_scrolling = false;
    bool m_dragging = false;
    bool m_caretOn = true;
    QBasicTimer m_blink;
    mutable QCache<int, QTextLayout> m_layouts{256};
    QList<LogRange> m_highlights;
    int m_currentHighlight = -1;
};
