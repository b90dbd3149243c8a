#include "Ser2NetServer.h"

#include "EndsWithTheTest.h"
#include "PtyModemLines.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString ser2netProgram() {
    return QStandardPaths::findExecutable(
        QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
}

bool listening(quint16 port) {
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), port);
    return probe.waitForConnected(200);
}

} // namespace

bool Ser2NetServer::installed() {
    return !ser2netProgram().isEmpty();
}

quint16 Ser2NetServer::freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

Ser2NetServer::Ser2NetServer(const QString& modemLinesStateFile)
    : m_stateFile(modemLinesStateFile) {}

Ser2NetServer::~Ser2NetServer() {
    stop();
}

quint16 Ser2NetServer::serve(const QString& device, bool rfc2217) {
    const quint16 port = freePort();
    m_config += QStringLiteral("connection: &c%1\n"
                               "  accepter: %2tcp(nodelay),127.0.0.1,%1\n"
                               "  connector: serialdev(nouucplock=true),%3,local\n"
                               "  options:\n"
                               "    kickolduser: true\n")
                    .arg(port)
                    .arg(rfc2217 ? QStringLiteral("telnet(rfc2217),") : QString())
                    .arg(device)
                    .toUtf8();
    m_ports << port;
    return port;
}

bool Ser2NetServer::start() {
    QFile config(m_folder.filePath(QStringLiteral("ser2net.yaml")));
    if (!config.open(QIODevice::WriteOnly) || config.write(m_config) != m_config.size())
        return false;
    config.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!m_stateFile.isEmpty()) {
        environment.insert(QStringLiteral("LD_PRELOAD"),
                           QString::fromUtf8(PtyModemLines::libraryPath()));
        environment.insert(QString::fromUtf8(PtyModemLines::kStateFileVariable), m_stateFile);
    }
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    endsWithTheTest(m_process);
    m_process.start(ser2netProgram(),
                    {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-c"),
                     config.fileName(), QStringLiteral("-P"),
                     m_folder.filePath(QStringLiteral("ser2net.pid"))});
    if (!m_process.waitForStarted(5000))
        return false;
    const QDeadlineTimer deadline(5000);
    for (const quint16 port : m_ports) {
        while (!listening(port)) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(20);
        }
    }
    return true;
}

void Ser2NetServer::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}
