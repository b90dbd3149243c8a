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
    return comNone;
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

bool LineCodes::possible(Field field, unsigned value) {
    // From the slowest speed a serial line is given to the fastest termios names.
    constexpr unsigned kSlowest = 50, kFastest = 4000000;
    constexpr struct {
        unsigned least, most;
    } kRanges[kFields] = {
        {kSlowest, kFastest},
        {5, 8},
        {SERGENSIO_PARITY_NONE, SERGENSIO_PARITY_SPACE},
        {1, 2}, // 1.5 is not a setting here
        {SERGENSIO_FLOWCONTROL_NONE, SERGENSIO_FLOWCONTROL_RTS_CTS},
        {SERGENSIO_FLOWCONTROL_NONE, SERGENSIO_FLOWCONTROL_DSR},
    };
    return value >= kRanges[field].least && value <= kRanges[field].most;
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

void RemoteAnswers::begin(quint64 request, const LineCodes& codes, const QString& failure) {
    Pending pending;
    pending.request = request;
    pending.answered = codes;
    pending.failure = failure;
    m_pending.push_back(pending);
}

RemoteAnswers::Pending* RemoteAnswers::asking() {
    const auto first = std::find_if(m_pending.begin(), m_pending.end(),
                                    [](const Pending& p) { return !p.done(); });
    return first == m_pending.end() ? nullptr : &*first;
}

std::optional<RemoteAnswers::Question> RemoteAnswers::next() {
    Pending* const pending = m_waiting ? nullptr : asking();
    if (!pending)
        return std::nullopt;
    m_waiting = true;
    const auto field = LineCodes::Field(pending->nextField);
    return Question{field, pending->answered.values[field]};
}

void RemoteAnswers::fail(const QString& why) {
    Pending* const pending = m_waiting ? asking() : nullptr;
    if (!pending)
        return;
    m_waiting = false;
    pending->failure = why;
}

void RemoteAnswers::answer(LineCodes::Field field, unsigned value, const QString& error) {
    Pending* const pending = m_waiting ? asking() : nullptr;
    if (!pending || pending->nextField != field)
        return;
    m_waiting = false;
    ++pending->nextField;
    if (!error.isEmpty())
        pending->failure = error;
    else if (LineCodes::possible(field, value))
        pending->answered.values[field] = value;
}

std::vector<RemoteAnswers::Done> RemoteAnswers::takeDone() {
    std::vector<Done> done;
    while (!m_pending.empty() && m_pending.front().done()) {
        const Pending& first = m_pending.front();
        Done d;
        d.request = first.request;
        d.failure = first.failure;
        if (first.failure.isEmpty())
            d.answer = first.answered.request();
        done.push_back(d);
        m_pending.pop_front();
    }
    return done;
}

void RemoteAnswers::clear() {
    m_pending.clear();
    m_waiting = false;
}
