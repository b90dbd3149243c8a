#include "PtyModemLines.h"
#include "PtyPair.h"
#include "ResidentMemory.h"
#include "serial/QtSerialControl.h"
#include "serial/SerialError.h"
#include "text/AnsiCodePage.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <termios.h>
#include <thread>

namespace {

// Port 3 and 4 are the ones these tests point at pseudo-terminals.
constexpr qint16 kPort = 3;

void pointPortAt(qint16 port, const QString& device) {
    qputenv("DUPLINK_COM" + QByteArray::number(port), device.toLocal8Bit());
}

QByteArray everyByte() {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    return all;
}

// Lets the control's port read what arrived until `count` bytes wait or time runs out.
bool waitForBytes(QtSerialControl& control, qint64 count, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (control.bytesWaiting() < count && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return control.bytesWaiting() >= count;
}

QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const SerialError& e) {
        return e.description();
    }
    return {};
}

termios slaveTermios(const PtyPair& pty) {
    // The master reports the settings of its slave.
    termios t{};
    ::tcgetattr(pty.master(), &t);
    return t;
}

} // namespace

class SerialPtyTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void everyByteValueBothWaysAndAFullBufferInOneInput();
    void settingsAppliedAndRefused();
    void openFailuresNameThePortAndDevice();
    void peerClosingClosesThePortQuietly();
    void modemLinesOnTheWire();
    void restingLinesCostNothing();

private:
    std::unique_ptr<PtyPair> m_pty;
};

void SerialPtyTest::init() {
    m_pty = std::make_unique<PtyPair>();
    QVERIFY(m_pty->isValid());
    pointPortAt(kPort, m_pty->slavePath());
}

void SerialPtyTest::everyByteValueBothWaysAndAFullBufferInOneInput() {
    QtSerialControl control;
    control.setCommPort(kPort);
    control.setPortOpen(true);
    QVERIFY(control.PortOpen());

    QVERIFY(m_pty->write(everyByte()));
    QVERIFY(waitForBytes(control, 256));
    QCOMPARE(control.readBytes(), everyByte());
    QCOMPARE(control.readBytes(), QByteArray());
    QVERIFY(m_pty->write(everyByte()));
    QVERIFY(waitForBytes(control, 256));
    QCOMPARE(ansi::encode(control.Input()), everyByte());

    control.setOutput(ansi::decode(everyByte()));
    QCOMPARE(m_pty->read(256), everyByte());
    // A write far larger than the device takes at once goes out whole and in order, most of it
    // while the event loop runs.
    const QByteArray sent = randomBytes(1024 * 1024 + 3, 5);
    QByteArray received;
    std::thread reader([&] { received = m_pty->read(sent.size(), 20000); });
    control.writeBytes(sent);
    QTRY_VERIFY_WITH_TIMEOUT(control.bytesToSend() == 0, 20000);
    reader.join();
    QVERIFY(received == sent);

    const QByteArray data = randomBytes(QtSerialControl::kReadBufferBytes, 7);
    const qint64 before = residentBytes();
    std::atomic<bool> written{false};
    std::thread writer([&] {
        m_pty->write(data);
        written = true;
    });
    // No Input in between: all of it must wait in the control until asked for.
    const bool arrived = waitForBytes(control, data.size(), 30000);
    writer.join();
    QVERIFY(written);
    QVERIFY(arrived);
    {
        const QByteArray got = control.readBytes();
        QCOMPARE(got.size(), data.size());
        QVERIFY(got == data);
    }
    // Once the stream has ended, what it took goes back: the port's blocks around each small
    // read of the device (8 MB and more for these 4 MB) and the buffer kept for the next read.
    QVERIFY(control.readBytes().isEmpty());
    [[maybe_unused]] const qint64 grown = residentBytes() - before;
#ifndef __SANITIZE_ADDRESS__
    QVERIFY2(grown < data.size() / 2, qPrintable(QString::number(grown)));
#endif
}

void SerialPtyTest::settingsAppliedAndRefused() {
    QtSerialControl control;
    control.setCommPort(kPort);
    control.setSettings(QStringLiteral("19200,n,8,2"));
    control.setPortOpen(true);
    termios t = slaveTermios(*m_pty);
    QCOMPARE(cfgetospeed(&t), speed_t(B19200));
    QVERIFY(t.c_cflag & CSTOPB);
    control.setSettings(QStringLiteral("4800,n,8,1"));
    t = slaveTermios(*m_pty);
    QCOMPARE(cfgetospeed(&t), speed_t(B4800));
    QVERIFY(!(t.c_cflag & CSTOPB));
    control.setHandshaking(2);
    QVERIFY(slaveTermios(*m_pty).c_cflag & CRTSCTS);

    // The parser's rules have their own test; here, that a refusal changes nothing.
    const QStringList malformed = {"9600,x,8,1", "fast,n,8,1", ""};
    for (const QString& s : malformed) {
        const QString error = errorOf([&] { control.setSettings(s); });
        QVERIFY2(error.startsWith(QStringLiteral("COM3 (%1): ").arg(m_pty->slavePath())),
                 qPrintable(s + QStringLiteral(" -> ") + error));
        QCOMPARE(control.Settings(), QStringLiteral("4800,n,8,1"));
    }

    // A pseudo-terminal cannot do parity: the device refuses it and the old speed stays too.
    const QString refused = errorOf([&] { control.setSettings(QStringLiteral("9600,e,8,1")); });
    QVERIFY2(refused.contains(QStringLiteral("refuses the parity e")), qPrintable(refused));
    QCOMPARE(control.Settings(), QStringLiteral("4800,n,8,1"));
    t = slaveTermios(*m_pty);
    QCOMPARE(cfgetospeed(&t), speed_t(B4800));
    QVERIFY(control.PortOpen());

    // Upper-case parity is understood and kept in the form the fields list.
    control.setSettings(QStringLiteral("9600,N,8,1"));
    QCOMPARE(control.Settings(), QStringLiteral("9600,n,8,1"));

    // Given while closed, refused when the port opens: it opens with what the device took last.
    control.setPortOpen(false);
    control.setSettings(QStringLiteral("9600,o,8,1"));
    QVERIFY_THROWS_EXCEPTION(SettingsRefused, control.setPortOpen(true));
    QVERIFY(control.PortOpen());
    QCOMPARE(control.Settings(), QStringLiteral("9600,n,8,1"));
}

void SerialPtyTest::openFailuresNameThePortAndDevice() {
    pointPortAt(4, QStringLiteral("/dev/duplink-no-such-device"));
    QtSerialControl missing;
    missing.setCommPort(4);
    QCOMPARE(errorOf([&] { missing.setPortOpen(true); }),
             QStringLiteral("COM4 (/dev/duplink-no-such-device): No such device"));
    QVERIFY(!missing.PortOpen());

    QtSerialControl first;
    first.setCommPort(kPort);
    first.setPortOpen(true);
    pointPortAt(4, m_pty->slavePath());
    QtSerialControl second;
    second.setCommPort(4);
    QCOMPARE(errorOf([&] { second.setPortOpen(true); }),
             QStringLiteral("COM4 (%1): in use by another program").arg(m_pty->slavePath()));
    QVERIFY(!second.PortOpen());
    QVERIFY(first.PortOpen());
    // An open port keeps its number.
    QVERIFY(errorOf([&] { first.setCommPort(4); }).startsWith(QStringLiteral("COM3 (")));
    QCOMPARE(first.CommPort(), kPort);
    QVERIFY(first.PortOpen());

    // Once the first lets go, the second opens.
    first.setPortOpen(false);
    second.setPortOpen(true);
    QVERIFY(second.PortOpen());
}

void SerialPtyTest::peerClosingClosesThePortQuietly() {
    QtSerialControl control;
    control.setCommPort(kPort);
    control.setPortOpen(true);
    auto* port = control.findChild<QSerialPort*>();
    QVERIFY(port);
    QSignalSpy errors(port, &QSerialPort::errorOccurred);
    QSignalSpy events(&control, &SerialControl::OnComm);
    QSignalSpy lost(&control, &SerialControl::portLost);

    QVERIFY(m_pty->write("bye"));
    QTest::qWait(100);
    // A write finds the device gone; it is told once the write has returned, and once.
    m_pty->closeMaster();
    control.writeBytes("into the void");
    QCOMPARE(lost.count(), 0);
    QVERIFY(!control.PortOpen());
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 2000);
    QTest::qWait(300);
    QCOMPARE(lost.count(), 1);
    QVERIFY2(errors.count() <= 2, qPrintable(QString::number(errors.count())));
    QCOMPARE(events.count(), 0);
    // What came before the device went away is not lost.
    QCOMPARE(control.Input(), QStringLiteral("bye"));
    control.setOutput(QStringLiteral("ignored while closed"));
    QVERIFY(!control.CTSHolding());
}

void SerialPtyTest::modemLinesOnTheWire() {
    if (!qgetenv("LD_PRELOAD").contains("ptymodemlines"))
        QSKIP("needs the pty modem-line library preloaded (ctest does it)");
    PtyModemLines lines;
    QVERIFY(lines.isValid());
    qputenv(PtyModemLines::kStateFileVariable, QByteArray::fromStdString(lines.stateFile()));
    const int pty = PtyModemLines::indexOfMaster(m_pty->master());
    QVERIFY(lines.reset(pty));

    // Output lines set while closed take effect when the port opens, and follow while open.
    QtSerialControl control;
    control.setCommPort(kPort);
    control.setRTSEnable(true);
    control.setDTREnable(false);
    QVERIFY(!lines.outputs(pty).rts);
    control.setPortOpen(true);
    QVERIFY(lines.outputs(pty).rts && !lines.outputs(pty).dtr);
    control.setRTSEnable(false);
    control.setDTREnable(true);
    QVERIFY(!lines.outputs(pty).rts && lines.outputs(pty).dtr);

    // Each input change is one event, in CTS, DSR, DCD order; three rings are three events.
    QList<qint16> codes;
    connect(&control, &SerialControl::OnComm, this, [&] { codes << control.CommEvent(); });
    lines.setInputs(pty, true, true, true);
    QTRY_COMPARE(codes, (QList<qint16>{comEvCTS, comEvDSR, comEvCD}));
    QVERIFY(control.CTSHolding() && control.DSRHolding() && control.CDHolding());
    for (int i = 0; i < 3; ++i)
        lines.ring(pty);
    QTRY_COMPARE(codes.size(), 6);
    QCOMPARE(codes.mid(3), (QList<qint16>{comEvRing, comEvRing, comEvRing}));
    lines.setInputs(pty, false, true, true);
    QTRY_COMPARE(codes.size(), 7);
    QVERIFY(!control.CTSHolding());

    // Closed, the lines read off and no event comes.
    control.setPortOpen(false);
    lines.setInputs(pty, true, false, false);
    QTest::qWait(5 * QtSerialControl::kLineWatchMs);
    QCOMPARE(codes.size(), 7);
    QVERIFY(!control.CTSHolding() && !control.DSRHolding());
    qunsetenv(PtyModemLines::kStateFileVariable);
}

void SerialPtyTest::restingLinesCostNothing() {
    if (PtyModemLines::requestsSoFar() < 0)
        QSKIP("needs the pty modem-line library preloaded (ctest does it)");
    constexpr int kRestMs = 10 * QtSerialControl::kLineWatchMs;
    {
        // No state file: the pty has no lines, and nothing asks for them once open.
        QtSerialControl control;
        control.setCommPort(kPort);
        control.setPortOpen(true);
        const long opened = PtyModemLines::requestsSoFar();
        QTest::qWait(kRestMs);
        QVERIFY(!control.CTSHolding() && !control.CDHolding());
        QCOMPARE(PtyModemLines::requestsSoFar(), opened);
    }

    PtyModemLines lines;
    qputenv(PtyModemLines::kStateFileVariable, QByteArray::fromStdString(lines.stateFile()));
    const int pty = PtyModemLines::indexOfMaster(m_pty->master());
    QVERIFY(lines.reset(pty));
    QtSerialControl control;
    control.setCommPort(kPort);
    control.setPortOpen(true);
    QSignalSpy events(&control, &SerialControl::OnComm);
    // With lines, the control waits on them: one request under way, not one per look.
    QTest::qWait(kRestMs);
    const long resting = PtyModemLines::requestsSoFar();
    QTest::qWait(kRestMs);
    QCOMPARE(PtyModemLines::requestsSoFar(), resting);
    QElapsedTimer clock;
    clock.start();
    lines.setInputs(pty, false, false, true);
    QVERIFY(events.wait(2000));
    QVERIFY2(clock.elapsed() < 50, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(control.CommEvent(), comEvCD);
    // Closing ends the wait at once.
    clock.restart();
    control.setPortOpen(false);
    QVERIFY2(clock.elapsed() < 50, qPrintable(QString::number(clock.elapsed())));
    qunsetenv(PtyModemLines::kStateFileVariable);
}

QTEST_MAIN(SerialPtyTest)
#include "test_serial_pty.moc"
