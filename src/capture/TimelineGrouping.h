#pragma once

#include "CaptureEntry.h"
#include "TimelineRow.h"

#include <array>
#include <vector>

// Which entries of a capture start rows of the timeline and which add to one: bytes one way on
// one port make one row with the pieces that follow within the gap, until the row is
// `longestRow` long; the other way on the same port, a line change, an event or a remark on the
// port ends it. Its state is small, so a reader can start anywhere the index kept one.
class TimelineGrouping {
public:
    static constexpr int longestRow = 4096;
    static constexpr int chainCount =
        Timeline::maxPorts * 2; // a row of bytes each way on each port

    struct Chain {
        qint64 last = 0; // the time of its last piece
        int size = 0;
        bool open = false;
    };
    struct State {
        std::array<quint8, Timeline::maxPorts> lines{}; // each port's, as of its previous entry
        std::array<Chain, chainCount> chains{};
    };

    explicit TimelineGrouping(qint64 gapMicroseconds) : m_gap(gapMicroseconds) {}

    qint64 gap() const { return m_gap; }
    const State& state() const { return m_state; }
    void setState(const State& state) { m_state = state; }

    // Appends the rows the entry starts to `rows`, in order: its remark, the lines that changed,
    // its bytes or event. Returns the chain its bytes went on with, or -1 when they started a row
    // (or it has none).
    int take(const CaptureEntry& entry, std::vector<TimelineRow>& rows);
    // Whether the chain's row may still grow by an entry at `now`.
    bool growing(int chain, qint64 now) const;
    // The chain of a row of bytes, -1 for any other row.
    static int chainOf(const TimelineRow& row);

private:
    qint64 m_gap;
    State m_state;
};
