// The channel's line lamps, RTS box and port summary, and the line events that redraw them.

#include "ChannelView.h"
#include "LampColours.h"
#include "Terminal.h"
#include "TransmitView.h"
#include "serial/SerialControl.h"

namespace {

QString flowName(qint32 handshaking) {
    switch (handshaking) {
    case comNone:
        return QStringLiteral("comNone");
    case comXOnXoff:
        return QStringLiteral("comXOnXOff");
    case comRTS:
        return QStringLiteral("comRTS");
    case comRTSXOnXOff:
        return QStringLiteral("comRTSXOnXOff");
    default:
        return {};
    }
}

enum Line { LineRTS, LineDTR, LineCTS, LineDSR, LineDCD, LineRI };

} // namespace

void Terminal::MSComm1_OnComm(TerminalChannel& ch) {
    const qint16 code = ch.MSComm.CommEvent();
    if (code <= 2 || code >= 7)
        return;
    auto& h = ch.LineEventHistory;
    h[0] = h[1];
    h[1] = h[2];
    h[2] = QString::number(code);
    h[3] = h[0] + h[1] + h[2];
    COM_Events(ch);
}

void Terminal::COM_Events(TerminalChannel& ch) {
    SerialControl& c = ch.MSComm;
    ChannelView& v = ch.view;
    // Each property is read at the step that uses it: nothing is kept between refreshes.
    v.setLineLamp(LineRTS, c.RTSEnable() ? kRed : kOff);
    v.setLineLamp(LineDTR, c.DTREnable() ? kRed : kOff);
    v.setLineLamp(LineCTS, c.CTSHolding() ? kGreen : kOff);
    v.setLineLamp(LineDSR, c.DSRHolding() ? kGreen : kOff);
    v.setLineLamp(LineDCD, c.CDHolding() ? kGreen : kOff);
    const qint32 handshaking = c.Handshaking();
    if (handshaking == comRTSXOnXOff || handshaking == comRTS) {
        // RTS belongs to the flow control.
        v.setLineLamp(LineRTS, kRed);
        v.setRtsBoxVisible(false);
    } else {
        v.setRtsBoxVisible(true);
        if (TransmitMode == TransmitModes::On && m_transmit.option4Selected())
            v.setRtsBoxVisible(false);
    }
    v.setLineLamp(LineRI, ch.LineEventHistory[3] == QLatin1String("666") ? kGreen : kOff);
    v.setPortSummary(QStringLiteral("COM") + QString::number(c.CommPort()) + QLatin1Char(' ') +
                     c.Settings() + QLatin1Char(' ') + flowName(c.Handshaking()));
}
