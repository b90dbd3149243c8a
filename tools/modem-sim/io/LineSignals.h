#pragma once

#include <memory>
#include <vector>

class Exchange;
class PtyLine;
class PtyModemLines;

// The modem lines of each simulated line, for programs that see pty modem lines through the
// preloaded library (PTY_MODEM_LINES names the shared state): DSR and CTS always on, DCD while
// a call is up, and a pulse on RI for every ring. Does nothing without PTY_MODEM_LINES.
class LineSignals {
public:
    explicit LineSignals(const std::vector<std::unique_ptr<PtyLine>>& ptys);
    ~LineSignals();

    // Brings the lines up to date with the modems.
    void update(const Exchange& exchange);

private:
    std::unique_ptr<PtyModemLines> m_lines;
    std::vector<int> m_ptyIndex;
    std::vector<long> m_ringsShown;
};
