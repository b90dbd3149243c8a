#include "ui/Colours.h"
#include "ui/LogFinder.h"
#include "ui/LogView.h"
#include "ui/SearchBar.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

void type(QWidget* box, const QString& text) {
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// A log, its find bar and what joins them, as a channel has them.
struct FindingRig {
    explicit FindingRig(qint64 storeThreshold = LogText::kDefaultThreshold) {
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(12);
        log.setFont(font);
        log.resize(400, 200);
        log.setStoreThreshold(storeThreshold);
        log.show();
    }
    void find(const QString& typed) {
        finder.open();
        type(box, typed);
    }
    QString count() const { return matches->text(); }

    LogView log;
    SearchBar bar;
    bool hexShown = false;
    LogFinder finder{log, bar, [this] {
                         return hexShown;
                     }};
    QLineEdit* box = bar.findChild<QLineEdit*>(QStringLiteral("searchText"));
    QLabel* matches = bar.findChild<QLabel*>(QStringLiteral("searchMatches"));
};

using Ranges = QList<LogRange>;

} // namespace

class LogSearchTest : public QObject {
    Q_OBJECT
private slots:
    void theBarTakesTextInTheCharacterSetOrHexBytes_data();
    void theBarTakesTextInTheCharacterSetOrHexBytes();
    void matchesAreMarkedAndSteppedThroughGoingRound();
    void inHexTheHexTextOfTheBytesIsFound();
    void aLongLogInItsFilesIsSearchedInShortSteps();
};

void LogSearchTest::theBarTakesTextInTheCharacterSetOrHexBytes_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QByteArray>("pattern");
    QTest::newRow("text") << "AT+CSQ" << false << QByteArray("AT+CSQ");
    QTest::newRow("cyrillic") << "Жё" << false << QByteArray("\xC6\xB8");
    QTest::newRow("outside the set") << "A\u4E00" << false << QByteArray();
    QTest::newRow("empty") << "" << false << QByteArray();
    QTest::newRow("hex spaced") << " 41 54 " << true << QByteArray("AT");
    QTest::newRow("hex joined") << "0d0A00fF" << true << QByteArray("\r\n\0\xFF", 4);
    QTest::newRow("half a byte") << "415" << true << QByteArray();
    QTest::newRow("split byte") << "4 1" << true << QByteArray();
    QTest::newRow("not hex") << "4G" << true << QByteArray();
    QTest::newRow("text with hex on") << "AT" << true << QByteArray();
}

void LogSearchTest::theBarTakesTextInTheCharacterSetOrHexBytes() {
    QFETCH(QString, typed);
    QFETCH(bool, hex);
    QFETCH(QByteArray, pattern);
    SearchBar bar;
    QSignalSpy changed(&bar, &SearchBar::patternChanged);
    bar.open();
    type(bar.findChild<QLineEdit*>(QStringLiteral("searchText")), typed);
    if (hex)
        bar.findChild<QToolButton*>(QStringLiteral("searchHex"))->click();
    QCOMPARE(bar.pattern(), pattern);
    QCOMPARE(bar.hexMode(), hex);
    QCOMPARE(changed.size(), typed.size() + int(hex));

    auto* matches = bar.findChild<QLabel*>(QStringLiteral("searchMatches"));
    bar.showMatches(3, 12);
    QCOMPARE(matches->text(), QStringLiteral("3 of 12"));
    bar.showMatches(0, 0);
    QCOMPARE(matches->text(), typed.isEmpty() ? QString() : QStringLiteral("No match"));
    QCOMPARE(matches->accessibleName(), matches->text());
}

void LogSearchTest::matchesAreMarkedAndSteppedThroughGoingRound() {
    FindingRig r;
    r.log.appendBytes("OK\r\nRING\r\nOK\r\nATOK\r\nok\r\n");
    r.find(QStringLiteral("OK"));
    QTRY_COMPARE(r.log.highlights(), (Ranges{{0, 2}, {10, 12}, {16, 18}}));
    // The first match in view is current, selected so that new text does not move it away.
    QCOMPARE(r.count(), QStringLiteral("1 of 3"));
    QCOMPARE(std::pair(r.log.selectedBytes(), r.log.caretPosition()),
             std::pair(QByteArray("OK"), qint64(2)));
    // Every other match shows in the highlight colour.
    const QRect second =
        QAccessible::queryAccessibleInterface(&r.log)->textInterface()->characterRect(10);
    const QImage image = r.log.viewport()->grab().toImage();
    const QRect inViewport(r.log.viewport()->mapFromGlobal(second.topLeft()), second.size());
    int marked = 0;
    for (int y = inViewport.top(); y <= inViewport.bottom(); ++y)
        for (int x = inViewport.left(); x <= inViewport.right(); ++x)
            marked += image.pixelColor(x, y) == kMatchBackground;
    QVERIFY(marked > inViewport.width() * inViewport.height() / 3);

    QStringList seen;
    for (const auto& [key, modifiers] :
         QList<QPair<int, Qt::KeyboardModifiers>>{{Qt::Key_Return, Qt::NoModifier},
                                                  {Qt::Key_F3, Qt::NoModifier},
                                                  {Qt::Key_Enter, Qt::NoModifier},
                                                  {Qt::Key_F3, Qt::ShiftModifier},
                                                  {Qt::Key_Return, Qt::ShiftModifier}}) {
        QTest::keyClick(r.box, Qt::Key(key), modifiers);
        seen << r.count() + QLatin1Char('@') + QString::number(r.log.caretPosition());
    }
    QCOMPARE(seen, QStringList({"2 of 3@12", "3 of 3@18", "1 of 3@2", "3 of 3@18", "2 of 3@12"}));

    // Text that comes is searched as it comes; a change before what was searched searches again.
    r.log.appendBytes("OK\r\n");
    QTRY_COMPARE(r.count(), QStringLiteral("2 of 4"));
    r.log.clear();
    QTRY_COMPARE(r.count(), QStringLiteral("No match"));
    r.log.appendBytes("xOKx");
    QTRY_COMPARE(r.log.highlights(), (Ranges{{1, 3}}));
    QCOMPARE(r.count(), QStringLiteral("1 of 1"));
    QTest::keyClick(r.box, Qt::Key_Escape);
    QVERIFY(r.bar.isHidden());
    QVERIFY(r.log.highlights().isEmpty());
}

void LogSearchTest::inHexTheHexTextOfTheBytesIsFound() {
    FindingRig r;
    r.hexShown = true;
    // Across a line break too; not within other words ("X41") or longer numbers ("415").
    r.log.appendBytes(" 41 54\r\n 41\r\n 54 415 4\r\nX41 54 41 54\r\n 41 54");
    r.find(QStringLiteral("AT"));
    QTRY_COMPARE(r.log.highlights(), (Ranges{{1, 6}, {9, 16}, {31, 36}}));
    QCOMPARE(r.count(), QStringLiteral("1 of 3"));
    // Typed in hex; digits at the very end count once a blank follows them.
    r.box->setText(QStringLiteral("54 41 54"));
    r.bar.findChild<QToolButton*>(QStringLiteral("searchHex"))->click();
    QTRY_COMPARE(r.log.highlights(), (Ranges{{4, 16}, {28, 36}}));
    QCOMPARE(r.count(), QStringLiteral("1 of 2"));
    r.log.appendBytes(" 41 54\r\n");
    QTRY_COMPARE(r.log.highlights().size(), 3);
    QCOMPARE(r.log.highlights().last(), (LogRange{42, 50}));
}

void LogSearchTest::aLongLogInItsFilesIsSearchedInShortSteps() {
    FindingRig r(qint64(8) << 20);
    const QByteArray lines = QByteArray("AT+CSQ\r\n+CSQ: 21,99\r\nOK\r\n").repeated(40000); // 1 MB
    for (int i = 0; i < 50; ++i)
        r.log.appendBytes(lines + "RING\r\n");
    QVERIFY(!r.log.storeFiles().isEmpty());
    r.find(QStringLiteral("RING"));
    qint64 longest = 0;
    QElapsedTimer step;
    while (r.count() != QStringLiteral("50 of 50")) {
        step.start();
        QCoreApplication::processEvents();
        longest = std::max(longest, step.elapsed());
    }
    qInfo("longest step searching 50 MB: %lld ms", longest);
#ifndef __SANITIZE_ADDRESS__
    QVERIFY(longest < 100);
#endif
    // Going round to the first match reads it from the log's file.
    QTest::keyClick(r.box, Qt::Key_F3);
    QCOMPARE(r.count(), QStringLiteral("1 of 50"));
    QCOMPARE(r.log.selectedBytes(), QByteArray("RING"));
    QCOMPARE(r.log.caretPosition(), lines.size() + 4);
}

QTEST_MAIN(LogSearchTest)
#include "test_log_search.moc"
