// Opening the stored ports at start (and any port, keeping what went wrong), applying the six
// setting fields after a pick, and the RTS and DTR boxes.

#include "ChannelView.h"
#include "LampColours.h"
#include "PortSettings.h"
#include "Product.h"
#include "Terminal.h"
#include "serial/PortDevice.h"
#include "serial/SerialControl.h"
#include "serial/SerialError.h"

#include <QStringList>

namespace {

const QString kUnacceptable = QStringLiteral("It is unacceptable");

// Runs a step whose failure (an error of the control) is not the caller's concern; returns
// the error's description, or an empty text.
template <class Step> QString attempt(Step&& step) {
    try {
        step();
    } catch (const SerialError& e) {
        return e.description();
    }
    return {};
}

} // namespace

void Terminal::openStoredPort(TerminalChannel& ch) {
    QStringList failures;
    for (const QString& failure :
         {attempt([&] { ch.MSComm.setCommPort(toPortNumber(ch.settings.Port)); }),
          attempt([&] { ch.MSComm.setSettings(ch.settings.SettingsText); }),
          attempt([&] { openPort(ch); })}) {
        if (!failure.isEmpty())
            failures << failure;
    }
    // Port 2's failures show only on its lamp.
    if (ch.number == 1 && !failures.isEmpty())
        m_seams.messageBox(kMessageTitle, failures.join(QLatin1Char('\n')));

    ch.view.setPortLamp(ch.MSComm.PortOpen() ? kGreen : kRed);
    Com_Setting(ch);
    fillSettingFields(ch);
    showPortDetails();
}

void Terminal::openPort(TerminalChannel& ch) {
    try {
        ch.MSComm.setPortOpen(true);
    } catch (const SettingsRefused&) {
        // Open all the same, with the settings it had; the caller tells of the refusal.
        ch.portProblem.clear();
        throw;
    } catch (const SerialError& e) {
        ch.portProblem = e.description();
        throw;
    }
    ch.portProblem.clear();
}

void Terminal::Com_Setting(TerminalChannel& ch) {
    PortSettings& p = ch.settings;
    p.Port = QString::number(ch.MSComm.CommPort());
    // The last six characters are always ",p,d,s": the speed is everything before them.
    const QString s = ch.MSComm.Settings();
    const qsizetype l = s.size();
    if (l >= 7) {
        p.Speed = s.left(l - 6);
        p.Parity = s.mid(l - 5, 1);
        p.DataBits = s.mid(l - 3, 1);
        p.StopBits = s.right(1);
    }
    p.Flow = QString::number(ch.MSComm.Handshaking());
}

void Terminal::fillSettingFields(TerminalChannel& ch) {
    const PortSettings& p = ch.settings;
    const QString values[kSettingFieldCount] = {p.Port,     p.Speed,    p.Parity,
                                                p.DataBits, p.StopBits, p.Flow};
    for (int f = 0; f < kSettingFieldCount; ++f) {
        // A value the list does not offer leaves the field as it was; the others are still set.
        if (ch.view.setSettingFieldText(f, values[f]))
            Combo1_Click(ch, f);
    }
}

void Terminal::Combo1_Click(TerminalChannel& ch, int index) {
    Q_UNUSED(index);
    if (ch.MSComm.PortOpen())
        attempt([&] { ch.MSComm.setPortOpen(false); });
    script(ch).portClosed(QStringLiteral("port closed"));
    ch.ModemState = ModemStates::NotAsked;
    ch.applyTimer.setEnabled(true);
}

void Terminal::Timer2_Timer(TerminalChannel& ch) {
    const QString field[kSettingFieldCount] = {
        ch.view.settingFieldText(FieldPort),     ch.view.settingFieldText(FieldSpeed),
        ch.view.settingFieldText(FieldParity),   ch.view.settingFieldText(FieldDataBits),
        ch.view.settingFieldText(FieldStopBits), ch.view.settingFieldText(FieldFlow)};
    // A port number typed into the port field that the control cannot take is refused like a
    // refused setting; the port stays closed with the settings it had.
    if (!attempt([&] { ch.MSComm.setCommPort(toPortNumber(field[FieldPort])); }).isEmpty()) {
        m_seams.messageBox(kMessageTitle, kUnacceptable);
    } else {
        PortSettings& p = ch.settings;
        p.Port = field[FieldPort];
        p.Speed = field[FieldSpeed];
        p.Parity = field[FieldParity];
        p.DataBits = field[FieldDataBits];
        p.StopBits = field[FieldStopBits];
        p.Flow = field[FieldFlow];
        const QString settings =
            QStringList{ch.view.settingFieldText(FieldSpeed), ch.view.settingFieldText(FieldParity),
                        ch.view.settingFieldText(FieldDataBits),
                        ch.view.settingFieldText(FieldStopBits)}
                .join(QLatin1Char(','));
        const bool refused = !attempt([&] { ch.MSComm.setSettings(settings); }).isEmpty();
        if (refused)
            m_seams.messageBox(kMessageTitle, kUnacceptable);
        bool isNumber = false;
        const int flow = p.Flow.toInt(&isNumber);
        if (isNumber)
            attempt([&] { ch.MSComm.setHandshaking(flow); });
        // A closed port meets its device only when it opens: settings the device refuses are
        // refused then, and the port opens with those it had.
        try {
            openPort(ch);
        } catch (const SettingsRefused&) {
            if (!refused)
                m_seams.messageBox(kMessageTitle, kUnacceptable);
        } catch (const SerialError&) {
        }
    }
    showPortOpen(ch);
    ch.settings.SettingsText = ch.MSComm.Settings();
    COM_Events(ch);
    ch.applyTimer.setEnabled(false);
    showPortDetails();
}

void Terminal::showPortOpen(TerminalChannel& ch) {
    const int colour = ch.MSComm.PortOpen() ? kGreen : kRed;
    ch.view.setPortLamp(colour);
    ch.view.setPortSummaryColour(colour);
}

void Terminal::Check1_Click(TerminalChannel& ch) {
    ch.MSComm.setRTSEnable(ch.view.rtsBoxValue() == 1);
    COM_Events(ch);
    // Only Terminal 1's RTS box beeps.
    if (ch.number == 1)
        m_seams.beep();
}

void Terminal::Check2_Click(TerminalChannel& ch) {
    ch.MSComm.setDTREnable(ch.view.dtrBoxValue() == 1);
    COM_Events(ch);
}
