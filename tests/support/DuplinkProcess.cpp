#include "DuplinkProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <csignal>

DuplinkProcess::DuplinkProcess(const QStringList& simulatorOptions) {
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_environment.insert(QStringLiteral("ProgramFiles"), m_root.path());
    const QString link1 = m_root.filePath(QStringLiteral("com1"));
    const QString link2 = m_root.filePath(QStringLiteral("com2"));
    m_simulator.start(QStringLiteral(MODEM_SIM_PATH),
                      QStringList{"--link", link1, "--link", link2} + simulatorOptions);
    if (!m_simulator.waitForStarted(5000))
        return;
    const QDeadlineTimer deadline(5000);
    QStringList slaves;
    while (slaves.size() < 2 && !deadline.hasExpired()) {
        if (!m_simulator.canReadLine())
            m_simulator.waitForReadyRead(100);
        while (m_simulator.canReadLine())
            slaves << QString::fromLocal8Bit(m_simulator.readLine()).trimmed();
    }
    if (slaves.size() == 2) {
        m_simulatorLines = slaves;
        setPortDevice(1, link1);
        setPortDevice(2, link2);
    }
}

DuplinkProcess::~DuplinkProcess() {
    for (QProcess* p : {&m_duplink, &m_simulator}) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
}

void DuplinkProcess::setPortDevice(int port, const QString& device) {
    m_environment.insert(QStringLiteral("DUPLINK_COM%1").arg(port), device);
}

void DuplinkProcess::setEnvironment(const QString& name, const QString& value) {
    m_environment.insert(name, value);
}

bool DuplinkProcess::start() {
    m_duplink.setProcessEnvironment(m_environment);
    m_duplink.start(QStringLiteral(DUPLINK_PATH), {});
    return m_duplink.waitForStarted(5000);
}

bool DuplinkProcess::isHolding(const QString& device) const {
    const QString target = QFileInfo(device).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(m_duplink.processId()));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
        if (fd.symLinkTarget() == target)
            return true;
    }
    return false;
}

bool DuplinkProcess::waitUntilHolding(const QString& device, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    while (!isHolding(device)) {
        if (deadline.hasExpired() || m_duplink.state() != QProcess::Running)
            return false;
        QThread::msleep(20);
    }
    return true;
}

int DuplinkProcess::terminate(int timeoutMs) {
    if (m_duplink.state() != QProcess::Running)
        return m_duplink.exitCode();
    ::kill(pid_t(m_duplink.processId()), SIGTERM);
    if (!m_duplink.waitForFinished(timeoutMs)) {
        m_duplink.kill();
        m_duplink.waitForFinished(5000);
        return -1;
    }
    errorOutput();
    return m_duplink.exitStatus() == QProcess::NormalExit ? m_duplink.exitCode() : -1;
}
