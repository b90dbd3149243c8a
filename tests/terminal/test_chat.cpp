#include "terminal/Clock.h"
#include "terminal/chat/ChatRunner.h"

#include <QTest>

#include <memory>

namespace {

// A runner on a fake port and a hand-moved clock, with everything it said kept.
struct ChatRig {
    Clock clock;
    QByteArray written;
    std::unique_ptr<ChatRunner> runner;
    QByteArray said, echoed;
    QList<QByteArray> reports;
    QList<qint64> writeTimes;
    int code = -1;
    QString reason;

    explicit ChatRig(const QList<QByteArray>& words, ChatOptions options = {}) {
        const ChatScriptReading reading = chatScriptFromWords(words);
        runner = std::make_unique<ChatRunner>(clock, reading.script, options,
                                              ChatLine{[this](const QByteArray& bytes) {
                                                           written += bytes;
                                                           writeTimes += clock.now();
                                                       },
                                                       {}});
        QObject::connect(runner.get(), &ChatRunner::said,
                         [this](const QByteArray& t) { said += t; });
        QObject::connect(runner.get(), &ChatRunner::echoed,
                         [this](const QByteArray& t) { echoed += t; });
        QObject::connect(runner.get(), &ChatRunner::reported,
                         [this](const QByteArray& t) { reports += t; });
        QObject::connect(runner.get(), &ChatRunner::finished, [this](int c, const QString& r) {
            code = c;
            reason = r;
        });
        runner->start();
    }
    void feed(const QByteArray& bytes) { runner->received(bytes); }
};

} // namespace

class ChatTest : public QObject {
    Q_OBJECT
private slots:
    void escapesForSendingAndExpecting_data();
    void escapesForSendingAndExpecting();
    void scriptFilesAreSplitAsChatSplitsThem();
    void refusedScripts();
    void aDialScriptTypesEachByteAfter10ms();
    void timeoutsAndSubExpects();
    void abortStringsGiveTheirCodes();
    void reportsSayAndEcho();
    void delaysAndTheReplyTimeout();
    void inputBeforeAnExpectWaitsForIt();
    void lostLinesAndStopping();
};

void ChatTest::escapesForSendingAndExpecting_data() {
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("\\c at the end only")
        << QByteArray("a\\cb\\c") << QByteArray("acb") << QByteArray("acbc");
    QTest::newRow("delays and break marked")
        << QByteArray("\\d\\p\\K") << QByteArray("\\d\\p\\K\r") << QByteArray("dpK");
    QTest::newRow("NUL") << QByteArray("\\N\\0") << QByteArray("\\\0\\\0\r", 5) << QByteArray("N");
    QTest::newRow("octal") << QByteArray("\\101\\1012\\134\\777") << QByteArray("AA2\\\\\xff\r")
                           << QByteArray("AA2\\\xff");
    QTest::newRow("control") << QByteArray("^Q^@^") << QByteArray("\x11^\r") << QByteArray("\x11^");
    QTest::newRow("backslashes") << QByteArray("\\\\x\\") << QByteArray("\\\\x\\\\\r")
                                 << QByteArray("\\x");
    QTest::newRow("other escapes")
        << QByteArray("\\q\\z\\T") << QByteArray("\\z\\T\r") << QByteArray("z\\T");
}

void ChatTest::escapesForSendingAndExpecting() {
    QFETCH(QByteArray, word);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, expected);
    QCOMPARE(chat::sendText(word), sent);
    QCOMPARE(chat::expectText(word), expected);
    const chat::PhoneNumbers numbers{QByteArray("555"), QByteArray()};
    QCOMPARE(chat::sendText("D\\T\\U", numbers), QByteArray("D555\r"));
}

void ChatTest::scriptFilesAreSplitAsChatSplitsThem() {
    static const char text[] = "# a comment\n ABORT 'NO CARRIER'\t\"\" AT\\sZ\n"
                               "'# ' \"a \\\" b\"'c d'e \r\nx\0 ignored\n  # not a comment\n";
    const ChatScriptReading reading = readChatScript(QByteArray(text, sizeof text - 1));
    QVERIFY(reading.accepted());
    QCOMPARE(reading.script.words,
             (QList<QByteArray>{"ABORT", "NO CARRIER", "", "AT\\sZ", "# ", "a \\\" b", "c d", "e",
                                "\r", "x", "#", "not", "a", "comment"}));
    // A line is read 1023 bytes at a time: a word that long is cut in two.
    const QByteArray longWord(1500, 'x');
    QCOMPARE(readChatScript(longWord + " y").script.words,
             (QList<QByteArray>{longWord.left(1023), longWord.mid(1023), "y"}));
}

void ChatTest::refusedScripts() {
    QCOMPARE(readChatScript("'' AT\nOK 'ATD\n").refusal,
             QStringLiteral("unterminated quote (line 2)"));
    QCOMPARE(readChatScript("'a\\'").refusal, QStringLiteral("unterminated quote (line 1)"));
    QVERIFY(!chatScriptFromWords({"REPORT", QByteArray(50, 'x')}).accepted());
    QVERIFY(
        chatScriptFromWords({"ABORT", QByteArray(49, 'x'), "SAY", QByteArray(80, 'x')}).accepted());
    // An expect past 1024 bytes ends the run at it with code 1.
    ChatRig rig({"", "AT", QByteArray(1025, 'x'), "ATH"});
    rig.clock.advanceBy(100);
    QCOMPARE(rig.code, chatExit::kBadParameters);
    QCOMPARE(rig.written, QByteArray("AT\r"));
}

void ChatTest::aDialScriptTypesEachByteAfter10ms() {
    ChatRig rig({"", "ATZ", "OK", "ATD2", "CONNECT"});
    rig.clock.advanceBy(100);
    QCOMPARE(rig.written, QByteArray("ATZ\r"));
    QCOMPARE(rig.writeTimes, (QList<qint64>{10, 20, 30, 40}));
    rig.feed("ATZ\r\r\nO");
    rig.feed("K\r\n");
    rig.clock.advanceBy(100);
    QCOMPARE(rig.written, QByteArray("ATZ\rATD2\r"));
    QVERIFY(rig.runner->isRunning());
    rig.feed("\r\nCONNECT 9600\r\n");
    QCOMPARE(rig.code, chatExit::kSuccess);
    QCOMPARE(rig.reason, QString());
}

void ChatTest::timeoutsAndSubExpects() {
    ChatOptions options;
    options.timeoutSeconds = 2;
    ChatRig rig({"ogin:--ogin:", "ppp", "TIMEOUT", "1", "word:-\\c-", "x"}, options);
    rig.clock.advanceBy(1999);
    QCOMPARE(rig.written, QByteArray());
    rig.clock.advanceBy(1);
    rig.clock.advanceBy(10); // the sub-expect's reply: a carriage return
    QCOMPARE(rig.written, QByteArray("\r"));
    rig.feed("login:");
    rig.clock.advanceBy(40);
    QCOMPARE(rig.written, QByteArray("\rppp\r"));
    // "word:-\c-": no reply at the timeout, and the dash ends it as met.
    rig.clock.advanceBy(1000);
    rig.clock.advanceBy(20);
    QCOMPARE(rig.written, QByteArray("\rppp\rx\r"));
    QCOMPARE(rig.code, chatExit::kSuccess);

    ChatRig plain({"OK", "ATH"}, options);
    plain.clock.advanceBy(2000);
    QCOMPARE(plain.code, chatExit::kTimeout);
    QCOMPARE(plain.reason, QStringLiteral("Failed"));
    // -t 0: an expect waits for ever.
    options.timeoutSeconds = 0;
    ChatRig endless({"OK", "ATH"}, options);
    endless.clock.advanceBy(3600 * 1000);
    QVERIFY(endless.runner->isRunning());
}

void ChatTest::abortStringsGiveTheirCodes() {
    const QList<QByteArray> script{"ABORT", "BUSY", "ABORT",   "NO\\sCARRIER",
                                   "",      "ATD",  "CONNECT", ""};
    ChatRig busy(script);
    busy.feed("\r\nNO CARRIE");
    busy.clock.advanceBy(100);
    busy.feed("R\r\n");
    QCOMPARE(busy.code, 5);
    QCOMPARE(busy.reason, QStringLiteral("Failed (NO CARRIER)"));
    // A sub-expect does not save an abort; CLR_ABORT moves the later strings up.
    ChatRig cleared({"ABORT", "BUSY", "ABORT", "ERROR", "CLR_ABORT", "BUSY", "OK-AT-OK", ""});
    cleared.feed("ERROR");
    QCOMPARE(cleared.code, 4);
    QCOMPARE(cleared.written, QByteArray());
    // The expect is looked at before the aborts on the same byte.
    ChatRig both({"ABORT", "BUSY", "BUSY", "\\c"});
    both.feed("BUSY");
    QCOMPARE(both.code, chatExit::kSuccess);
}

void ChatTest::reportsSayAndEcho() {
    ChatOptions options;
    options.phoneNumbers.first = "555";
    ChatRig rig({"REPORT", "CONNECT", "SAY", "dialling \\T\\n", "ECHO", "ON", "", "ATD", "CONNECT",
                 "\\c", "SAY", "up\\c"},
                options);
    QCOMPARE(rig.said, QByteArray("dialling 555\n\r"));
    rig.clock.advanceBy(50);
    rig.feed("\x7f\x01\rCONNECT 96");
    // The script is done, the report goes on for up to a second of quiet.
    QCOMPARE(rig.said, QByteArray("dialling 555\n\rup"));
    QCOMPARE(rig.echoed, QByteArray("^?^ACONNECT\n"));
    QVERIFY(!rig.runner->isFinished());
    rig.clock.advanceBy(900);
    rig.feed("00/ARQ\r\n");
    QCOMPARE(rig.reports, QList<QByteArray>{"CONNECT 9600/ARQ"});
    QCOMPARE(rig.code, chatExit::kSuccess);

    ChatRig quiet({"REPORT", "CONNECT", "CONNECT", ""});
    quiet.feed("CONNECT 1200");
    quiet.clock.advanceBy(1009); // the reply's carriage return, then a second
    QVERIFY(quiet.reports.isEmpty());
    quiet.clock.advanceBy(1);
    QCOMPARE(quiet.reports, QList<QByteArray>{"CONNECT 1200"});
}

void ChatTest::delaysAndTheReplyTimeout() {
    ChatRig rig({"", "a\\db\\pc\\c"});
    rig.clock.advanceBy(5000);
    QCOMPARE(rig.written, QByteArray("abc"));
    QCOMPARE(rig.writeTimes, (QList<qint64>{10, 1020, 1040}));
    // A byte not begun within the timeout fails the reply with code 1; the alarm cuts a \d short.
    ChatRig slow({"TIMEOUT", "1", "", "\\d\\dx"});
    slow.clock.advanceBy(3000);
    QCOMPARE(slow.code, chatExit::kBadParameters);
    QCOMPARE(slow.written, QByteArray());
    QCOMPARE(slow.clock.now(), 3000);
    ChatRig delays({"TIMEOUT", "1", "", "\\d\\d\\c"});
    delays.clock.advanceBy(2000);
    QCOMPARE(delays.code, chatExit::kSuccess);
}

void ChatTest::inputBeforeAnExpectWaitsForIt() {
    ChatRig rig({"", "AT", "OK", "ATH", "OK", ""});
    // Both answers arrive while the first reply is still typed; each expect reads its own.
    rig.feed("O\xcbOK");
    rig.clock.advanceBy(30);
    QCOMPARE(rig.written, QByteArray("AT\r"));
    rig.clock.advanceBy(50);
    QCOMPARE(rig.written, QByteArray("AT\rATH\r\r"));
    QCOMPARE(rig.code, chatExit::kSuccess);
}

void ChatTest::lostLinesAndStopping() {
    ChatRig lost({"", "AT", "OK", ""});
    lost.runner->lineLost(QStringLiteral("gone"));
    QCOMPARE(lost.code, chatExit::kError);
    QCOMPARE(lost.reason, QStringLiteral("gone"));
    lost.clock.advanceBy(100);
    QCOMPARE(lost.written, QByteArray());
    // After HANGUP OFF the expect fails as timed out, and its sub-expect's reply cannot go.
    ChatRig kept({"HANGUP", "OFF", "OK-AT-OK", ""});
    kept.feed("O");
    kept.runner->lineLost(QStringLiteral("gone"));
    QCOMPARE(kept.code, chatExit::kBadParameters);
    QCOMPARE(kept.written, QByteArray());

    ChatRig stopped({"", "ATZ"});
    stopped.clock.advanceBy(15);
    stopped.runner->stop();
    stopped.clock.advanceBy(100);
    QCOMPARE(stopped.written, QByteArray("A"));
    QCOMPARE(stopped.code, chatExit::kError);
}

QTEST_GUILESS_MAIN(ChatTest)
#include "test_chat.moc"
