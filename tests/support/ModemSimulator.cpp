#include "ModemSimulator.h"

#include "EndsWithTheTest.h"

#include <QDeadlineTimer>
#include <QDir>

ModemSimulator::ModemSimulator(const QStringList& options, int lines, const QString& linkFolder) {
    QStringList links;
    QStringList arguments = options;
    const QDir folder(linkFolder.isEmpty() ? m_folder.path() : linkFolder);
    for (int n = 1; n <= lines; ++n) {
        links << folder.filePath(QStringLiteral("com%1").arg(n));
        arguments << QStringLiteral("--link") << links.last();
    }
    endsWithTheTest(m_process);
    m_process.start(QStringLiteral(MODEM_SIM_PATH), arguments);
    if (!m_process.waitForStarted(5000))
        return;
    // It prints the pty devices once the links stand.
    QStringList slaves;
    const QDeadlineTimer deadline(5000);
    while (slaves.size() < lines && !deadline.hasExpired()) {
        if (!m_process.canReadLine())
            m_process.waitForReadyRead(100);
        while (m_process.canReadLine())
            slaves << QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    if (slaves.size() == lines) {
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
