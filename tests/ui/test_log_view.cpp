#include "ResidentMemory.h"
#include "text/AnsiCodePage.h"
#include "ui/LogView.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <limits>
#include <memory>

namespace {

std::unique_ptr<LogView> makeView() {
    auto view = std::make_unique<LogView>();
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(12);
    view->setFont(font);
    view->resize(400, 200);
    view->show();
    return view;
}

QByteArray lines(int from, int to) {
    QByteArray text;
    for (int i = from; i < to; ++i)
        text += "line " + QByteArray::number(i) + "\r\n";
    return text;
}

void type(LogView& view, const QString& text) {
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, &view, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

template <class Action> qint64 fastestOfThree(Action action) {
    qint64 fastest = std::numeric_limits<qint64>::max();
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        action();
        fastest = std::min(fastest, timer.nsecsElapsed());
    }
    return fastest;
}

} // namespace

class LogViewTest : public QObject {
    Q_OBJECT
private slots:
    void init() { m_view = makeView(); }
    void cleanup() { m_view.reset(); }
    void appendingKeepsEveryByteAndShowsTheNewest();
    void theScrollBarRedrawsOnlyWhenItsLookChanges();
    void typingEditsAtTheCaretWhileAppendsGoToTheEnd();
    void selectionAndCopySpanAppends();
    void caretMovesByCharacterLineAndPage();
    void theContextMenuClearsTheLog();
    void everyByteValueShowsAndNulDoesNotCutTheLine();
    void readsAsATextBoxToAccessibilityTools();
    void hundredMegabytesStaySmallAndQuick();
    void aClearedLogGivesItsMemoryBack();

private:
    QAccessibleTextInterface* accessibleText() const {
        return QAccessible::queryAccessibleInterface(m_view.get())->textInterface();
    }
    // Just inside the left edge of a character, in the viewport.
    QPoint pointAt(int offset) const {
        const QRect r = accessibleText()->characterRect(offset);
        return m_view->viewport()->mapFromGlobal(QPoint(r.left() + 1, r.center().y()));
    }
    bool caretInView() const {
        const QRect caret = m_view->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        return !caret.isEmpty() && m_view->viewport()->geometry().contains(caret);
    }
    int caretLine() const { return int(m_view->bytes().left(m_view->caretPosition()).count('\n')); }
    std::unique_ptr<LogView> m_view;
};

void LogViewTest::appendingKeepsEveryByteAndShowsTheNewest() {
    LogView& v = *m_view;
    v.appendBytes("ATZ\r");
    QCOMPARE(v.lineCount(), 2);
    v.appendBytes("\nOK\r\n"); // the CR LF pair split across appends is still one break
    QCOMPARE(v.lineCount(), 3);
    v.appendBytes("a\nb\rc\n\rd");
    QCOMPARE(v.bytes(), QByteArray("ATZ\r\nOK\r\na\nb\rc\n\rd"));
    QCOMPARE(v.lineCount(), 7);
    QCOMPARE(v.caretPosition(), v.size());

    v.appendBytes(lines(0, 200));
    QCOMPARE(v.lineCount(), 207);
    QVERIFY(v.verticalScrollBar()->isVisible());
    QCOMPARE(v.verticalScrollBar()->value(), v.verticalScrollBar()->maximum());
    QVERIFY(caretInView());

    v.clear();
    v.appendBytes(QByteArray(10000, 'x')); // a line that never ends is shown in pieces
    QCOMPARE(v.lineCount(), 3);
    QVERIFY(caretInView());

    // A tick of hex is one line taller than the view: its end shows above the caret.
    v.clear();
    QByteArray hex;
    for (int i = 0; i < 1000; ++i)
        hex += " 4F";
    v.appendBytes(hex + "\r\n");
    QCOMPARE(v.verticalScrollBar()->value(), v.lineCount() - 2);
    QVERIFY(caretInView());
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

void LogViewTest::theScrollBarRedrawsOnlyWhenItsLookChanges() {
    LogView& v = *m_view;
    QScrollBar* bar = v.verticalScrollBar();
    PaintCounter paints(bar);
    // A short log grows: the slider shrinks and moves down.
    v.appendBytes(lines(0, 12));
    QApplication::processEvents();
    int before = paints.count;
    v.appendBytes(lines(12, 30));
    QApplication::processEvents();
    QVERIFY(paints.count > before);

    // A long log grows at its end: the slider is as small as it gets and stays at the bottom.
    v.appendBytes(lines(30, 5000));
    QApplication::processEvents();
    before = paints.count;
    for (int i = 0; i < 10; ++i) {
        v.appendBytes(lines(5000 + i, 5001 + i));
        QApplication::processEvents();
    }
    QCOMPARE(paints.count, before);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(caretInView());

    // Scrolled up by the user, then back down by an append.
    bar->setValue(bar->maximum() / 2);
    QApplication::processEvents();
    QVERIFY(paints.count > before);
    before = paints.count;
    v.appendBytes(lines(6000, 6001));
    QApplication::processEvents();
    QVERIFY(paints.count > before);
    QCOMPARE(bar->value(), bar->maximum());
}

void LogViewTest::typingEditsAtTheCaretWhileAppendsGoToTheEnd() {
    LogView& v = *m_view;
    v.appendBytes("hello\r\nworld");
    QTest::keyClick(&v, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&v, Qt::Key_End);
    type(v, QStringLiteral("!Ж€中"));
    QTest::keyClick(&v, Qt::Key_Return);
    QCOMPARE(v.bytes(), QByteArray("hello!\xC6\x88?\r\n\r\nworld"));
    QTest::keyClick(&v, Qt::Key_Backspace); // a CR LF goes as one character
    QTest::keyClick(&v, Qt::Key_Delete);
    QCOMPARE(v.bytes(), QByteArray("hello!\xC6\x88?world"));
    QTest::keyClick(&v, Qt::Key_Left, Qt::ShiftModifier);
    type(v, QStringLiteral("+")); // typing replaces the selection
    QCOMPARE(v.bytes(), QByteArray("hello!\xC6\x88+world"));
    QCOMPARE(v.caretPosition(), 9);

    v.appendBytes("\r\nOK");
    QCOMPARE(v.bytes(), QByteArray("hello!\xC6\x88+world\r\nOK"));
    QCOMPARE(v.caretPosition(), v.size());

    QGuiApplication::clipboard()->setText(QStringLiteral("AT\r\n"));
    QTest::keyClick(&v, Qt::Key_Insert, Qt::ShiftModifier);
    QTest::keyClick(&v, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(&v, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(&v, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("T\r\n"));
    QCOMPARE(v.bytes(), QByteArray("hello!\xC6\x88+world\r\nOKA"));
}

void LogViewTest::selectionAndCopySpanAppends() {
    LogView& v = *m_view;
    QClipboard* clipboard = QGuiApplication::clipboard();
    v.appendBytes("one\r\ntwo\r\n");
    QTest::keyClick(&v, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&v, Qt::Key_Down, Qt::ShiftModifier);
    v.appendBytes("three\r\n");
    QCOMPARE(v.selectedBytes(), QByteArray("one\r\n"));
    QTest::keyClick(&v, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(&v, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("one\r\ntwo"));

    // Offsets: "two" 5, "three" 10, "four" 17.
    QTest::mousePress(v.viewport(), Qt::LeftButton, {}, pointAt(5));
    v.appendBytes("four\r\n");
    QTest::mouseMove(v.viewport(), pointAt(13));
    v.appendBytes("five\r\n");
    QTest::mouseRelease(v.viewport(), Qt::LeftButton, {}, pointAt(13));
    v.appendBytes("six\r\n");
    QCOMPARE(v.selectedBytes(), QByteArray("two\r\nthr"));
    QTest::keyClick(&v, Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("two\r\nthr"));

    QTest::mouseDClick(v.viewport(), Qt::LeftButton, {}, pointAt(12));
    QCOMPARE(v.selectedBytes(), QByteArray("three"));
    QTest::mouseClick(v.viewport(), Qt::LeftButton, Qt::ShiftModifier, pointAt(17));
    QCOMPARE(v.selectedBytes(), QByteArray("three\r\n"));
    QTest::keyClick(&v, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(v.selectedBytes(), v.bytes());
}

void LogViewTest::caretMovesByCharacterLineAndPage() {
    LogView& v = *m_view;
    QScrollBar* bar = v.verticalScrollBar();
    v.appendBytes("abcdef\r\nab\r\nabcdef\r\n" + lines(0, 300));
    QTest::keyClick(&v, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(v.caretPosition(), 0);
    QCOMPARE(bar->value(), 0);
    QTest::keyClick(&v, Qt::Key_Right);
    QTest::keyClick(&v, Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(v.caretPosition(), 6);
    QTest::keyClick(&v, Qt::Key_Down); // the column is kept where the line allows
    QCOMPARE(v.caretPosition(), 10);
    QTest::keyClick(&v, Qt::Key_Down);
    QCOMPARE(v.caretPosition(), 18);
    QTest::keyClick(&v, Qt::Key_Home);
    QCOMPARE(v.caretPosition(), 12);

    const int page = bar->pageStep();
    QVERIFY(page > 3);
    QTest::keyClick(&v, Qt::Key_PageDown);
    QCOMPARE(caretLine(), 2 + page);
    QCOMPARE(bar->value(), page);
    QTest::keyClick(&v, Qt::Key_PageDown, Qt::ShiftModifier);
    QCOMPARE(v.selectedBytes().count('\n'), page);
    QVERIFY(caretInView());
    QTest::keyClick(&v, Qt::Key_PageUp);
    QCOMPARE(caretLine(), 2 + page);
    QVERIFY(caretInView());
    QTest::keyClick(&v, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(v.caretPosition(), v.size());
    QCOMPARE(bar->value(), bar->maximum());
    QTest::keyClick(&v, Qt::Key_Up);
    QTest::keyClick(&v, Qt::Key_End);
    QCOMPARE(v.caretPosition(), v.size() - 2); // before the break
    v.moveCaretToEnd();
    QCOMPARE(v.caretPosition(), v.size());
}

void LogViewTest::theContextMenuClearsTheLog() {
    LogView& v = *m_view;
    v.appendBytes(lines(0, 100));
    QStringList offered;
    QTimer::singleShot(0, this, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator())
                offered << action->text() + (action->isEnabled() ? "+" : "-");
            if (action->text() == QStringLiteral("Clear"))
                action->trigger();
        }
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            v.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(v.viewport(), &event);
    QCOMPARE(offered, QStringList({"Copy-", "Select All+", "Clear+"}));
    QCOMPARE(v.size(), qint64(0));
    QCOMPARE(v.lineCount(), 1);
    QCOMPARE(v.caretPosition(), 0);
    QCOMPARE(v.verticalScrollBar()->maximum(), 0);
}

void LogViewTest::everyByteValueShowsAndNulDoesNotCutTheLine() {
    LogView& v = *m_view;
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    v.appendBytes(all);
    QCOMPARE(v.bytes(), all);
    QCOMPARE(v.text(), ansi::decode(all));
    v.clear();

    v.appendBytes(QByteArray("A\0BCD\tX", 7));
    QAccessibleTextInterface* text = accessibleText();
    QCOMPARE(text->text(2, 5), QStringLiteral("BCD"));
    const QRect a = text->characterRect(0);
    const QRect d = text->characterRect(4);
    QVERIFY(d.left() > a.right());
    QVERIFY(text->characterRect(6).left() - a.left() >= 79); // the tab stop
    QCOMPARE(text->offsetAtPoint(QPoint(d.left() + 1, d.center().y())), 4);
    QCOMPARE(text->offsetAtPoint(v.mapToGlobal(QPoint(-50, -50))), -1);
    const QImage image = v.viewport()->grab().toImage();
    const QRect inViewport(v.viewport()->mapFromGlobal(d.topLeft()), d.size());
    int ink = 0;
    for (int y = inViewport.top(); y <= inViewport.bottom(); ++y)
        for (int x = inViewport.left(); x <= inViewport.right(); ++x)
            ink += image.pixelColor(x, y) != v.palette().color(QPalette::Base);
    QVERIFY(ink > 0);
}

void LogViewTest::readsAsATextBoxToAccessibilityTools() {
    LogView& v = *m_view;
    v.setAccessibleName(QStringLiteral("Log"));
    v.appendBytes("AT+CSQ\r\n+CSQ: 21,99\r\nOK");
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(&v);
    QCOMPARE(box->role(), QAccessible::EditableText);
    QCOMPARE(box->text(QAccessible::Name), QStringLiteral("Log"));
    QCOMPARE(box->text(QAccessible::Value), QStringLiteral("AT+CSQ\r\n+CSQ: 21,99\r\nOK"));
    const QAccessible::State state = box->state();
    QVERIFY(state.multiLine && state.editable && state.focusable);

    QAccessibleTextInterface* text = box->textInterface();
    QAccessibleEditableTextInterface* editable = box->editableTextInterface();
    QVERIFY(text && editable);
    QCOMPARE(text->characterCount(), 23);
    int start = 0;
    int end = 0;
    QCOMPARE(text->textAtOffset(10, QAccessible::LineBoundary, &start, &end),
             QStringLiteral("+CSQ: 21,99\r\n"));
    QCOMPARE(std::pair(start, end), std::pair(8, 21));
    QCOMPARE(text->textBeforeOffset(10, QAccessible::LineBoundary, &start, &end),
             QStringLiteral("AT+CSQ\r\n"));
    QCOMPARE(text->textAfterOffset(10, QAccessible::LineBoundary, &start, &end), "OK");
    QCOMPARE(text->textAtOffset(10, QAccessible::WordBoundary, &start, &end), "CSQ");
    QCOMPARE(text->textAfterOffset(3, QAccessible::CharBoundary, &start, &end), "S");
    QCOMPARE(text->textAtOffset(23, QAccessible::CharBoundary, &start, &end), QString());

    text->setSelection(0, 8, 11);
    QCOMPARE(v.selectedBytes(), QByteArray("+CS"));
    text->selection(0, &start, &end);
    QCOMPARE(std::pair(text->selectionCount(), start), std::pair(1, 8));
    text->setCursorPosition(2);
    QCOMPARE(std::pair(v.caretPosition(), text->selectionCount()), std::pair(qint64(2), 0));
    QCOMPARE(text->cursorPosition(), 2);

    editable->insertText(0, QStringLiteral("Ж"));
    editable->replaceText(3, 4, QStringLiteral("-"));
    editable->deleteText(22, 24);
    QCOMPARE(v.bytes(), QByteArray("\306AT-CSQ\r\n+CSQ: 21,99\r\n"));
}

void LogViewTest::hundredMegabytesStaySmallAndQuick() {
    LogView& v = *m_view;
    const QByteArray line = "AT+CSQ +CSQ: 21,99 OK RING 0123456789\r\n"; // 40 bytes
    const QByteArray chunk = line.repeated((1 << 20) / line.size());

    const long before = peakKilobytes();
    for (int i = 0; i < 100; ++i)
        v.appendBytes(chunk);
    const double perByte = double(peakKilobytes() - before) * 1024 / double(v.size());
    qInfo("memory per byte of log: %.3f", perByte);
    QCOMPARE(v.size(), 100 * qint64(chunk.size()));
    QCOMPARE(v.lineCount(), int(v.size() / line.size()) + 1);
#ifndef __SANITIZE_ADDRESS__ // the sanitizer's own bookkeeping is no part of the log's cost
    QVERIFY(perByte < 1.12);
#endif

    auto small = makeView();
    small->appendBytes(line);
    const qint64 smallAppend = fastestOfThree([&] { small->appendBytes(chunk); });
    const qint64 bigAppend = fastestOfThree([&] { v.appendBytes(chunk); });
    qInfo("append 1 MB: %lld us to a small log, %lld us to 100 MB", smallAppend / 1000,
          bigAppend / 1000);
    QVERIFY(bigAppend < 3 * smallAppend);
    const qint64 smallPaint = fastestOfThree([&] { small->grab(); });
    const qint64 bigPaint = fastestOfThree([&] { v.grab(); });
    qInfo("paint: %lld us small, %lld us at 100 MB", smallPaint / 1000, bigPaint / 1000);
    QVERIFY(bigPaint < 3 * smallPaint);
    QVERIFY(caretInView());
}

// A large log freed raises glibc's bounds, so the next one grows on the heap, where what is
// freed is not handed back by itself. Lines as short as a modem's make the index of line starts
// a sizeable part of the log.
void LogViewTest::aClearedLogGivesItsMemoryBack() {
    LogView& v = *m_view;
    const QByteArray chunk = QByteArray(13, 'x').append('\n').repeated((1 << 20) / 14);
    for (int round = 0; round < 2; ++round) {
        [[maybe_unused]] const qint64 empty = residentBytes();
        for (int i = 0; i < 48 / (round + 1); ++i)
            v.appendBytes(chunk);
        v.clear();
        QCOMPARE(v.size(), qint64(0));
#ifndef __SANITIZE_ADDRESS__
        QTRY_VERIFY_WITH_TIMEOUT(residentBytes() - empty < (2 << 20), 1000);
#endif
    }
}

QTEST_MAIN(LogViewTest)
#include "test_log_view.moc"
