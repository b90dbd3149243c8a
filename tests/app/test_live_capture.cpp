#include "DuplinkProcess.h"
#include "LiveWindow.h"
#include "ModemSimulator.h"
#include "PtyModemLines.h"
#include "TsharkRead.h"
#include "app/SettingsFile.h"
#include "capture/CapturePrinter.h"
#include "terminal/LampColours.h"
#include "text/AnsiCodePage.h"
#include "ui/LogView.h"

#include <QAbstractButton>
#include <QAction>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The far end of a simulated line, played by the test on the line's (raw) pty as its second user.
class FarEnd {
public:
    explicit FarEnd(const QString& device)
        : m_fd(::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~FarEnd() { ::close(m_fd); }
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;
    // Writes what the pty takes now, returning how much; the rest waits for the next call.
    qsizetype write(const QByteArray& bytes) {
        const ssize_t n = ::write(m_fd, bytes.constData(), size_t(bytes.size()));
        return n > 0 ? n : 0;
    }
    // Reads, the event loop running, until what came holds `text`.
    bool waitFor(const QByteArray& text) {
        QElapsedTimer waited;
        waited.start();
        for (char buffer[4096]; !received.contains(text); runEventLoopFor(20)) {
            for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;)
                received.append(buffer, n);
            if (waited.elapsed() > 20000)
                return received.contains(text);
        }
        return true;
    }
    QByteArray received;

private:
    int m_fd;
};

// A packet as tshark reads it.
struct Packet {
    int port;
    int event; // 0 a change of lines or a note, 1 bytes sent, 2 bytes received
    bool dcd;
    bool ring;
    QByteArray bytes;
    QString comment;
};

QList<Packet> packetsOf(const QString& fileName, QString* failure = nullptr) {
    QList<Packet> packets;
    const QStringList fields = {"frame.interface_id", "rtacser.eventtype", "rtacser.dcd",
                                "rtacser.ring",       "data.data",         "frame.comment"};
    for (const QString& line : tsharkRead(fileName, fields, failure)) {
        const QStringList f = line.split('\t');
        packets.append({f.value(0).toInt(), f.value(1).toInt(nullptr, 0), f.value(2) == "1",
                        f.value(3) == "1", QByteArray::fromHex(f.value(4).toLatin1()), f.value(5)});
    }
    return packets;
}

const QByteArray identification = "ATI3\r\r\nDuplink Simulated Modem 1.0\r\n\r\nOK\r\n";

} // namespace

// Capture on the whole program while its ports do real work: against the simulated modems, in a
// real executable killed mid-stream, and on a disk that refuses to grow the file.
class LiveCaptureTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void aSessionIsRecordedByteForByteWithItsLinesAndNotes();
    void aKilledProgramLeavesAFileWithAllButItsLastMoments();
    void aFailingDiskStopsTheCaptureOnceAndThePortsGoOn();

private:
    void start(const QStringList& simulatorOptions, int lines, bool captureAtStart);
    QByteArray log(int channel) const { return m_window->log(channel)->bytes(); }
    void click(const char* name) { m_window->find<QAbstractButton>(QLatin1String(name))->click(); }
    QLabel* indicator() const { return m_window->find<QLabel>("captureIndicator"); }

    QTemporaryDir m_state;
    std::unique_ptr<ModemSimulator> m_simulator;
    std::unique_ptr<LiveWindow> m_window;
};

void LiveCaptureTest::init() {
    if (!qgetenv("LD_PRELOAD").contains("ptymodemlines"))
        QSKIP("needs the pty modem-line library preloaded (ctest does it)");
    qputenv(PtyModemLines::kStateFileVariable, QFile::encodeName(m_state.filePath("lines")));
}

void LiveCaptureTest::cleanup() {
    m_window.reset();
    m_simulator.reset();
}

void LiveCaptureTest::start(const QStringList& simulatorOptions, int lines, bool captureAtStart) {
    m_simulator = std::make_unique<ModemSimulator>(simulatorOptions, lines);
    QVERIFY(m_simulator->isRunning());
    qputenv("DUPLINK_COM1", QFile::encodeName(m_simulator->link(1)));
    qputenv("DUPLINK_COM2", QFile::encodeName(m_simulator->link(2)));
    m_window = std::make_unique<LiveWindow>(QString(), captureAtStart);
    m_window->start();
    QTRY_COMPARE(m_window->caption(0), ModemSimulator::identifiedCaption(1));
    QTRY_COMPARE(m_window->caption(1), ModemSimulator::identifiedCaption(2));
}

void LiveCaptureTest::aSessionIsRecordedByteForByteWithItsLinesAndNotes() {
    // Ports 1 and 2 on lines 1 and 2; the test is the far end of lines 3 and 4.
    start({"--lines", "4", "--ring-interval", "1000"}, 4, true);
    QVERIFY(!indicator()->isHidden());
    const QString fileName = indicator()->toolTip();
    QVERIFY2(QFileInfo(fileName).path().startsWith(m_window->ownDataRoot.path()),
             qPrintable(fileName));
    FarEnd a(m_simulator->device(3));
    FarEnd b(m_simulator->device(4));

    m_window->run(0, QStringLiteral("AT"));
    QTRY_VERIFY(log(0).endsWith("AT\r\r\nOK\r\n"));
    // Port 1 calls the far end A; the far end B calls port 2, which rings until it answers.
    m_window->run(0, QStringLiteral("ATD3"));
    QVERIFY(a.waitFor("RING"));
    a.write("ATA\r");
    QTRY_VERIFY(log(0).endsWith("ATD3\r\r\nCONNECT 9600\r\n"));
    QTRY_COMPARE(m_window->lamp("Shape2_4"), kGreen);
    b.write("ATD2\r");
    QTRY_VERIFY(log(1).startsWith("\r\nRING\r\n"));
    // The RI lamp lights once three rings have come.
    QTRY_COMPARE_WITH_TIMEOUT(m_window->lamp("Shape4_5"), kGreen, 10000);
    m_window->run(1, QStringLiteral("ATA"));
    QTRY_VERIFY(log(1).endsWith("ATA\r\r\nCONNECT 9600\r\n"));
    QTRY_COMPARE(m_window->lamp("Shape4_4"), kGreen);
    QVERIFY(b.waitFor("CONNECT 9600\r\n"));

    const QByteArray fromA[] = {"from A, first\r\n", "from A, second\r\n"};
    const QByteArray fromB[] = {"from B, first\r\n", "from B, second\r\n"};
    click("Command5");
    for (int round : {0, 1}) {
        a.write(fromA[round]);
        b.write(fromB[round]);
        QVERIFY(b.waitFor(fromA[round]) && a.waitFor(fromB[round]));
    }
    click("Command2");
    auto* captureItem = m_window->find<QAction>("captureItem");
    QVERIFY(captureItem->isChecked());
    captureItem->trigger();
    QVERIFY(!captureItem->isChecked());
    QVERIFY(indicator()->isHidden());

    // What each port sent and received before, during and after the relay; the notes; and
    // the lines each port's data fell between.
    QByteArray sent[3][2], received[3][2];
    QStringList notes, story, data, remarks;
    bool dcd[2] = {};
    for (const Packet& p : packetsOf(fileName)) {
        QVERIFY(p.port == 0 || p.port == 1);
        const int phase = int(notes.size());
        (p.event == 1 ? sent : received)[phase][p.port] += p.bytes;
        if (p.event == 1 || p.event == 2)
            data << QStringLiteral("COM%1 %2 %3")
                        .arg(p.port + 1)
                        .arg(p.event == 1 ? '>' : '<')
                        .arg(CapturePrinter::escaped(ansi::decode(p.bytes)));
        if (p.comment.startsWith("transmit"))
            notes << p.comment;
        if (p.comment.contains(" -> "))
            remarks << QStringLiteral("COM%1 * %2").arg(p.port + 1).arg(p.comment);
        // The lines of bytes sent are read once they have gone: the modem may have answered.
        const QString port = QString::number(p.port + 1);
        if (p.event == 1 && phase == 0)
            story << port + " > " + QString::fromLatin1(p.bytes);
        if (p.ring)
            story << port + " RI";
        if (std::exchange(dcd[p.port], p.dcd) != p.dcd)
            story << port + (p.dcd ? " DCD on" : " DCD off");
    }
    QCOMPARE(notes, (QStringList{"transmit on", "transmit off"}));
    // Each command with its result, on its own port; the two ports' first ones in either order.
    QStringList results = remarks;
    results.replaceInStrings(QRegularExpression(" after \\d+\\.\\d{3} s$"), QString());
    QCOMPARE(results.filter("COM1"),
             (QStringList{"COM1 * ATI3 -> OK", "COM1 * AT -> OK", "COM1 * ATD3 -> CONNECT 9600"}));
    QCOMPARE(results.filter("COM2"),
             (QStringList{"COM2 * ATI3 -> OK", "COM2 * ATA -> CONNECT 9600"}));
    QCOMPARE(sent[0][0], "ATI3\rAT\rATD3\r");
    QCOMPARE(received[0][0], identification + "AT\r\r\nOK\r\nATD3\r\r\nCONNECT 9600\r\n");
    QCOMPARE(sent[0][1], "ATI3\rATA\r");
    const int rings = int(received[0][1].count("\r\nRING\r\n"));
    QVERIFY2(rings >= 3, qPrintable(QString::number(rings)));
    QCOMPARE(received[0][1], identification + QByteArray("\r\nRING\r\n").repeated(rings) +
                                 "ATA\r\r\nCONNECT 9600\r\n");
    QCOMPARE(sent[1][0], fromB[0] + fromB[1]);
    QCOMPARE(received[1][0], fromA[0] + fromA[1]);
    QCOMPARE(sent[1][1], fromA[0] + fromA[1]);
    QCOMPARE(received[1][1], fromB[0] + fromB[1]);
    for (int port : {0, 1})
        QVERIFY(sent[2][port].isEmpty() && received[2][port].isEmpty());
    // Port 1's carrier comes with its call, port 2's after the rings and its answer.
    const auto at = [&story](const char* moment) {
        return story.indexOf(moment);
    };
    QVERIFY2(at("1 > ATD3\r") < at("1 DCD on") && at("1 DCD on") < at("2 RI") &&
                 story.mid(0, at("2 > ATA\r")).count("2 RI") >= 3 &&
                 at("2 > ATA\r") < at("2 DCD on") && !story.join('|').contains("DCD off"),
             qPrintable(story.join('|')));

    // duplink --print shows the same data, line for line.
    QProcess print;
    print.start(QStringLiteral(DUPLINK_PATH), {"--print", fileName});
    QVERIFY(print.waitForFinished(30000));
    QCOMPARE(print.exitCode(), 0);
    QStringList printed, printedRemarks;
    // After the date and time: "2026-12-07 15:21:25.123 COM1 > AT\r"
    for (const QString& line : QString::fromUtf8(print.readAllStandardOutput()).split('\n')) {
        if (line.mid(24).contains(QRegularExpression("^COM\\d [<>] ")))
            printed << line.mid(24);
        else if (line.contains(" -> "))
            printedRemarks << line.mid(24);
    }
    QCOMPARE(printed, data);
    QCOMPARE(printedRemarks, remarks);
}

void LiveCaptureTest::aKilledProgramLeavesAFileWithAllButItsLastMoments() {
    // Raw lines 1-2 and 3-4 are cables: what goes into 2 and 4 comes to ports 1 and 2.
    DuplinkProcess duplink({"--lines", "4", "--raw", "1", "--raw", "2", "--raw", "3", "--raw", "4"},
                           4);
    QVERIFY(duplink.start({"--capture"}));
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(3)));
    // Start-up lets the ports go and takes them again when it applies the fields.
    QTest::qWait(500);
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(1)));
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(3)));
    QByteArray streams[2];
    for (int n = 0; n < 20000; ++n)
        streams[n % 2] += QByteArray::number(n).rightJustified(7, '0') + "\n";
    FarEnd ends[2] = {FarEnd(duplink.simulator().device(2)), FarEnd(duplink.simulator().device(4))};
    // What had gone in 300 ms before the kill is due in the file.
    qsizetype written[2] = {}, due[2] = {};
    QElapsedTimer pouring;
    pouring.start();
    for (qint64 now = 0; now < 2000; now = pouring.elapsed()) {
        for (int i : {0, 1}) {
            due[i] = now < 1700 ? written[i] : due[i];
            written[i] += ends[i].write(streams[i].mid(written[i], 200));
        }
        QThread::msleep(10);
    }
    QCOMPARE(duplink.terminate(5000, SIGKILL), -1);

    QDirIterator files(duplink.dataFolder(), {"*.pcapng"}, QDir::Files,
                       QDirIterator::Subdirectories);
    const QString fileName = files.hasNext() ? files.next() : QString();
    QVERIFY(!fileName.isEmpty() && !files.hasNext());
    QString failure;
    QByteArray received[2];
    for (const Packet& p : packetsOf(fileName, &failure)) {
        if (p.event == 2)
            received[p.port] += p.bytes;
    }
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    for (int i : {0, 1}) {
        QVERIFY(due[i] > 0);
        QVERIFY2(received[i].size() >= due[i], qPrintable(QStringLiteral("port %1: %2 of %3 bytes")
                                                              .arg(i + 1)
                                                              .arg(received[i].size())
                                                              .arg(due[i])));
        QCOMPARE(received[i], streams[i].left(received[i].size()));
    }
    // Its lock files are left behind; the next start finds them stale and takes the same ports.
    QVERIFY(duplink.start());
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(1)));
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(3)));
    SettingsRecord settings;
    QVERIFY(!LoadSettings(settings, duplink.settingsFile(), duplink.dataFolder(), {}).recovered);
    QCOMPARE(QFileInfo(duplink.settingsFile()).size(), 11500);
    QCOMPARE(duplink.terminate(), 0);
}

void LiveCaptureTest::aFailingDiskStopsTheCaptureOnceAndThePortsGoOn() {
    start({}, 2, false);
    auto* captureItem = m_window->find<QAction>("captureItem");
    captureItem->trigger();
    QVERIFY(captureItem->isChecked());
    QVERIFY(!indicator()->isHidden());
    const QString fileName = indicator()->toolTip();
    // The ports' first entries on disk, to be read back after the failure.
    QTRY_VERIFY_WITH_TIMEOUT(!packetsOf(fileName).isEmpty(), 20000);

    // The file may grow by a few bytes more: the next block goes in only in part.
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {rlim_t(QFileInfo(fileName).size() + 10), before.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    m_window->run(0, QStringLiteral("ATI3"));
    QTRY_COMPARE(m_window->messages.size(), 1);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY2(m_window->messages[0].contains(fileName) &&
                 m_window->messages[0].contains(qt_error_string(EFBIG)),
             qPrintable(m_window->messages[0]));
    QVERIFY(!captureItem->isChecked());
    QVERIFY(indicator()->isHidden());

    m_window->run(0, QStringLiteral("AT"));
    QTRY_VERIFY(log(0).endsWith("AT\r\r\nOK\r\n"));
    QCOMPARE(m_window->messages.size(), 1);
    // What was written whole before the failure still reads.
    QString failure;
    QVERIFY(!packetsOf(fileName, &failure).isEmpty());
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

QTEST_MAIN(LiveCaptureTest)
#include "test_live_capture.moc"
