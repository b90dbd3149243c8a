#include "TimelineGrouping.h"

#include <algorithm>

using RtacSerial::Event;
using Kind = TimelineRow::Kind;

namespace {

int slot(int port) {
    return std::clamp(port, 0, Timeline::maxPorts - 1);
}

} // namespace

int TimelineGrouping::chainOf(const TimelineRow& row) {
    if (row.kind != Kind::Received && row.kind != Kind::Sent)
        return -1;
    return slot(row.port) * 2 + (row.kind == Kind::Sent ? 1 : 0);
}

bool TimelineGrouping::growing(int chain, qint64 now) const {
    const Chain& c = m_state.chains[size_t(chain)];
    return c.open && now - c.last <= m_gap && c.size < longestRow;
}

int TimelineGrouping::take(const CaptureEntry& entry, std::vector<TimelineRow>& rows) {
    const int port = slot(entry.port);
    quint8& lines = m_state.lines[size_t(port)];
    const quint8 before = lines;
    lines = entry.lines;
    TimelineRow row;
    row.port = entry.port;
    row.microsecondsSinceEpoch = entry.microsecondsSinceEpoch;
    row.lines = entry.lines;
    Chain& received = m_state.chains[size_t(port * 2)];
    Chain& sent = m_state.chains[size_t(port * 2 + 1)];
    const auto ownRow = [&](Kind kind) {
        received.open = sent.open = false;
        row.kind = kind;
        rows.push_back(row);
    };
    if (!entry.comment.isEmpty()) {
        row.remark = entry.comment;
        ownRow(Kind::Remark);
        row.remark.clear();
    }
    if (before != entry.lines) {
        row.linesBefore = before;
        ownRow(Kind::Lines);
    }
    const bool isSent = entry.event == Event::DataTransmitted;
    if (isSent || entry.event == Event::DataReceived) {
        if (entry.bytes.isEmpty())
            return -1;
        const int chain = port * 2 + (isSent ? 1 : 0);
        Chain& own = isSent ? sent : received;
        (isSent ? received : sent).open = false;
        const qint64 size = own.size + entry.bytes.size();
        if (growing(chain, entry.microsecondsSinceEpoch) && size <= longestRow) {
            own.last = entry.microsecondsSinceEpoch;
            own.size = int(size);
            return chain;
        }
        own = {entry.microsecondsSinceEpoch, int(entry.bytes.size()), true};
        row.kind = isSent ? Kind::Sent : Kind::Received;
        row.bytes = entry.bytes;
        rows.push_back(row);
    } else if (entry.event != Event::StatusChange) {
        row.event = entry.event;
        ownRow(Kind::Event);
    }
    return -1;
}
