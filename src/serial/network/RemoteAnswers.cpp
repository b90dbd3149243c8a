#include "RemoteAnswers.h"

#include "serial/SerialControl.h"

#include <gensio/sergensio.h>

#include <algorithm>

namespace {

constexpr struct {
    char letter;
    unsigned code;
} kParities[] = {{'n', SERGENSIO_PARITY_NONE},
                 {'o', SERGENSIO_PARITY_ODD},
                 {'e', SERGENSIO_PARITY_EVEN},
                 {'m', SERGENSIO_PARITY_MARK},
                 {'s', SERGENSIO_PARITY_SPACE}};

// RFC 2217 has one outbound flow control; XON/XOFF alongside RTS/CTS goes in as inbound.
unsigned outboundFlow(qint32 mode) {
    if (mode == comRTS || mode == comRTSXOnXOff)
        return SERGENSIO_FLOWCONTROL_RTS_CTS;
    return mode == comXOnXoff ? SERGENSIO_FLOWCONTROL_XON_XOFF : SERGENSIO_FLOWCONTROL_NONE;
}

unsigned inboundFlow(qint32 mode) {
    return mode == comXOnXoff || mode == comRTSXOnXOff ? SERGENSIO_FLOWCONTROL_XON_XOFF
                                                       : SERGENSIO_FLOWCONTROL_NONE;
}

qint32 modeOf(unsigned outbound, unsigned inbound) {
    const bool xon = inbound == SERGENSIO_FLOWCONTROL_XON_XOFF;
    if (outbound == SERGENSIO_FLOWCONTROL_RTS_CTS)
        return xon ? comRTSXOnXOff : comRTS;
    if (outbound == SERGENSIO_FLOWCONTROL_XON_XOFF)
        return comXOnXoff;
    return outbound == SERGENSIO_FLOWCONTROL_NONE ? comNone : -1;
}

} // namespace

unsigned parityCode(QChar letter) {
    for (const auto& p : kParities) {
        if (letter == QLatin1Char(p.letter))
            return p.code;
    }
    return SERGENSIO_PARITY_NONE;
}

QChar parityLetter(unsigned code) {
    for (const auto& p : kParities) {
        if (code == p.code)
            return QLatin1Char(p.letter);
    }
    return QLatin1Char('?');
}

LineCodes LineCodes::of(const LineRequest& line) {
    const LineSettings& s = line.settings;
    LineCodes codes;
    codes.values[Speed] = unsigned(s.speed);
    codes.values[DataBits] = unsigned(s.dataBits);
    codes.values[Parity] = parityCode(s.parity);
    codes.values[StopBits] = unsigned(s.stopBits);
    codes.values[OutFlow] = outboundFlow(line.handshaking);
    codes.values[InFlow] = inboundFlow(line.handshaking);
    return codes;
}

LineRequest LineCodes::request() const {
    LineRequest line;
    line.settings.speed = qint32(values[Speed]);
    line.settings.dataBits = int(values[DataBits]);
    line.settings.parity = parityLetter(values[Parity]);
    line.settings.stopBits = int(values[StopBits]);
    line.handshaking = modeOf(values[OutFlow], values[InFlow]);
    return line;
}

void RemoteAnswers::begin(quint64 request) {
    Pending pending;
    pending.request = request;
    m_pending.push_back(pending);
}

void RemoteAnswers::asked(LineCodes::Field field) {
    m_pending.back().asked |= 1u << field;
}

void RemoteAnswers::fail(const QString& why) {
    m_pending.back().failure = why;
}

void RemoteAnswers::answer(LineCodes::Field field, unsigned value, const QString& error) {
    const auto awaiting = std::find_if(m_pending.begin(), m_pending.end(), [field](const auto& p) {
        return p.asked & ~p.answered & (1u << field);
    });
    if (awaiting == m_pending.end())
        return;
    awaiting->answered |= 1u << field;
    awaiting->codes.values[field] = value;
    if (!error.isEmpty() && awaiting->failure.isEmpty())
        awaiting->failure = error;
}

std::vector<RemoteAnswers::Done> RemoteAnswers::takeDone() {
    std::vector<Done> done;
    while (!m_pending.empty() && m_pending.front().answered == m_pending.front().asked) {
        const Pending& first = m_pending.front();
        Done d;
        d.request = first.request;
        d.failure = first.failure;
        if (first.failure.isEmpty())
            d.answer = first.codes.request();
        done.push_back(d);
        m_pending.pop_front();
    }
    return done;
}
