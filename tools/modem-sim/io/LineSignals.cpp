#include "LineSignals.h"

#ifdef __linux__

#include "Exchange.h"
#include "PtyLine.h"
#include "PtyModemLines.h"

#include <cstdlib>

LineSignals::LineSignals(const std::vector<std::unique_ptr<PtyLine>>& ptys) {
    const char* stateFile = std::getenv(PtyModemLines::kStateFileVariable);
    if (!stateFile || !*stateFile)
        return;
    m_lines = std::make_unique<PtyModemLines>(stateFile);
    for (const auto& pty : ptys) {
        const int index = PtyModemLines::indexOfMaster(pty->masterFd());
        m_lines->reset(index);
        m_ptyIndex.push_back(index);
    }
    m_ringsShown.assign(ptys.size(), 0);
}

LineSignals::~LineSignals() = default;

void LineSignals::update(const Exchange& exchange) {
    if (!m_lines)
        return;
    for (std::size_t i = 0; i < m_ptyIndex.size(); ++i) {
        const Modem& modem = exchange.line(i);
        m_lines->setInputs(m_ptyIndex[i], true, true, modem.carrier());
        for (; m_ringsShown[i] < modem.ringsSounded(); ++m_ringsShown[i])
            m_lines->ring(m_ptyIndex[i]);
    }
}

#else

// Pty modem lines exist only on Linux.
class PtyModemLines {};
LineSignals::LineSignals(const std::vector<std::unique_ptr<PtyLine>>&) {}
LineSignals::~LineSignals() = default;
void LineSignals::update(const Exchange&) {}

#endif
