#include "LineEvents.h"

#include "SerialControl.h"

#include <algorithm>

namespace {

quint32 changesOf(bool counted, quint32 before, quint32 after, bool seenByLevel) {
    const quint32 byCounter = counted ? after - before : 0;
    return std::min(std::max(byCounter, seenByLevel ? 1u : 0u), kMaxEventsPerLine);
}

} // namespace

std::vector<qint16> lineEventsBetween(const LineSnapshot& before, const LineSnapshot& after) {
    const bool counted = before.hasCounters && after.hasCounters;
    std::vector<qint16> events;
    auto add = [&events](quint32 count, qint16 code) {
        events.insert(events.end(), count, code);
    };
    add(changesOf(counted, before.ctsChanges, after.ctsChanges, before.cts != after.cts), comEvCTS);
    add(changesOf(counted, before.dsrChanges, after.dsrChanges, before.dsr != after.dsr), comEvDSR);
    add(changesOf(counted, before.dcdChanges, after.dcdChanges, before.dcd != after.dcd), comEvCD);
    // Without counters a ring is seen as RI coming on.
    add(changesOf(counted, before.rings, after.rings, !before.ri && after.ri), comEvRing);
    return events;
}
