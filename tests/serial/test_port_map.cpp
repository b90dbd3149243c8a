#include "serial/PortDevice.h"
#include "serial/PortMap.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class PortMapTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void devicesAreTakenAsWritten();
    void everyLineThatCannotBeUsedIsNamedWithItsNumber();
    void manyProblemsAreCountedAndTheFileReadInLinearTime();
    void onlyARegularFileOfAtMostOneMegabyteIsRead();
    void portMapComesAfterTheEnvironment();

private:
    QString write(const QByteArray& content);
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void PortMapTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("Duplink ports.ini"));
}

QString PortMapTest::write(const QByteArray& content) {
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        qFatal("cannot write the port map");
    return m_path;
}

void PortMapTest::devicesAreTakenAsWritten() {
    const PortMap map = parsePortMap("# adapters\r\n"
                                     "; the modem bank\r\n"
                                     "[General]\r\n"
                                     "COM1=/dev/serial/by-id/usb-A;B-if00\r\n"
                                     "  com2 =  \"/dev/quoted\"  \r\n"
                                     "COM3=/dev/a\\x20b,c\r\n"
                                     "COM4=/dev/\xD0\x96 #not a comment\r\n"
                                     "COM16=tcp://10.0.0.5:2001");
    QCOMPARE(map.devices.keys(), (QList<qint16>{1, 2, 3, 4, 16}));
    QCOMPARE(map.devices[1], QStringLiteral("/dev/serial/by-id/usb-A;B-if00"));
    QCOMPARE(map.devices[2], QStringLiteral("\"/dev/quoted\""));
    QCOMPARE(map.devices[3], QStringLiteral("/dev/a\\x20b,c"));
    QCOMPARE(map.devices[4], QStringLiteral("/dev/\u0416 #not a comment"));
    QCOMPARE(map.devices[16], QStringLiteral("tcp://10.0.0.5:2001"));
    QCOMPARE(map.problems, QStringList());
}

void PortMapTest::everyLineThatCannotBeUsedIsNamedWithItsNumber() {
    const PortMap map = parsePortMap(QByteArray("garbage line\n"     // 1
                                                "COM5 /dev/ttyS0\n"  // 2
                                                "COM3=/dev/first\n"  // 3
                                                "COM3=/dev/second\n" // 4
                                                "COM03=/dev/third\n" // 5
                                                "COM17=/dev/x\n"     // 6
                                                "COM7=\n"            // 7
                                                "PORT=/dev/y\n"      // 8
                                                "COM8=/dev/a@b\n"    // 9
                                                "COM9=/dev/\xFF\n"   // 10
                                                "COM0=/dev/z\n")     // 11
                                         .replace('@', QByteArray(1, '\0')));
    QCOMPARE(map.devices.keys(), QList<qint16>{3});
    QCOMPARE(map.devices[3], QStringLiteral("/dev/third"));
    QCOMPARE(
        map.problems,
        (QStringList{"line 1, \"garbage line\", is no entry (COMn=device)",
                     "line 2, \"COM5 /dev/ttyS0\", is no entry (COMn=device)",
                     "line 4: COM3 again (line 3 gave it too); this line is used",
                     "line 5: COM3 again (line 4 gave it too); this line is used",
                     "line 6: \"COM17\" is no port (COM1 to COM16)", "line 7: COM7 names no device",
                     "line 8: \"PORT\" is no port (COM1 to COM16)",
                     "line 9: COM8's device \"/dev/a?b\" holds a control character",
                     "line 10 is no UTF-8 text", "line 11: \"COM0\" is no port (COM1 to COM16)"}));
}

void PortMapTest::manyProblemsAreCountedAndTheFileReadInLinearTime() {
    QByteArray bad;
    for (int n = 0; n < 50000; ++n)
        bad += "bad line\n";
    QElapsedTimer timer;
    timer.start();
    PortMap map = readPortMap(write(bad + "COM5=/dev/duplink-unplugged\n"));
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(map.problems.size(), kPortMapProblemsNamed + 1);
    QCOMPARE(map.problems[0], QStringLiteral("line 1, \"bad line\", is no entry (COMn=device)"));
    QCOMPARE(map.problems.last(), QStringLiteral("and 49,991 more"));
    QCOMPARE(map.devices.keys(), QList<qint16>{5});

    // One line of a whole megabyte is quoted short.
    map = readPortMap(write(QByteArray(kPortMapMaxBytes, 'x')));
    QCOMPARE(map.problems.size(), 1);
    QVERIFY2(map.problems[0].size() < 200, qPrintable(map.problems[0].left(300)));
}

void PortMapTest::onlyARegularFileOfAtMostOneMegabyteIsRead() {
    QCOMPARE(readPortMap(m_path).problems, QStringList()); // missing: an empty map
    QVERIFY(readPortMap(m_path).devices.isEmpty());

    // A FIFO would block the open for ever; the alarm ends the test if it does.
    QCOMPARE(::mkfifo(QFile::encodeName(m_path).constData(), 0600), 0);
    ::alarm(20);
    QCOMPARE(readPortMap(m_path).problems, QStringList{"it is no regular file; it is not read"});
    ::alarm(0);
    QVERIFY(QFile::remove(m_path));

    const QString nowhere = m_dir->filePath(QStringLiteral("nowhere"));
    QVERIFY(QFile::link(nowhere, m_path));
    QCOMPARE(
        readPortMap(m_path).problems,
        QStringList{
            QStringLiteral("it is a link to %1, which is not there; it is not read").arg(nowhere)});
    QVERIFY(QFile::remove(m_path));
    QVERIFY(QFile::link(m_path, nowhere));
    QVERIFY(QFile::link(nowhere, m_path));
    QCOMPARE(readPortMap(m_path).problems,
             QStringList{"it is a link that leads round in a loop; it is not read"});
    QVERIFY(QFile::remove(m_path));

    const QByteArray line("COM5=tcp://10.0.0.5:2001\n");
    QByteArray full = line + QByteArray(kPortMapMaxBytes - line.size(), '#');
    QCOMPARE(readPortMap(write(full)).devices.keys(), QList<qint16>{5});
    const PortMap tooLong = readPortMap(write(full + '#'));
    QVERIFY(tooLong.devices.isEmpty());
    QCOMPARE(
        tooLong.problems,
        QStringList{"it is 1,048,577 bytes long, more than a port map's 1 MB; it is not read"});
}

void PortMapTest::portMapComesAfterTheEnvironment() {
    const QString device = m_dir->filePath(QStringLiteral("modem"));
    QFile(device).open(QIODevice::WriteOnly);
    const PortMap map = readPortMap(write("COM5=" + device.toLocal8Bit() +
                                          "\ncom6 = /dev/duplink-unplugged\n"
                                          "COM8=rfc2217://10.0.0.5:2001\n"));
    QCOMPARE(map.devices.keys(), (QList<qint16>{5, 6, 8}));
    QCOMPARE(map.problems, QStringList{"line 2: COM6: /dev/duplink-unplugged is not there now"});

    usePortMap(map.devices);
    qunsetenv("DUPLINK_COM5");
    QCOMPARE(deviceForPort(5), device);
    QCOMPARE(deviceForPort(8), QStringLiteral("rfc2217://10.0.0.5:2001"));
    QCOMPARE(deviceForPort(9), QStringLiteral("/dev/ttyACM0"));
    qputenv("DUPLINK_COM5", "/dev/from-environment");
    QCOMPARE(deviceForPort(5), QStringLiteral("/dev/from-environment"));
    qunsetenv("DUPLINK_COM5");
    usePortMap({});
}

QTEST_APPLESS_MAIN(PortMapTest)
#include "test_port_map.moc"
