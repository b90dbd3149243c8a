#include "text/AnsiCodePage.h"
#include "text/TextConversions.h"

#include <QTest>

class TextConversionsTest : public QObject {
    Q_OBJECT
private slots:
    void characterNames_data();
    void characterNames();
    void hexForms();
    void characterCode_data();
    void characterCode();
    void informationLine();
    void everyByteSurvivesTheCharacterSet();
    void cyrillicMapsToItsCodes();
};

void TextConversionsTest::characterNames_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("SOH capital O") << 1 << "SOH (Start Of Heading)";
    QTest::newRow("STX small o") << 2 << "STX (Start of Text)";
    QTest::newRow("CR") << 13 << "CR (Carriage Return)";
    QTest::newRow("XOF") << 19 << "DC3 (XOF)";
    QTest::newRow("space") << 32 << " ";
    QTest::newRow("A") << 65 << "A";
    QTest::newRow("DEL is named") << 127 << "DEL (Delete)";
    QTest::newRow("Cyrillic ya") << 255 << QString(QChar(0x044F));
    QTest::newRow("negative") << -1 << "";
    QTest::newRow("past a byte") << 256 << "";
}

void TextConversionsTest::characterNames() {
    QFETCH(int, code);
    QFETCH(QString, name);
    QCOMPARE(Char_Simbol(qint16(code)), name);
}

void TextConversionsTest::hexForms() {
    QCOMPARE(StringToHEX(QStringLiteral("AT")), QStringLiteral(" 41 54"));
    QCOMPARE(StringToHEX(QString(QChar(0))), QStringLiteral(" 00"));
    QCOMPARE(StringToHEX(ansi::decode(QByteArray(1, char(0xFF)))), QStringLiteral(" FF"));
    QCOMPARE(StringToHEX(QStringLiteral("\r\n")), QStringLiteral(" 0D 0A"));
    QCOMPARE(StringToHEX(QString()), QString());
    QCOMPARE(StringToHEX_noSP(QStringLiteral("AT")), QStringLiteral("4154"));
    QCOMPARE(StringToHEX_noSP(QString()), QString());
    // Codes, not Unicode values: Cyrillic A is C0 in the character set.
    QCOMPARE(StringToHEX_noSP(QString(QChar(0x0410))), QStringLiteral("C0"));

    // Long text whole, and put after what a buffer already holds.
    const QByteArray digits = QByteArray("0123456789").repeated(10000);
    QByteArray logged = "COM1:";
    appendHex(logged, digits);
    QCOMPARE(logged.size(), 5 + 300000);
    QCOMPARE(logged.left(11), QByteArray("COM1: 30 31"));
    QCOMPARE(logged.right(6), QByteArray(" 38 39"));
    // Every byte value, and nothing written past the end.
    QByteArray all(256, Qt::Uninitialized);
    for (int k = 0; k < 256; ++k)
        all[k] = char(k);
    QByteArray written(3 * 256 + 1, '#');
    QCOMPARE(writeHex(written.data(), all.constData(), all.size()), written.data() + 3 * 256);
    QCOMPARE(written.back(), '#');
    for (int k = 0; k < 256; ++k)
        QCOMPARE(written.mid(3 * k, 3),
                 ' ' + QByteArray::number(k, 16).toUpper().rightJustified(2, '0'));
    const QString plain = StringToHEX_noSP(QString::fromLatin1(digits));
    QCOMPARE(plain.size(), 200000);
    QCOMPARE(plain.mid(199996), QStringLiteral("3839"));
}

void TextConversionsTest::characterCode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::newRow("leading blank") << " 65" << 65;
    QTest::newRow("trailing letters") << "65abc" << 65;
    QTest::newRow("fraction rounds down") << "65.9" << 65;
    QTest::newRow("negative fraction floors") << "-0.5" << -1;
    QTest::newRow("exponent") << "1e2" << 100;
    QTest::newRow("blank inside digits") << "6 5" << 65;
    QTest::newRow("tab and line feed skipped") << "\t1\n0" << 10;
    QTest::newRow("carriage return stops") << "1\r0" << 1;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("sign only") << "-" << 0;
    QTest::newRow("above 16 bits clamps") << "40000" << 32767;
    QTest::newRow("below 16 bits clamps") << "-40000" << -32768;
    QTest::newRow("huge exponent clamps") << "1e400" << 32767;
    QTest::newRow("tiny negative floors") << "-1e-400" << -1;
    const QString zeros(400, QLatin1Char('0'));
    QTest::newRow("many zeros then a digit is tiny, not huge") << "0." + zeros + "1" << 0;
    QTest::newRow("the same, negative") << "-0." + zeros + "1" << -1;
    QTest::newRow("long whole number clamps") << "1" + zeros << 32767;
    QTest::newRow("digits moved by the exponent") << "0.00065e5" << 65;
}

void TextConversionsTest::characterCode() {
    QFETCH(QString, text);
    QFETCH(int, code);
    QCOMPARE(int(CharacterCode(text)), code);
}

void TextConversionsTest::informationLine() {
    const QList<QPair<QString, QString>> lines = {{"13", "DEC=13 HEX=D CHAR=CR (Carriage Return)"},
                                                  {"", "DEC= HEX=0 CHAR=NUL (Null)"},
                                                  {"abc", "DEC=abc HEX=0 CHAR=NUL (Null)"},
                                                  {"-1", "DEC=-1 HEX=FFFF CHAR="},
                                                  {"300", "DEC=300 HEX=12C CHAR="},
                                                  {"99999", "DEC=99999 HEX=7FFF CHAR="}};
    for (const auto& [box, line] : lines)
        QCOMPARE(CharacterInfoLine(box), line);
}

void TextConversionsTest::everyByteSurvivesTheCharacterSet() {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    const QString text = ansi::decode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(ansi::encode(text), all);
    QSet<QChar> distinct(text.begin(), text.end());
    QCOMPARE(distinct.size(), 256);
    // The character of a code is the same set's, one character even for NUL; none outside it.
    for (int b = 0; b < 256; ++b)
        QCOMPARE(CharacterOfCode(qint16(b)), QString(text.at(b)));
    QCOMPARE(CharacterOfCode(0).size(), 1);
    QVERIFY(CharacterOfCode(-1).isEmpty());
    QVERIFY(CharacterOfCode(256).isEmpty());
}

void TextConversionsTest::cyrillicMapsToItsCodes() {
    // "АТ" typed in Cyrillic, plus the letter Ё and the numero sign.
    const QString text = QString::fromUtf8("\xD0\x90\xD0\xA2\xD0\x81\xE2\x84\x96");
    QCOMPARE(ansi::encode(text), QByteArray("\xC0\xD2\xA8\xB9"));
    QCOMPARE(ansi::encode(QString::fromUtf8("\xE4\xB8\xAD")), QByteArray("?"));
}

QTEST_APPLESS_MAIN(TextConversionsTest)
#include "test_text_conversions.moc"
