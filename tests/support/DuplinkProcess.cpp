#include "DuplinkProcess.h"

#include "EndsWithTheTest.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <csignal>

DuplinkProcess::DuplinkProcess(const QStringList& simulatorOptions, int lines)
    : m_simulatorOptions(simulatorOptions), m_lines(lines) {
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_environment.insert(QStringLiteral("ProgramFiles"), m_root.path());
    startSimulator();
    setPortDevice(1, m_simulator->link(1));
    setPortDevice(2, m_simulator->link(lines == 4 ? 3 : 2));
}

void DuplinkProcess::startSimulator() {
    m_simulator = std::make_unique<ModemSimulator>(m_simulatorOptions, m_lines, m_root.path());
}

DuplinkProcess::~DuplinkProcess() {
    if (m_duplink.state() != QProcess::NotRunning) {
        m_duplink.kill();
        m_duplink.waitForFinished(5000);
    }
}

void DuplinkProcess::setPortDevice(int port, const QString& device) {
    m_environment.insert(QStringLiteral("DUPLINK_COM%1").arg(port), device);
}

bool DuplinkProcess::start(const QStringList& arguments) {
    m_duplink.setProcessEnvironment(m_environment);
    endsWithTheTest(m_duplink);
    m_duplink.start(QStringLiteral(DUPLINK_PATH), arguments);
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

int DuplinkProcess::terminate(int timeoutMs, int signal) {
    if (m_duplink.state() != QProcess::Running)
        return m_duplink.exitCode();
    ::kill(pid_t(m_duplink.processId()), signal);
    if (!m_duplink.waitForFinished(timeoutMs)) {
        m_duplink.kill();
        m_duplink.waitForFinished(5000);
        return -1;
    }
    errorOutput();
    return m_duplink.exitStatus() == QProcess::NormalExit ? m_duplink.exitCode() : -1;
}

int DuplinkProcess::waitForExit(int timeoutMs) {
    if (!m_duplink.waitForFinished(timeoutMs) && m_duplink.state() != QProcess::NotRunning) {
        m_duplink.kill();
        m_duplink.waitForFinished(5000);
        return -1;
    }
    errorOutput();
    return m_duplink.exitStatus() == QProcess::NormalExit ? m_duplink.exitCode() : -1;
}
