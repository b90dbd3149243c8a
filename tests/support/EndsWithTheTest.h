#pragma once

#include <QProcess>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

// A helper program started by a test ends with the test, even one that crashes: left running
// it would hold the test's output open, and CTest would wait for it until the time limit.
inline void endsWithTheTest(QProcess& process) {
#ifdef Q_OS_LINUX
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#else
    Q_UNUSED(process);
#endif
}
