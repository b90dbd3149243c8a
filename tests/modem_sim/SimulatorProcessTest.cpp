#include "TestSuites.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// A client's end of one simulated line, opened the way a serial terminal opens a device.
class Client {
public:
    explicit Client(const QString& path)
        : m_fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~Client() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    bool write(const QByteArray& bytes) {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // Reads until the text received ends with `ending`, or five seconds pass.
    QByteArray readUntil(const QByteArray& ending) {
        QByteArray got;
        const QDeadlineTimer deadline(5000);
        while (!got.endsWith(ending) && !deadline.hasExpired()) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buffer[512];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
        }
        return got;
    }

private:
    int m_fd;
};

} // namespace

class SimulatorProcessTest : public QObject {
    Q_OBJECT
private slots:
    void servesLinesUntilTerminated();
};

void SimulatorProcessTest::servesLinesUntilTerminated() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link1 = dir.filePath("com1");
    const QString link2 = dir.filePath("com2");
    QProcess sim;
    sim.start(MODEM_SIM_PATH, {"--link", link1, "--link", link2});
    QVERIFY(sim.waitForStarted(5000));

    QStringList slaves;
    const QDeadlineTimer deadline(5000);
    while (slaves.size() < 2 && !deadline.hasExpired()) {
        if (!sim.canReadLine())
            sim.waitForReadyRead(100);
        while (sim.canReadLine())
            slaves << QString::fromLocal8Bit(sim.readLine()).trimmed();
    }
    QCOMPARE(slaves.size(), 2);
    QCOMPARE(QFileInfo(link1).symLinkTarget(), slaves[0]);
    QCOMPARE(QFileInfo(link2).symLinkTarget(), slaves[1]);

    {
        Client first(link1);
        QVERIFY(first.isOpen());
        QVERIFY(first.write("ATI3\r"));
        QCOMPARE(first.readUntil("OK\r\n"), "ATI3\r\r\nDuplink Simulated Modem 1.0\r\n\r\nOK\r\n");
    }
    // Closed and opened again, the line still answers; and the lines reach each other.
    Client first(link1);
    Client second(slaves[1]);
    QVERIFY(first.write("ATD2\r"));
    QCOMPARE(second.readUntil("RING\r\n"), "\r\nRING\r\n");
    QVERIFY(second.write("ATA\r"));
    QCOMPARE(first.readUntil("9600\r\n"), "ATD2\r\r\nCONNECT 9600\r\n");
    QVERIFY(first.write("hello"));
    QCOMPARE(second.readUntil("hello"), "ATA\r\r\nCONNECT 9600\r\nhello");

    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link1).isSymLink());
    QVERIFY(!QFileInfo(link2).isSymLink());
}

int runSimulatorProcessTests(int argc, char** argv) {
    SimulatorProcessTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SimulatorProcessTest.moc"
