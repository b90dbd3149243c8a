// The poll loop: every 100 ms the character-information lines, the modem identification, then
// either the transmit relay or, for each open port, what it received and its pending send.

#include "ChannelView.h"
#include "Terminal.h"
#include "TransmitView.h"
#include "serial/SerialControl.h"
#include "text/AnsiCodePage.h"
#include "text/TextConversions.h"

#include <algorithm>

namespace {

const QByteArray kCrLf = "\r\n";
// The most of a modem's answer a frame caption shows; a device that streams at once gets the rest
// into its log, so nothing is lost and no caption holds megabytes.
constexpr qsizetype kAnswerShownAtMost = 256;
// What a port may still have to send when the relay hands it more: always the first, and up
// to the second while it sends fast enough.
constexpr qint64 kRelayBacklog = 256 * 1024;
constexpr qint64 kFastRelayBacklog = 2 * 1024 * 1024;

// The modem's answer to "ATI3" as the frame shows it: control characters and spaces become
// spaces, the ends are trimmed and the modem's echo of the command is dropped.
QByteArray cleanedAnswer(QByteArray answer) {
    for (char& c : answer) {
        if (static_cast<unsigned char>(c) <= 32)
            c = ' ';
    }
    qsizetype first = 0;
    qsizetype last = answer.size();
    while (first < last && answer[first] == ' ')
        ++first;
    while (last > first && answer[last - 1] == ' ')
        --last;
    answer = answer.mid(first, last - first);
    if (answer.startsWith("ATI3"))
        answer.remove(0, 4);
    return answer;
}

// Whether the relay hands a port more bytes to send: while what it still has would go within
// two ticks at the rate it sent at since the last, within both bounds. A fast port gets each
// tick's megabytes though the last tick's are not quite gone (else the relay passes over every
// other tick and halves its rate); a slow one never holds minutes of data.
bool mayRelayTo(const TerminalChannel& ch) {
    const qint64 pending = ch.MSComm.bytesToSend();
    const qint64 sentSinceLastTick = std::max<qint64>(0, ch.relayPending - pending);
    return pending < std::clamp(2 * sentSinceLastTick, kRelayBacklog, kFastRelayBacklog);
}

QString channelPrefix(int number) {
    return QStringLiteral("Terminal %1: ").arg(number);
}

// What the frame says with no modem to show: set every tick a port stays closed, so made once.
const QString& noModemCaption(const TerminalChannel& ch) {
    static const QString captions[] = {channelPrefix(1) + QStringLiteral("No Modem"),
                                       channelPrefix(2) + QStringLiteral("No Modem")};
    return captions[ch.number - 1];
}

// What received data looks like in a log: the bytes, or their hex form and a line end.
QByteArray asLogged(const QByteArray& data, bool hex) {
    if (!hex)
        return data;
    QByteArray line;
    appendHex(line, data);
    return line + kCrLf;
}

// What asLogged shows, after a header, written straight into the log: the relay logs tens of
// megabytes a second this way.
void logAfter(ChannelView& log, const QByteArray& header, const QByteArray& data, bool hex,
              bool lineEnd) {
    const bool ended = hex || lineEnd;
    const qint64 size = header.size() + data.size() * (hex ? 3 : 1) + (ended ? kCrLf.size() : 0);
    log.writeToLog(size, [&](char* out) {
        out = std::copy(header.cbegin(), header.cend(), out);
        if (hex)
            out = writeHex(out, data.constData(), data.size());
        else
            out = std::copy(data.cbegin(), data.cend(), out);
        if (ended)
            std::copy(kCrLf.cbegin(), kCrLf.cend(), out);
    });
}

} // namespace

void Terminal::Timer1_Timer() {
    // The line follows from the box's text alone, so it is made again only when that changed:
    // an idle program would otherwise spend a good part of its tick on it.
    for (auto& ch : m_channels) {
        const QString code = ch->view.insertCodeText();
        if (ch->infoLineMadeFrom != code) {
            ch->view.setInfoLine(CharacterInfoLine(code));
            ch->infoLineMadeFrom = code;
        }
    }
    for (auto& ch : m_channels) {
        if (identify(*ch))
            return;
    }
    // Each frame says so of its own closed port.
    for (auto& ch : m_channels) {
        if (!ch->MSComm.PortOpen())
            ch->view.setFrameCaption(noModemCaption(*ch));
    }
    if (TransmitMode == TransmitModes::On) {
        transmit();
        return;
    }
    for (auto& ch : m_channels) {
        if (ch->MSComm.PortOpen())
            receiveAndSend(*ch);
    }
}

bool Terminal::identify(TerminalChannel& ch) {
    if (!ch.MSComm.PortOpen() || ch.ModemState >= ModemStates::Answered)
        return false;
    if (ch.ModemState == ModemStates::Asked) {
        const QByteArray received = ch.MSComm.readBytes();
        const QByteArray answer = received.left(kAnswerShownAtMost);
        ch.ModemState = ModemStates::Answered;
        if (received.size() > answer.size())
            ch.view.appendToLog(asLogged(received.mid(answer.size()), ch.view.hexFormatChecked()));
        ch.view.setFrameCaption(answer.isEmpty() ? noModemCaption(ch)
                                                 : channelPrefix(ch.number) +
                                                       ansi::decode(cleanedAnswer(answer)));
        return true;
    }
    ch.MSComm.writeBytes("ATI3\r");
    ch.ModemState = ModemStates::Asked;
    return true;
}

void Terminal::transmit() {
    TerminalChannel& one = channel(0);
    TerminalChannel& two = channel(1);
    SerialControl& port1 = one.MSComm;
    SerialControl& port2 = two.MSComm;
    if (m_transmit.option4Selected()) {
        // Both ports' output lines follow port 2's input lines.
        for (ChannelView* v : {&two.view, &one.view}) {
            v->setRtsBoxVisible(false);
            v->setDtrBoxVisible(false);
        }
        port2.setRTSEnable(port2.CTSHolding());
        port2.setDTREnable(port2.DSRHolding());
        port1.setRTSEnable(port2.CTSHolding());
        port1.setDTREnable(port2.DSRHolding());
    }
    if (m_transmit.option3Selected()) {
        for (ChannelView* v : {&two.view, &one.view}) {
            v->setRtsBoxVisible(true);
            v->setDtrBoxVisible(true);
        }
        port2.setRTSEnable(two.view.rtsBoxValue() != 0);
        port2.setDTREnable(two.view.dtrBoxValue() != 0);
        port1.setRTSEnable(one.view.rtsBoxValue() != 0);
        port1.setDTREnable(one.view.dtrBoxValue() != 0);
    }
    COM_Events(one);
    COM_Events(two);
    if (!port1.PortOpen() || !port2.PortOpen())
        return;

    // A port whose data the other cannot take as fast is read no further until it catches up:
    // the data waits with the device instead of piling up here.
    const QByteArray r2 = mayRelayTo(one) ? port2.readBytes() : QByteArray();
    port1.writeBytes(r2);
    one.relayPending = port1.bytesToSend();
    const QByteArray r1 = mayRelayTo(two) ? port1.readBytes() : QByteArray();
    port2.writeBytes(r1);
    two.relayPending = port2.bytesToSend();
    logRelayed(two, r2);
    logRelayed(one, r1);
}

void Terminal::logRelayed(TerminalChannel& from, const QByteArray& data) {
    if (data.isEmpty())
        return;
    ChannelView& log1 = channel(0).view;
    const bool hex1 = log1.hexFormatChecked();
    const QByteArray header = kCrLf + "COM" + QByteArray::number(from.MSComm.CommPort()) + ": ";
    // Terminal 1's log shows both directions; Terminal 2's what port 2 received.
    if (from.number == 2) {
        logAfter(log1, header, data, hex1, false);
        logAfter(from.view, {}, data, from.view.hexFormatChecked(), false);
    } else {
        logAfter(log1, header, data, hex1, true);
    }
}

void Terminal::portLost(TerminalChannel& ch) {
    showPortOpen(ch);
    showPortDetails();
    // What came before the device went away still goes where it would have gone.
    const QByteArray rest = ch.MSComm.readBytes();
    if (!rest.isEmpty() && TransmitMode == TransmitModes::On) {
        channel(ch.number == 1 ? 1 : 0).MSComm.writeBytes(rest);
        logRelayed(ch, rest);
    } else if (!rest.isEmpty()) {
        received(ch, rest);
    }
    script(ch).portClosed(ch.portProblem);
}

void Terminal::received(TerminalChannel& ch, const QByteArray& bytes) {
    script(ch).received(asLogged(bytes, ch.view.hexFormatChecked()), bytes);
}

void Terminal::receiveAndSend(TerminalChannel& ch) {
    const QByteArray bytes = ch.MSComm.readBytes();
    if (!bytes.isEmpty())
        received(ch, bytes);
    // A script holds "Run" back as the transmit mode does: it goes once the script has ended.
    if (ch.SendPending != SendPendings::Waiting || script(ch).isRunning())
        return;
    // Taken from the boxes as they are now, not as they were when "Run" was pressed.
    QByteArray command = ansi::encode(ch.view.commandText());
    if (ch.view.endCodeChecked())
        command += ansi::encode(CharacterOfCode(CharacterCode(ch.view.endCodeText())));
    ch.MSComm.writeBytes(command);
    ch.SendPending = SendPendings::None;
}
