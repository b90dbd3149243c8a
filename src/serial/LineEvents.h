#pragma once

#include <QtGlobal>

#include <vector>

// The input lines of a port at one moment, with the driver's change counters when it keeps
// them (they catch changes shorter than the time between two readings).
struct LineSnapshot {
    bool readable = false; // the device has lines and gave them
    bool cts = false;
    bool dsr = false;
    bool dcd = false;
    bool ri = false;
    bool hasCounters = false;
    quint32 ctsChanges = 0;
    quint32 dsrChanges = 0;
    quint32 dcdChanges = 0;
    quint32 rings = 0;
};

// The line events between two readings, one per change: CTS changes first, then DSR, DCD and
// rings. A line that changed more often than kMaxEventsPerLine times reports that many.
std::vector<qint16> lineEventsBetween(const LineSnapshot& before, const LineSnapshot& after);

constexpr quint32 kMaxEventsPerLine = 64;
