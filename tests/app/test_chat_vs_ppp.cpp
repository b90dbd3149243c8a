#include "DuplinkProcess.h"
#include "capture/CaptureReader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString kPppChat = QStringLiteral("/usr/sbin/chat");

// How a script ran: its exit code, what the modem on line 1 received, what went to the
// standard error (report times left out) and how long it took.
struct Outcome {
    int code = -1;
    QByteArray received;
    QByteArray errors;
    qint64 ms = 0;
};

// Line 2 of the simulator set up before the script runs, through a device held open meanwhile.
class OtherLine {
public:
    OtherLine(const ModemSimulator& simulator, const QByteArray& command) {
        if (command.isEmpty())
            return;
        m_fd = ::open(qPrintable(simulator.device(2)), O_RDWR | O_NOCTTY);
        if (m_fd >= 0 && ::write(m_fd, command.constData(), size_t(command.size())) > 0)
            QThread::msleep(150);
    }
    ~OtherLine() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OtherLine(const OtherLine&) = delete;
    OtherLine& operator=(const OtherLine&) = delete;

private:
    int m_fd = -1;
};

// What the simulator recorded, once it has stopped growing; the record starts afresh.
QByteArray takeRecord(const QString& path) {
    QByteArray taken;
    for (int quiet = 0; quiet < 3;) {
        QThread::msleep(60);
        QFile file(path);
        const QByteArray now = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        quiet = now == taken ? quiet + 1 : 0;
        taken = now;
    }
    QFile::remove(path);
    return taken;
}

// The bytes the capture holds as sent on its one port.
QByteArray capturedSent(const QString& path) {
    CaptureReader reader(path);
    CaptureRecord record;
    QByteArray sent;
    while (reader.next(record)) {
        if (record.entry.event == RtacSerial::Event::DataTransmitted)
            sent += record.entry.bytes;
    }
    return reader.problem().isEmpty() ? sent
                                      : QByteArray("unreadable: ") + reader.problem().toUtf8();
}

QByteArray withoutTimes(QByteArray errors) {
    static const QRegularExpression time(
        QStringLiteral("chat:  \\w{3} \\d\\d \\d\\d:\\d\\d:\\d\\d "));
    return QString::fromLatin1(errors).replace(time, QStringLiteral("chat:  TIME ")).toLatin1();
}

} // namespace

class ChatVsPppTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sameBytesAndCodesAsChat_data();
    void sameBytesAndCodesAsChat();
    void aPortThatDoesNotOpenIsTold();

private:
    QTemporaryDir m_folder;
};

void ChatVsPppTest::initTestCase() {
    if (!QFile::exists(kPppChat))
        QSKIP("ppp's chat is not installed");
}

void ChatVsPppTest::sameBytesAndCodesAsChat_data() {
    QTest::addColumn<QByteArray>("lineTwo"); // what line 2 is told first
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("file"); // a script file for -f, when not empty
    QTest::addColumn<int>("code");
    const QStringList dial{"''", "ATZ", "OK", "ATD2", "CONNECT"};
    const QByteArray busy = "ATD3\r"; // line 2 dialling
    QTest::newRow("answered") << QByteArray("ATS0=1\r") << (QStringList{"-t", "5"} + dial)
                              << QByteArray() << 0;
    QTest::newRow("not answered") << QByteArray() << (QStringList{"-t", "1"} + dial) << QByteArray()
                                  << 3;
    const QStringList aborts{"ABORT", "BUSY", "ABORT", "NO CARRIER", "''", "ATZ", "OK"};
    QTest::newRow("busy") << busy << (aborts + QStringList{"ATD2", "CONNECT"}) << QByteArray() << 4;
    QTest::newRow("no carrier") << QByteArray() << (aborts + QStringList{"ATD9", "CONNECT"})
                                << QByteArray() << 5;
    QTest::newRow("sub-expects") << QByteArray()
                                 << QStringList{"-t", "1", "NOPE-ATE0-OK", "ATI3", "X-ATI3-OK", ""}
                                 << QByteArray() << 0;
    QTest::newRow("escapes")
        << QByteArray() << QStringList{"-T", "555",
                                       "''", "\\r\\n\\t\\s\\b\\\\\\101\\1234\\0\\N^A^@^\\qq\\zX\\c",
                                       "''", "a\\cb\\T\\U",
                                       "''", "\\d\\pEND\\K\\c",
                                       "''", "EOT",
                                       "''", "BREAK",
                                       "''", "x\\"}
        << QByteArray() << 0;
    QTest::newRow("report, say and echo")
        << QByteArray("ATS0=1\r")
        << QStringList{"-t",   "3",   "REPORT", "CONNECT",  "SAY",     "dialling\\n",
                       "ECHO", "ON",  "''",     "ATD2",     "CONNECT", "\\c",
                       "ECHO", "OFF", "SAY",    "\\\\up\\c"}
        << QByteArray() << 0;
    QTest::newRow("file") << QByteArray() << QStringList{"-t", "1"}
                          << QByteArray("# dial\nABORT 'NO CARRIER' '' \"AT\\sZ\"\n"
                                        "OK\tATD7\n'# ' x\n")
                          << 4;
}

void ChatVsPppTest::sameBytesAndCodesAsChat() {
    QFETCH(QByteArray, lineTwo);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, file);
    QFETCH(int, code);
    const QString record = m_folder.filePath(QStringLiteral("received"));
    const QString capture = m_folder.filePath(QStringLiteral("run.pcapng"));
    QFile::remove(capture);
    if (!file.isEmpty()) {
        const QString script = m_folder.filePath(QStringLiteral("script"));
        QFile out(script);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(file);
        arguments << QStringLiteral("-f") << script;
    }
    // The words as a shell would give them: '' is an empty word.
    for (QString& word : arguments) {
        if (word == QLatin1String("''"))
            word.clear();
    }
    DuplinkProcess duplink({"--ring-interval", "100", "--record", "1:" + record}, 4);
    QVERIFY(duplink.simulator().isRunning());

    Outcome chat;
    {
        const OtherLine setUp(duplink.simulator(), lineTwo);
        QProcess process;
        const QString device = duplink.simulator().device(1);
        process.setStandardInputFile(device);
        process.setStandardOutputFile(device);
        QElapsedTimer took;
        took.start();
        process.start(kPppChat, arguments);
        QVERIFY(process.waitForFinished(20000));
        chat.ms = took.elapsed();
        chat.code = process.exitCode();
        chat.errors = withoutTimes(process.readAllStandardError());
        chat.received = takeRecord(record);
    }

    duplink.stopSimulator();
    duplink.startSimulator();
    Outcome ours;
    {
        const OtherLine setUp(duplink.simulator(), lineTwo);
        QElapsedTimer took;
        took.start();
        QVERIFY(duplink.start(QStringList{"--chat", "1", "--capture", capture} + arguments));
        ours.code = duplink.waitForExit(20000);
        ours.ms = took.elapsed();
        ours.errors = withoutTimes(duplink.errorOutput());
        ours.received = takeRecord(record);
    }
    QCOMPARE(chat.code, code);
    QCOMPARE(ours.received, chat.received);
    QCOMPARE(ours.code, chat.code);
    QCOMPARE(capturedSent(capture), ours.received);
    QCOMPARE(ours.errors, chat.errors);
    // Delays and timeouts take as long (our start-up aside).
    QVERIFY2(qAbs(ours.ms - chat.ms) < 600,
             qPrintable(QStringLiteral("%1 ms against chat's %2 ms").arg(ours.ms).arg(chat.ms)));
}

// A network port whose server refuses: the port layer's message, not a silent exit 2.
void ChatVsPppTest::aPortThatDoesNotOpenIsTold() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    QVERIFY(::bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0);
    QVERIFY(::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0);
    ::close(probe); // nothing listens there now
    const QString server = QStringLiteral("tcp://127.0.0.1:%1").arg(ntohs(address.sin_port));

    DuplinkProcess duplink;
    QVERIFY(duplink.start({"--chat", server, "-t", "2", "", "AT", "OK"}));
    QCOMPARE(duplink.waitForExit(20000), 2);
    const QByteArray errors = duplink.errorOutput();
    QVERIFY2(errors.contains(server.toUtf8()) && errors.contains("refused"), errors.constData());
}

QTEST_GUILESS_MAIN(ChatVsPppTest)
#include "test_chat_vs_ppp.moc"
