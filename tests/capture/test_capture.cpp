#include "TsharkRead.h"
#include "capture/CaptureFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <cstring>

using RtacSerial::Event;
namespace Line = RtacSerial::Line;

namespace {

const QStringList portNames = {QStringLiteral("COM1 (/dev/ttyUSB0)"),
                               QStringLiteral("COM2 (rfc2217://host:2001)")};

// The reader's own names for our events and control lines.
const QList<QPair<Event, QString>> eventNames = {
    {Event::StatusChange, "STATUS_CHANGE"},    {Event::DataTransmitted, "DATA_TX_START"},
    {Event::DataReceived, "DATA_RX_START"},    {Event::FramingError, "FRAMING_ERROR"},
    {Event::ParityError, "PARITY_ERROR"},      {Event::Break, "SERIAL_BREAK_EVENT"},
    {Event::Overrun, "SERIAL_OVERFLOW_EVENT"},
};

// The state byte with one input line on.
quint8 inputOn(bool LineSnapshot::*input) {
    LineSnapshot inputs;
    inputs.*input = true;
    return RtacSerial::lineState(inputs, false, false);
}
const QList<QPair<QString, quint8>> lineFields = {
    {"rtacser.cts", inputOn(&LineSnapshot::cts)},
    {"rtacser.dcd", inputOn(&LineSnapshot::dcd)},
    {"rtacser.dsr", inputOn(&LineSnapshot::dsr)},
    {"rtacser.rts", RtacSerial::lineState({}, true, false)},
    {"rtacser.dtr", RtacSerial::lineState({}, false, true)},
    {"rtacser.ring", inputOn(&LineSnapshot::ri)},
};

QByteArray everyByte() {
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(char(value));
    return bytes;
}

// Both ports in one timeline: a port opened, bytes each way, every line, the errors.
QList<CaptureEntry> session() {
    const qint64 start = 1765000000123456;
    QList<CaptureEntry> entries = {
        {0, Event::StatusChange, Line::dtr, {}, "opened /dev/ttyUSB0 9600,n,8,1 \u00e9", start},
        {1, Event::StatusChange, Line::dtr | Line::rts, {}, "opened", start + 1},
        {0, Event::DataTransmitted, Line::dtr | Line::cts, "ATZ\r", {}, start + 999999},
        {1,
         Event::DataReceived,
         Line::dsr | Line::dcd | Line::ring,
         everyByte(),
         {},
         start + 1000000},
    };
    for (const auto& [event, name] : eventNames)
        entries.append({1, event, 0, {}, name, entries.last().microsecondsSinceEpoch + 7});
    quint8 allLines = 0;
    for (const auto& [field, line] : lineFields) {
        allLines |= line;
        entries.append(
            {0, Event::StatusChange, line, {}, {}, entries.last().microsecondsSinceEpoch + 1});
    }
    entries.append(
        {0, Event::DataReceived, allLines, "LAST", {}, entries.last().microsecondsSinceEpoch});
    return entries;
}

// One line per packet, as tshark reads the file: the fields tab-separated.
QStringList tsharkRead(const QString& fileName) {
    QStringList fields = {"frame.interface_name", "frame.time_epoch", "rtacser.timestamp",
                          "_ws.col.Info"};
    for (const auto& field : lineFields)
        fields << field.first;
    return tsharkRead(fileName, fields << "data.data"
                                       << "frame.comment");
}

// What tshark shows of an entry, in the fields tsharkRead asks for.
QString expectedLine(const CaptureEntry& entry) {
    const QString time = QStringLiteral("%1.%2")
                             .arg(entry.microsecondsSinceEpoch / 1000000)
                             .arg(entry.microsecondsSinceEpoch % 1000000 * 1000, 9, 10, QChar('0'));
    QString event;
    for (const auto& [code, name] : eventNames)
        if (code == entry.event)
            event = name;
    QStringList fields = {portNames[entry.port], time, time};
    QStringList lineNames;
    QStringList lineValues;
    for (const auto& [field, line] : lineFields) {
        const QString name = field.mid(field.indexOf('.') + 1).toUpper();
        lineNames << ((entry.lines & line) ? name : '/' + name);
        lineValues << ((entry.lines & line) ? "1" : "0");
    }
    fields << event.leftJustified(21) + " ( " + lineNames.join(", ") + ", /MBOK )";
    fields << lineValues << QString::fromLatin1(entry.bytes.toHex()) << entry.comment;
    return fields.join('\t');
}

// Empty until the writer has created the file.
QByteArray contents(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class CaptureTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void theReaderSeesBothPortsAsWritten();
    void moreBytesThanAPacketHoldsAreReadWhole();
    void aFileCutInsideItsLastBlockOpensWithTheWholeBlocks_data();
    void aFileCutInsideItsLastBlockOpensWithTheWholeBlocks();
    void aFailureIsReportedOnceAndEndsTheCapture_data();
    void aFailureIsReportedOnceAndEndsTheCapture();

private:
    // Writes the session and waits until the file holds all of it, the capture still open.
    void writeSession(CaptureFile& file);
    QTemporaryDir m_dir;
};

void CaptureTest::initTestCase() {
    QVERIFY2(!QStandardPaths::findExecutable("tshark").isEmpty(),
             "tshark reads the files: tools/install-deps.sh installs it");
}

void CaptureTest::writeSession(CaptureFile& file) {
    // In two writes: the writer reuses its memory from one to the next, and the second must
    // hold its own blocks and nothing of the first's.
    const QList<CaptureEntry> entries = session();
    for (const CaptureEntry& entry : entries.first(4))
        file.append(entry);
    QTRY_VERIFY(contents(file.fileName()).contains(everyByte()));
    for (const CaptureEntry& entry : entries.sliced(4))
        file.append(entry);
    // The last packet's block ends with its data and the block's length.
    const auto holdsTheLast = [&file] {
        const QByteArray written = contents(file.fileName());
        return written.size() > 4 && written.chopped(4).endsWith("LAST");
    };
    QTRY_VERIFY(holdsTheLast());
}

void CaptureTest::theReaderSeesBothPortsAsWritten() {
    const QString fileName = m_dir.filePath("session.pcapng");
    {
        CaptureFile file(fileName, portNames);
        writeSession(file);
    }
    QStringList expected;
    for (const CaptureEntry& entry : session())
        expected << expectedLine(entry);
    QCOMPARE(tsharkRead(fileName), expected);

    // The other tools of the suite take the file too.
    const QString merged = m_dir.filePath("merged.pcapng");
    QCOMPARE(QProcess::execute("mergecap", {"-w", merged, fileName, fileName}), 0);
    QCOMPARE(tsharkRead(merged).size(), 2 * expected.size());
    const QString edited = m_dir.filePath("edited.pcapng");
    QCOMPARE(QProcess::execute("editcap", {"-r", fileName, edited, "3-4"}), 0);
    QCOMPARE(tsharkRead(edited), expected.mid(2, 2));
}

void CaptureTest::moreBytesThanAPacketHoldsAreReadWhole() {
    // A comment longer than an option holds is cut at a character.
    const QString fileName = m_dir.filePath("long.pcapng");
    const QByteArray bytes = everyByte().repeated(1200) + "LAST";
    const QString comment(40000, QChar(0xE9));
    {
        CaptureFile file(fileName, portNames);
        file.append({1, Event::DataReceived, 0, bytes, comment, 1});
    }
    QProcess tshark;
    tshark.start("tshark",
                 {"-r", fileName, "-T", "fields", "-e", "data.data", "-e", "frame.comment"});
    QVERIFY(tshark.waitForFinished(60000));
    const QList<QByteArray> packets = tshark.readAllStandardOutput().split('\n');
    QByteArray data;
    for (const QByteArray& packet : packets)
        data += packet.split('\t').first();
    QCOMPARE(data, bytes.toHex());
    QCOMPARE(QString::fromUtf8(packets.first().split('\t').last()), comment.left(32767));
}

void CaptureTest::aFileCutInsideItsLastBlockOpensWithTheWholeBlocks_data() {
    QTest::addColumn<int>("cutFromBlockEnd");
    // Inside the block, or in its leading type: as far as a killed write got.
    QTest::newRow("data") << 20;
    QTest::newRow("type") << 0;
}

void CaptureTest::aFileCutInsideItsLastBlockOpensWithTheWholeBlocks() {
    QFETCH(int, cutFromBlockEnd);
    const QString fileName = m_dir.filePath(QTest::currentDataTag() + QStringLiteral(".pcapng"));
    CaptureFile file(fileName, portNames);
    writeSession(file);
    const QByteArray whole = contents(fileName);
    const int lastBlock =
        whole.size() - qFromLittleEndian<quint32>(whole.constData() + whole.size() - 4);
    const int cut = cutFromBlockEnd > 0 ? whole.size() - cutFromBlockEnd
                                        : lastBlock + 1 + QRandomGenerator::global()->bounded(3);
    const QString cutName = m_dir.filePath("cut.pcapng");
    QFile cutFile(cutName);
    QVERIFY(cutFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cutFile.write(whole.left(cut));
    cutFile.close();

    const QStringList read = tsharkRead(cutName);
    QStringList expected;
    for (const CaptureEntry& entry : session())
        expected << expectedLine(entry);
    expected.removeLast();
    QCOMPARE(read, expected);
}

void CaptureTest::aFailureIsReportedOnceAndEndsTheCapture_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("error");
    QTest::newRow("full disk") << "/dev/full" << ENOSPC;
    QTest::newRow("no folder") << QStringLiteral("/dev/null/inside.pcapng") << ENOTDIR;
}

void CaptureTest::aFailureIsReportedOnceAndEndsTheCapture() {
    QFETCH(QString, fileName);
    QFETCH(int, error);
    CaptureFile file(fileName, portNames);
    QSignalSpy failed(&file, &CaptureFile::failed);
    QThread* reportedOn = nullptr;
    connect(&file, &CaptureFile::failed, this, [&] { reportedOn = QThread::currentThread(); });
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(reportedOn, thread()); // the caller's thread, from its event loop
    QVERIFY(file.hasFailed());
    QCOMPARE(failed[0], (QVariantList{fileName, QString::fromLocal8Bit(std::strerror(error))}));

    QElapsedTimer appending;
    appending.start();
    for (int i = 0; i < 10000; ++i)
        file.append({0, Event::DataReceived, 0, everyByte(), {}, i});
    QVERIFY(appending.elapsed() < 1000);
    QTest::qWait(300);
    QCOMPARE(failed.count(), 1);
}

QTEST_GUILESS_MAIN(CaptureTest)
#include "test_capture.moc"
