#pragma once

#include "Exchange.h"

#include <QByteArray>

// What a modem answers, with its defaults.
inline const QByteArray kOk = "\r\nOK\r\n";
inline const QByteArray kError = "\r\nERROR\r\n";
inline const QByteArray kRing = "\r\nRING\r\n";
inline const QByteArray kConnect = "\r\nCONNECT 9600\r\n";
inline const QByteArray kNoCarrier = "\r\nNO CARRIER\r\n";
inline const QByteArray kBusy = "\r\nBUSY\r\n";
inline const QByteArray kIdentity = "\r\nDuplink Simulated Modem 1.0\r\n";

// An exchange driven by hand: its clock moves only when told to, and lines are named by their
// telephone numbers (1, 2, ...).
class SimulatorRig {
public:
    explicit SimulatorRig(std::vector<LineOptions> lines = {LineOptions(), LineOptions()},
                          Millis ringInterval = 2000)
        : m_exchange(lines, ringInterval) {}

    // Sends text to a line and returns what that line answers straight away.
    QByteArray type(int line, const QByteArray& text) {
        m_exchange.receive(index(line),
                           std::string_view(text.constData(), std::size_t(text.size())), m_now);
        return read(line);
    }
    void wait(Millis ms) {
        m_now += ms;
        m_exchange.advance(m_now);
    }
    QByteArray read(int line) {
        const std::string out = m_exchange.takeOutput(index(line));
        return QByteArray(out.data(), qsizetype(out.size()));
    }
    ModemMode mode(int line) const { return m_exchange.line(index(line)).mode(); }

    // Dials callee from caller, answers it and forgets everything both lines said.
    void connect(int caller, int callee) {
        type(caller, "ATD" + QByteArray::number(callee) + "\r");
        type(callee, "ATA\r");
        read(caller);
        read(callee);
    }

private:
    static std::size_t index(int line) { return std::size_t(line - 1); }

    Exchange m_exchange;
    Millis m_now = 100000;
};
