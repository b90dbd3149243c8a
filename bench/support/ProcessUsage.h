#pragma once

#include <QtGlobal>

// What a process costs the machine, as the kernel counts it.
namespace usage {

// This process's resident memory now, and the most it has held (VmRSS and VmHWM).
qint64 residentBytes();
qint64 peakResidentBytes();
// The same of another process; negative once it has gone.
qint64 residentBytesOf(qint64 pid);
qint64 peakResidentBytesOf(qint64 pid);

// CPU time, user and system together, in seconds.
double processCpuSeconds();
double threadCpuSeconds(); // the calling thread only
double cpuSecondsOf(qint64 pid);

// How often the process's threads, all of them, have gone to sleep and been woken since it
// started (voluntary context switches): its wake-ups.
qint64 voluntarySwitches();

// CPU time all processes used, all cores together (/proc/stat).
double machineCpuSeconds();

// How many cores other processes kept busy, on average, from start() until now: on a machine
// shared with builds or tests, what this benchmark's figures competed with.
class OthersLoad {
public:
    void start();
    double coresBusy() const;

private:
    double m_machine = 0;
    double m_own = 0;
    qint64 m_startNs = 0;
};

} // namespace usage
