#include "FakeSerialControl.h"
#include "TsharkRead.h"
#include "capture/CaptureReader.h"
#include "capture/RecordingControl.h"
#include "serial/SerialError.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using RtacSerial::Event;
namespace Line = RtacSerial::Line;

namespace {

QByteArray everyByte() {
    QByteArray bytes;
    for (int value = 255; value >= 0; --value)
        bytes.append(char(value));
    return bytes;
}

// The reader's line fields, in the order asked for, with their bits in the state byte.
const QList<QPair<QString, quint8>> lineFields = {
    {"rtacser.cts", Line::cts}, {"rtacser.dcd", Line::dcd}, {"rtacser.dsr", Line::dsr},
    {"rtacser.rts", Line::rts}, {"rtacser.dtr", Line::dtr}, {"rtacser.ring", Line::ring},
};
const QStringList interfaceNames = {"COM1 (/dev/ttyUSB0)", "COM2 (rfc2217://host:2001)"};

// One packet: its port, event, lines, bytes and comment.
struct Seen {
    int port;
    Event event;
    quint8 lines;
    QByteArray bytes = {};
    QString comment = {};
};

// One packet as tshark shows it in the fields tsharkRead asks for.
QString shown(const Seen& entry) {
    QStringList fields = {interfaceNames[entry.port],
                          QStringLiteral("0x%1").arg(int(entry.event), 2, 16, QChar('0'))};
    for (const auto& field : lineFields)
        fields << ((entry.lines & field.second) ? "1" : "0");
    return (fields << QString::fromLatin1(entry.bytes.toHex()) << entry.comment).join('\t');
}

QStringList tsharkRead(const QString& fileName) {
    QStringList fields = {"frame.interface_name", "rtacser.eventtype"};
    for (const auto& field : lineFields)
        fields << field.first;
    return tsharkRead(fileName, fields << "data.data"
                                       << "frame.comment");
}

} // namespace

class RecordingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void bothPortsAreRecordedInOrderAsTheyPass();
    void everyMemberGoesThroughUnchanged();
    void commandsAreMarkedWithTheirResultAndTime();

private:
    QTemporaryDir m_dir;
    FakeSerialControl* m_fakes[2] = {};
    std::unique_ptr<RecordingControl> m_ports[2];
};

void RecordingTest::initTestCase() {
    qputenv("DUPLINK_COM1", "/dev/ttyUSB0");
    qputenv("DUPLINK_COM2", "rfc2217://host:2001");
}

void RecordingTest::init() {
    for (int i = 0; i < 2; ++i) {
        auto fake = std::make_unique<FakeSerialControl>();
        m_fakes[i] = fake.get();
        m_ports[i] = std::make_unique<RecordingControl>(std::move(fake));
        m_ports[i]->setCommPort(qint16(i + 1));
    }
}

void RecordingTest::cleanup() {
    for (auto& port : m_ports)
        port.reset();
}

void RecordingTest::bothPortsAreRecordedInOrderAsTheyPass() {
    RecordingControl& a = *m_ports[0];
    RecordingControl& b = *m_ports[1];
    FakeSerialControl& fakeA = *m_fakes[0];
    FakeSerialControl& fakeB = *m_fakes[1];
    a.setSettings("19200,n,8,1");
    CaptureSession session;
    a.setSession(&session, 0);
    b.setSession(&session, 1);
    QSignalSpy changes(&b, &SerialControl::OnComm);
    QSignalSpy losses(&b, &SerialControl::portLost);
    QList<qint16> codes;
    connect(&b, &SerialControl::OnComm, this, [&] { codes << b.CommEvent(); });
    // A signal raised by the fake arrives from the event loop, not from inside the call.
    const auto raise = [&](FakeSerialControl& fake, qint16 code) {
        fake.raiseEvent(code);
        QCOMPARE(changes.count(), codes.size());
        QCoreApplication::processEvents();
    };
    const quint8 ctsDsr = Line::cts | Line::dsr;
    const QList<QPair<std::function<void()>, QList<Seen>>> steps = {
        {[&] {
             session.start(m_dir.filePath("ports.pcapng"), {1, 2});
         },
         {{0, Event::StatusChange, 0, {}, "closed"}, {1, Event::StatusChange, 0, {}, "closed"}}},
        {[&] { a.setPortOpen(true); },
         {{0, Event::StatusChange, Line::dtr, {}, "opened /dev/ttyUSB0 19200,n,8,1"}}},
        {[&] { b.setPortOpen(true); },
         {{1, Event::StatusChange, Line::dtr, {}, "opened rfc2217://host:2001 9600,n,8,1"}}},
        {[&] { a.setRTSEnable(true), b.setDTREnable(false), b.setDTREnable(false); },
         {{0, Event::StatusChange, Line::dtr | Line::rts}, {1, Event::StatusChange, 0}}},
        {[&] { a.setSettings("2400,e,7,1"), a.setSettings("2400,e,7,1"); },
         {{0, Event::StatusChange, Line::dtr | Line::rts, {}, "settings 2400,e,7,1"}}},
        {[&] { a.writeBytes("ATI3\r"); },
         {{0, Event::DataTransmitted, Line::dtr | Line::rts, "ATI3\r"}}},
        {[&] {
             fakeA.setInputLines(true, true, false);
             fakeA.receive(everyByte());
             QCOMPARE(a.readBytes(), everyByte());
             a.readBytes();
         },
         {{0, Event::StatusChange, Line::dtr | Line::rts | ctsDsr},
          {0, Event::DataReceived, Line::dtr | Line::rts | ctsDsr, everyByte()}}},
        {[&] {
             fakeB.setInputLines(false, false, true);
             raise(fakeB, comEvCD);
             raise(fakeB, comEvRing);
             b.CDHolding();
         },
         {{1, Event::StatusChange, Line::dcd}, {1, Event::StatusChange, Line::dcd | Line::ring}}},
        {[&] {
             for (qint16 code : {comEventBreak, comEventFrame, comEventRxParity, comEventOverrun})
                 raise(fakeB, code);
         },
         {{1, Event::Break, Line::dcd},
          {1, Event::FramingError, Line::dcd},
          {1, Event::ParityError, Line::dcd},
          {1, Event::Overrun, Line::dcd}}},
        {[&] { session.note("transmit mode on"); },
         {{0, Event::StatusChange, Line::dtr | Line::rts | ctsDsr, {}, "transmit mode on"}}},
        {[&] {
             fakeB.loseDevice();
             QCOMPARE(losses.count(), 0);
             QTRY_COMPARE(losses.count(), 1);
             b.writeBytes("gone");
             b.setPortOpen(true);
         },
         {{1, Event::StatusChange, 0, {}, "lost: COM2 (fake): the device went away"},
          {1, Event::StatusChange, Line::dcd, {}, "reopened rfc2217://host:2001 9600,n,8,1"}}},
        {[&] { a.setPortOpen(false), session.stop(), b.setPortOpen(false); },
         {{0, Event::StatusChange, 0, {}, "closed"}}},
    };
    QStringList expected;
    for (const auto& [step, entries] : steps) {
        step();
        for (const Seen& entry : entries)
            expected << shown(entry);
    }
    QCOMPARE(codes, (QList<qint16>{comEvCD, comEvRing, comEventBreak, comEventFrame,
                                   comEventRxParity, comEventOverrun}));
    QCOMPARE(tsharkRead(m_dir.filePath("ports.pcapng")), expected);
}

void RecordingTest::everyMemberGoesThroughUnchanged() {
    // A session set but not started: the members take the recording path with nowhere to go.
    CaptureSession session;
    RecordingControl& port = *m_ports[0];
    FakeSerialControl& fake = *m_fakes[0];
    port.setSession(&session, 0);
    const auto refusal = [](const std::function<void()>& call) {
        try {
            call();
        } catch (const SettingsRefused& error) {
            return "settings: " + QString(error.what());
        } catch (const SerialError& error) {
            return QString(error.what());
        }
        return QString();
    };
    fake.failOpeningWith("COM1 (fake): busy");
    QCOMPARE(refusal([&] { port.setPortOpen(true); }), "COM1 (fake): busy");
    fake.failOpeningWith({});
    fake.refuseSettings("110,n,8,1");
    port.setSettings("110,n,8,1");
    QVERIFY(refusal([&] { port.setPortOpen(true); }).startsWith("settings: COM1 (fake)"));
    QVERIFY(refusal([&] { port.setSettings("110,n,8,1"); }).startsWith("settings: COM1 (fake)"));
    QVERIFY(!refusal([&] { port.setCommPort(17); }).isEmpty());
    port.setHandshaking(comRTS);
    fake.setInputLines(true, false, true);
    fake.stuck = 7;
    fake.present = false;
    port.writeBytes("AT\r");
    const auto state = [](SerialControl& c) {
        return QVariantList{c.CommPort(),  c.Settings(),    c.Handshaking(),  c.PortOpen(),
                            c.RTSEnable(), c.DTREnable(),   c.CTSHolding(),   c.DSRHolding(),
                            c.CDHolding(), c.bytesToSend(), c.devicePresent()};
    };
    QCOMPARE(state(port), state(fake));
    QCOMPARE(state(port)[1], "9600,n,8,1");
    QCOMPARE(fake.written(), "AT\r");
}

void RecordingTest::commandsAreMarkedWithTheirResultAndTime() {
    RecordingControl& port = *m_ports[0];
    FakeSerialControl& fake = *m_fakes[0];
    CaptureSession session;
    port.setSession(&session, 0);
    const QString fileName = m_dir.filePath("commands.pcapng");
    session.start(fileName, {1, 2});
    port.setPortOpen(true);
    const auto answer = [&](const QByteArray& bytes) {
        fake.receive(bytes);
        port.readBytes();
    };
    QElapsedTimer dialling;
    dialling.start();
    port.writeBytes("ATD2\r");
    answer("ATD2\r\r\nRING\r\nCON");
    QTest::qWait(50);
    answer("NECT 9600\r\n");
    const double longest = double(dialling.nsecsElapsed()) / 1e9;
    // Typed a character at a time with a mistake taken back, then replaced before its result.
    for (const char* typed : {"\r\na", "tx\b", "i3\r", "hello\rATZ\r"})
        port.writeBytes(typed);
    answer("0\r");
    port.writeBytes("A/");
    answer("\r\n+CME ERROR: 10\r\n");
    // A command whose port closed waits for nothing.
    port.writeBytes("ATH\r");
    port.setPortOpen(false);
    port.setPortOpen(true);
    answer("OK\r\n");
    session.stop();

    CaptureReader reader(fileName);
    CaptureRecord record;
    QByteArray before; // the bytes of the entry before each remark
    QStringList remarks;
    double dialled = -1;
    const QRegularExpression after(QStringLiteral("^(.* after) (\\d+\\.\\d{3}) s$"));
    while (reader.next(record)) {
        const QRegularExpressionMatch match = after.match(record.entry.comment);
        if (match.hasMatch()) {
            remarks << record.portName + ": " + match.captured(1) + " <- " +
                           QString::fromLatin1(before);
            if (dialled < 0)
                dialled = match.captured(2).toDouble();
        }
        before = record.entry.bytes;
    }
    QCOMPARE(remarks,
             (QStringList{
                 "COM1 (/dev/ttyUSB0): ATD2 -> CONNECT 9600 after <- NECT 9600\r\n",
                 "COM1 (/dev/ttyUSB0): ati3 -> no result after <- hello\rATZ\r",
                 "COM1 (/dev/ttyUSB0): ATZ -> OK after <- 0\r",
                 "COM1 (/dev/ttyUSB0): A/ -> +CME ERROR: 10 after <- \r\n+CME ERROR: 10\r\n",
             }));
    QVERIFY2(dialled >= 0.05 && dialled <= longest + 0.001,
             qPrintable(QStringLiteral("%1 s of at most %2 s").arg(dialled).arg(longest)));
}

QTEST_GUILESS_MAIN(RecordingTest)
#include "test_recording.moc"
