#include "ui/LogView.h"
#include "ui/log/LogText.h"

#include <QAccessible>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

#include <sys/stat.h>

namespace {

constexpr qint64 kThreshold = 64 * 1024;

// Received text in uneven pieces: CR LF pairs, a CR or an LF alone, runs longer than a line may
// be, and pieces that end on a CR whose LF comes with the next piece.
QList<QByteArray> pieces(int count, quint32 seed) {
    QRandomGenerator random(seed);
    QList<QByteArray> out;
    for (int i = 0; i < count; ++i) {
        QByteArray piece;
        const int lines = random.bounded(1, 40);
        for (int l = 0; l < lines; ++l) {
            piece += "+CSQ: " + QByteArray::number(random.generate()) + " ";
            if (random.bounded(50) == 0)
                piece += QByteArray(random.bounded(4000, 9000), 'x');
            static const char* const kBreaks[] = {"\r\n", "\r\n", "\r\n", "\n", "\r", "\n\r"};
            piece += kBreaks[random.bounded(6)];
        }
        if (i % 3 == 0)
            piece += "\r";
        if (i % 3 == 1)
            piece.prepend('\n');
        out.append(piece);
    }
    return out;
}

// Every line, offset and step of the log agrees with the same text held in memory, where the
// log has dropped `shift` bytes and `lineShift` lines of it for a line of its own.
void compareWith(const LogText& log, const LogText& expected, qint64 shift = 0, int lineShift = 0) {
    QCOMPARE(log.size(), expected.size() - shift);
    QCOMPARE(log.lineCount(), expected.lineCount() - lineShift);
    const int firstLine = shift > 0 ? 1 : 0;
    for (int line = firstLine; line < log.lineCount(); ++line) {
        QCOMPARE(log.lineStart(line), expected.lineStart(line + lineShift) - shift);
        QCOMPARE(log.lineEnd(line), expected.lineEnd(line + lineShift) - shift);
    }
    const qint64 first = log.lineStart(firstLine);
    QRandomGenerator random(7);
    for (int i = 0; i < 3000; ++i) {
        const qint64 at = first + random.bounded(log.size() - first + 1);
        QCOMPARE(log.lineOf(at) + lineShift, expected.lineOf(at + shift));
        QCOMPARE(log.nextPosition(at), expected.nextPosition(at + shift) - shift);
        QCOMPARE(log.previousPosition(at), expected.previousPosition(at + shift) - shift);
        QCOMPARE(log.validPosition(at), expected.validPosition(at + shift) - shift);
        const qint64 to = std::min(log.size(), at + random.bounded(70000));
        QCOMPARE(log.slice(at, to), expected.slice(at + shift, to + shift));
    }
}

} // namespace

class LogStoreTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(m_cache.isValid());
        qputenv("XDG_CACHE_HOME", m_cache.path().toLocal8Bit());
    }
    void aLongLogKeepsEveryByteInItsFile();
    void theFilePartIsNotEditedAndClearRemovesTheFiles();
    void aNearlyFullDiskDropsTheOldestText();

private:
    QTemporaryDir m_cache;
};

void LogStoreTest::aLongLogKeepsEveryByteInItsFile() {
    LogText log(kThreshold);
    LogText expected(std::numeric_limits<qint64>::max());
    qint64 mostInMemory = 0;
    for (const QByteArray& piece : pieces(6000, 1)) {
        log.append(piece);
        expected.append(piece);
        mostInMemory = std::max(mostInMemory, log.size() - log.storedSize());
    }
    QVERIFY(log.size() > 3 << 20);
    QVERIFY(log.storedSize() > log.size() - kThreshold);
    QVERIFY(mostInMemory < kThreshold + 20000);
    QCOMPARE(log.storeFiles().size(), 2);
    QCOMPARE(QFileInfo(log.storeFiles().first()).size(), log.storedSize());
    QVERIFY(QFileInfo(log.storeFiles().first()).absolutePath().startsWith(m_cache.path()));
    compareWith(log, expected);
    QCOMPARE(log.bytes(), expected.bytes());
    for (int line = 0; line < log.lineCount(); line += 97)
        QCOMPARE(log.lineBytes(line), expected.lineBytes(line));

    // Where no file can be made, the log stays whole in memory.
    LogText unstored(kThreshold);
    unstored.setStoreFolder(QStringLiteral("/proc/no-such-folder"));
    unstored.append(expected.bytes());
    QCOMPARE(unstored.storedSize(), 0);
    QCOMPARE(unstored.bytes(), expected.bytes());
}

void LogStoreTest::theFilePartIsNotEditedAndClearRemovesTheFiles() {
    LogView view;
    view.setStoreThreshold(kThreshold);
    QByteArray all;
    for (const QByteArray& piece : pieces(1500, 2)) {
        view.appendBytes(piece);
        all += piece;
    }
    const QStringList files = view.storeFiles();
    QCOMPARE(files.size(), 2);
    QVERIFY(QFileInfo::exists(files.first()) && QFileInfo::exists(files.last()));

    // Typing, deleting and pasting over the older part change nothing.
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(&view, QStringLiteral("AT"));
    QTest::keyClick(&view, Qt::Key_Delete);
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view.selectedBytes(), all);
    QTest::keyClick(&view, Qt::Key_Backspace);
    QAccessible::queryAccessibleInterface(&view)->editableTextInterface()->replaceText(
        10, 20, QStringLiteral("gone"));
    QCOMPARE(view.bytes(), all);

    // The newest part is edited as ever.
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(&view, QStringLiteral("ATZ"));
    QTest::keyClick(&view, Qt::Key_Backspace);
    QTest::keyClick(&view, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClicks(&view, QStringLiteral("OK"));
    QCOMPARE(view.bytes(), all + "OK");

    view.clear();
    QVERIFY(view.storeFiles().isEmpty());
    QVERIFY(!QFileInfo::exists(files.first()) && !QFileInfo::exists(files.last()));
    view.appendBytes("after\r\n");
    QCOMPARE(view.bytes(), QByteArray("after\r\n"));
}

void LogStoreTest::aNearlyFullDiskDropsTheOldestText() {
    LogText log(kThreshold);
    LogText expected(std::numeric_limits<qint64>::max());
    // A disk of 1000 MB whose free space is what the log has not taken of `room`, plus the 10%
    // that must stay free.
    qint64 room = 64 << 20;
    log.setDiskSpace([&] {
        return LogText::DiskSpace{(100 << 20) + room - log.storedSize(), 1000 << 20};
    });
    const QList<QByteArray> received = pieces(4000, 3);
    const auto feed = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            log.append(received[i]);
            expected.append(received[i]);
        }
    };
    feed(0, 1000);
    QVERIFY(log.storedSize() > 0);
    QCOMPARE(log.takeFrontShift().bytes, 0);
    compareWith(log, expected);

    room = 1 << 20;
    feed(1000, 2000);
    const LogText::FrontShift first = log.takeFrontShift();
    QVERIFY(first.bytes > 0);
    const QByteArray notice = log.lineBytes(0);
    const int droppedLines = first.lines + 1;
    const qint64 dropped = expected.lineStart(droppedLines);
    QCOMPARE(notice, "[Duplink dropped the oldest " + QLocale(QLocale::English).toString(dropped) +
                         " bytes of this log: the disk is nearly full]");
    QCOMPARE(log.lineStart(1), notice.size() + 2);
    QCOMPARE(first.bytes, dropped - (notice.size() + 2));
    compareWith(log, expected, first.bytes, first.lines);
    QVERIFY(log.storedSize() > 300 * 1024 && log.storedSize() < 1 << 20);
    struct stat file {};
    QCOMPARE(stat(QFile::encodeName(log.storeFiles().first()).constData(), &file), 0);
    QVERIFY(file.st_blocks * 512 < 2 * log.storedSize()); // what was dropped is freed

    // Again: the count goes on from the first notice, which goes too.
    feed(2000, 4000);
    const LogText::FrontShift second = log.takeFrontShift();
    QVERIFY(second.bytes > 0);
    const qint64 shift = first.bytes + second.bytes;
    const qint64 droppedNow = expected.lineStart(first.lines + second.lines + 1);
    QVERIFY(log.lineBytes(0).contains(QLocale(QLocale::English).toString(droppedNow).toLatin1()));
    compareWith(log, expected, shift, first.lines + second.lines);
}

QTEST_MAIN(LogStoreTest)
#include "test_log_store.moc"
