#include "ModemSimulator.h"

#include <QDeadlineTimer>

ModemSimulator::ModemSimulator(const QStringList& options) {
    const QStringList links = {m_folder.filePath(QStringLiteral("com1")),
                               m_folder.filePath(QStringLiteral("com2"))};
    m_process.start(QStringLiteral(MODEM_SIM_PATH),
                    QStringList{"--link", links[0], "--link", links[1]} + options);
    if (!m_process.waitForStarted(5000))
        return;
    // It prints the two pty devices once the links stand.
    QStringList slaves;
    const QDeadlineTimer deadline(5000);
    while (slaves.size() < 2 && !deadline.hasExpired()) {
        if (!m_process.canReadLine())
            m_process.waitForReadyRead(100);
        while (m_process.canReadLine())
            slaves << QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    if (slaves.size() == 2) {
        m_links = links;
        m_slaves = slaves;
    }
}

ModemSimulator::~ModemSimulator() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}
