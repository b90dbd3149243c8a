#include "serial/LineEvents.h"
#include "serial/LineSettings.h"
#include "serial/OpenFailure.h"
#include "serial/ParityMarks.h"
#include "serial/PortDevice.h"
#include "serial/SerialControl.h"
#include "serial/SerialError.h"
#include "serial/network/NetworkAddress.h"

#include <QTest>

using Events = std::vector<qint16>;
Q_DECLARE_METATYPE(Events)

class SerialRulesTest : public QObject {
    Q_OBJECT
private slots:
    void settingsStrings();
    void defaultDeviceMapping_data();
    void defaultDeviceMapping();
    void environmentNamesAnyDevice();
    void portNumberText();
    void openFailureReasons();
    void lineEvents_data();
    void lineEvents();
    void parityMarksAreUndone();
};

void SerialRulesTest::settingsStrings() {
    const QList<QPair<QString, QString>> accepted = {{"9600,n,8,1", "9600,n,8,1"},
                                                     {"250000,m,5,2", "250000,m,5,2"},
                                                     {"1200,E,7,1", "1200,e,7,1"}};
    for (const auto& [text, inForce] : accepted) {
        const auto parsed = parseLineSettings(text);
        QVERIFY2(parsed, qPrintable(text));
        QCOMPARE(parsed->toString(), inForce);
    }
    for (const char* refused : {"9600,x,8,1", "0,n,8,1", "+9600,n,8,1", "99999999999,n,8,1",
                                "9600,n,4,1", "9600,n,8,1.5", "9600, n,8,1", "9600,n,8"}) {
        QString problem;
        QVERIFY2(!parseLineSettings(QLatin1String(refused), &problem), refused);
        QVERIFY(!problem.isEmpty());
    }
}

void SerialRulesTest::defaultDeviceMapping_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::newRow("COM1") << 1 << "/dev/ttyS0";
    QTest::newRow("COM5") << 5 << "/dev/ttyUSB0";
    QTest::newRow("COM9") << 9 << "/dev/ttyACM0";
    QTest::newRow("COM13") << 13 << "/dev/ttyS4";
    QTest::newRow("COM16") << 16 << "/dev/ttyS7";
}

void SerialRulesTest::defaultDeviceMapping() {
    QFETCH(int, port);
    QFETCH(QString, device);
    qunsetenv("DUPLINK_COM" + QByteArray::number(port));
    QCOMPARE(deviceForPort(qint16(port)), device);
    QCOMPARE(portLabel(qint16(port)), QStringLiteral("COM%1 (%2)").arg(port).arg(device));
}

void SerialRulesTest::environmentNamesAnyDevice() {
    qputenv("DUPLINK_COM5", "/tmp/some modem");
    QCOMPARE(deviceForPort(5), QStringLiteral("/tmp/some modem"));
    qputenv("DUPLINK_COM5", "");
    QCOMPARE(deviceForPort(5), QStringLiteral("/dev/ttyUSB0"));
    qunsetenv("DUPLINK_COM5");
    // A network address whatever the case of its scheme; a path that merely holds one is a path.
    QVERIFY(isNetworkDevice(QStringLiteral("RFC2217://modem:7000")));
    QVERIFY(isNetworkDevice(QStringLiteral("Tcp://modem:7000")));
    QVERIFY(!isNetworkDevice(QStringLiteral("/tmp/rfc2217://modem:7000")));
    const auto address = parseNetworkAddress(QStringLiteral("RFC2217://modem:7000"));
    QVERIFY(address && address->rfc2217 && address->port == 7000);
}

void SerialRulesTest::portNumberText() {
    QCOMPARE(toPortNumber(QStringLiteral("7")), qint16(7));
    QCOMPARE(toPortNumber(QStringLiteral(" 12 ")), qint16(12));
    // Out of 1..16 is for the control to refuse; only non-numbers fail here.
    QCOMPARE(toPortNumber(QStringLiteral("99")), qint16(99));
    for (const char* bad : {"", "one", "1.5", "40000", "3x"}) {
        QVERIFY_THROWS_EXCEPTION(SerialError, toPortNumber(QLatin1String(bad)));
    }
}

void SerialRulesTest::openFailureReasons() {
    const QString inUse = QStringLiteral("in use by another program");
    for (const auto& [error, text, reason] :
         QList<std::tuple<QSerialPort::SerialPortError, const char*, QString>>{
             {QSerialPort::DeviceNotFoundError, "No such file or directory", "No such device"},
             {QSerialPort::PermissionError, "Permission error while locking the device", inUse},
             {QSerialPort::PermissionError, "Device or resource busy", inUse},
             {QSerialPort::UnknownError, "Input/output error", "Input/output error"}})
        QCOMPARE(openFailureReason(error, text), reason);
    const QString denied = openFailureReason(QSerialPort::PermissionError, "Permission denied");
    QVERIFY(denied.startsWith(QStringLiteral("Permission denied")) && denied.contains("dialout"));
}

void SerialRulesTest::lineEvents_data() {
    QTest::addColumn<LineSnapshot>("before");
    QTest::addColumn<LineSnapshot>("after");
    QTest::addColumn<Events>("events");

    const LineSnapshot idle;
    LineSnapshot all = idle;
    all.cts = all.dsr = all.dcd = all.ri = true;
    QTest::newRow("everything at once, in order")
        << idle << all << Events{comEvCTS, comEvDSR, comEvCD, comEvRing};
    LineSnapshot ringOnly = idle;
    ringOnly.ri = true;
    QTest::newRow("RI falling is no new ring") << ringOnly << idle << Events{};

    // Counters catch what happened between two readings even when the levels look the same.
    LineSnapshot counted = idle;
    counted.hasCounters = true;
    LineSnapshot later = counted;
    later.rings = 3;
    later.dsrChanges = 2;
    QTest::newRow("three short rings and a DSR blip")
        << counted << later << Events{comEvDSR, comEvDSR, comEvRing, comEvRing, comEvRing};
    LineSnapshot wrapped = counted;
    wrapped.ctsChanges = 0xFFFFFFFF;
    LineSnapshot afterWrap = wrapped;
    afterWrap.ctsChanges = 1;
    QTest::newRow("counter wraps") << wrapped << afterWrap << Events{comEvCTS, comEvCTS};
    LineSnapshot noisy = counted;
    noisy.dcdChanges = 100000;
    QTest::newRow("a chattering line is capped")
        << counted << noisy << Events(kMaxEventsPerLine, comEvCD);
    LineSnapshot levelOnly = counted;
    levelOnly.cts = true;
    QTest::newRow("a level change the driver did not count")
        << counted << levelOnly << Events{comEvCTS};
    QTest::newRow("nothing changed") << later << later << Events{};
}

void SerialRulesTest::lineEvents() {
    QFETCH(LineSnapshot, before);
    QFETCH(LineSnapshot, after);
    QFETCH(Events, events);
    QCOMPARE(lineEventsBetween(before, after), events);
}

void SerialRulesTest::parityMarksAreUndone() {
    ParityMarkDecoder decoder;
    QCOMPARE(decoder.decode("plain AT\r\n"), QByteArray("plain AT\r\n"));
    // A real 0xFF comes doubled; a damaged byte comes as 0xFF 0x00 and the byte.
    QCOMPARE(decoder.decode(QByteArray("a\xFF\xFF"
                                       "b\xFF\x00"
                                       "Xc",
                                       8)),
             QByteArray("a\xFF"
                        "b?c"));
    // Marks split between reads, down to one byte a read.
    const QByteArray marked("\xFF\x00\x41\xFF\xFF\x00", 6);
    QByteArray joined;
    for (const char c : marked)
        joined += decoder.decode(QByteArray(1, c));
    QCOMPARE(joined, QByteArray("?\xFF\x00", 3));
    // A mark cut short by the port closing is forgotten.
    decoder.decode(QByteArray("\xFF", 1));
    decoder.reset();
    QCOMPARE(decoder.decode("ok"), QByteArray("ok"));
}

QTEST_APPLESS_MAIN(SerialRulesTest)
#include "test_serial_rules.moc"
