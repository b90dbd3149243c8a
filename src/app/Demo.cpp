#include "Demo.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <cstdio>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>

#include <csignal>
#endif

namespace {

constexpr int kLines = 3;

// Installed, the simulator sits beside the program; in a build tree, in the build's tools.
QString simulatorProgram() {
    const QString folder = QCoreApplication::applicationDirPath();
    const QString installed = folder + QStringLiteral("/duplink-modem-sim");
    if (QFileInfo(installed).isExecutable())
        return installed;
    return QDir::cleanPath(folder + QStringLiteral("/../tools/modem-sim/duplink-modem-sim"));
}

void complain(const QString& message) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(message));
}

} // namespace

bool Demo::start() {
    if (!m_folder.isValid()) {
        complain(QStringLiteral("the demo cannot make its folder: %1").arg(m_folder.errorString()));
        return false;
    }
    QStringList arguments;
    for (int n = 1; n <= kLines; ++n)
        arguments << QStringLiteral("--link") << m_folder.filePath(QStringLiteral("com%1").arg(n));
    arguments << QString::fromLatin1(DUPLINK_DEMO_SIMULATOR_OPTIONS)
                     .split(QLatin1Char(' '), Qt::SkipEmptyParts);
#ifdef Q_OS_LINUX
    // Should the program die without stopping it, the simulator goes too.
    m_simulator.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    m_simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_simulator.start(simulatorProgram(), arguments);
    // The simulator names its lines once all of them, and their links, exist.
    const QDeadlineTimer deadline(5000);
    int announced = 0;
    while (announced < kLines && m_simulator.waitForReadyRead(int(deadline.remainingTime()))) {
        while (m_simulator.canReadLine()) {
            m_simulator.readLine();
            ++announced;
        }
    }
    if (announced < kLines) {
        complain(QStringLiteral("the modem simulator %1 did not start: %2")
                     .arg(m_simulator.program(), m_simulator.errorString()));
        return false;
    }
    qputenv("ProgramFiles", QFile::encodeName(m_folder.path()));
    for (int n = 1; n <= kLines; ++n)
        qputenv(QByteArray("DUPLINK_COM") + QByteArray::number(n),
                QFile::encodeName(m_folder.filePath(QStringLiteral("com%1").arg(n))));
    std::puts("Duplink on simulated lines: ports 1 and 2 are modems at telephone numbers 1 and 2,\n"
              "port 3 is a device that uses a modem. Send \"ATD2\" on Terminal 1 to ring Terminal"
              " 2,\nand \"ATA\" there to answer.");
    std::fflush(stdout);
    return true;
}

Demo::~Demo() {
    if (m_simulator.state() != QProcess::NotRunning) {
        m_simulator.terminate();
        if (!m_simulator.waitForFinished(3000)) {
            m_simulator.kill();
            m_simulator.waitForFinished(3000);
        }
    }
    if (m_folder.isValid())
        keepCaptures();
}

// The demo's folder goes when it ends; the captures in it are moved out first.
void Demo::keepCaptures() const {
    const QString kept = QDir::tempPath() + QStringLiteral("/duplink-demo-captures");
    QDirIterator files(m_folder.path(), {QStringLiteral("*.pcapng")}, QDir::Files,
                       QDirIterator::Subdirectories);
    bool any = false;
    while (files.hasNext()) {
        const QString file = files.next();
        const QString target = kept + QLatin1Char('/') + QFileInfo(file).fileName();
        if (QDir().mkpath(kept) && QFile::rename(file, target))
            any = true;
        else
            complain(QStringLiteral("could not keep the demo's capture %1 in %2").arg(file, kept));
    }
    if (any)
        std::printf("The demo's captures are in %s\n", qPrintable(kept));
}
