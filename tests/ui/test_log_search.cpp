#include "ui/SearchBar.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

class LogSearchTest : public QObject {
    Q_OBJECT
private slots:
    void theBarTakesTextInTheCharacterSetOrHexBytes_data();
    void theBarTakesTextInTheCharacterSetOrHexBytes();
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
    auto* box = bar.findChild<QLineEdit*>(QStringLiteral("searchText"));
    for (const QChar c : typed)
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
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

QTEST_MAIN(LogSearchTest)
#include "test_log_search.moc"
