#include "ProcessUsage.h"

#include "ResidentMemory.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <algorithm>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace {

double seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

} // namespace

namespace usage {

qint64 residentBytes() {
    return processStatusKilobytes(QStringLiteral("self"), "VmRSS") * 1024;
}

qint64 peakResidentBytes() {
    return processStatusKilobytes(QStringLiteral("self"), "VmHWM") * 1024;
}

qint64 residentBytesOf(qint64 pid) {
    return processStatusKilobytes(QString::number(pid), "VmRSS") * 1024;
}

qint64 peakResidentBytesOf(qint64 pid) {
    return processStatusKilobytes(QString::number(pid), "VmHWM") * 1024;
}

double processCpuSeconds() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    return seconds(r.ru_utime) + seconds(r.ru_stime);
}

qint64 voluntarySwitches() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    return qint64(r.ru_nvcsw);
}

double threadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double cpuSecondsOf(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The command name may hold spaces; the fields are counted from after its ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = double(::sysconf(_SC_CLK_TCK));
    return (fields[11].toDouble() + fields[12].toDouble()) / ticks;
}

double machineCpuSeconds() {
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // cpu user nice system idle iowait irq softirq steal
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    if (fields.size() < 9)
        return 0;
    double busy = 0;
    for (const int i : {1, 2, 3, 6, 7, 8})
        busy += fields[i].toDouble();
    return busy / double(::sysconf(_SC_CLK_TCK));
}

namespace {

qint64 monotonicNs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

} // namespace

void OthersLoad::start() {
    m_machine = machineCpuSeconds();
    m_own = processCpuSeconds();
    m_startNs = monotonicNs();
}

double OthersLoad::coresBusy() const {
    const double seconds = double(monotonicNs() - m_startNs) / 1e9;
    if (seconds <= 0)
        return 0;
    const double others = (machineCpuSeconds() - m_machine) - (processCpuSeconds() - m_own);
    return std::max(0.0, others / seconds);
}

} // namespace usage
