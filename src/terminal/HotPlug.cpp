// Ports whose device comes back, and what the window says of each port's device.

#include "ChannelView.h"
#include "PortSettings.h"
#include "Terminal.h"
#include "serial/DeviceWatch.h"
#include "serial/PortDevice.h"
#include "serial/SerialControl.h"
#include "serial/SerialError.h"

void Terminal::lookForDevices() {
    for (auto& ch : m_channels)
        reopenWhenBack(*ch);
    showPortDetails();
}

void Terminal::reopenWhenBack(TerminalChannel& ch) {
    if (ch.MSComm.PortOpen() || ch.applyTimer.isEnabled() || !ch.MSComm.devicePresent())
        return;
    try {
        openPort(ch);
    } catch (const SettingsRefused&) {
    } catch (const SerialError&) {
        return;
    }
    // A network port may still be connecting; it says so when it has.
    if (ch.MSComm.PortOpen())
        portCameBack(ch);
}

void Terminal::portCameBack(TerminalChannel& ch) {
    ch.portProblem.clear();
    showPortOpen(ch);
    ch.settings.SettingsText = ch.MSComm.Settings();
    COM_Events(ch);
    // Whatever is on the line now is asked who it is; a command waiting goes out after that.
    // Not while relaying: what the device says is the other side's, and "ATI3" would go into it.
    ch.ModemState =
        TransmitMode == TransmitModes::On ? ModemStates::Answered : ModemStates::NotAsked;
    showPortDetails();
}

void Terminal::showPortDetails() {
    const QStringList descriptions = m_devices.portDescriptions();
    QStringList watched;
    for (auto& ch : m_channels) {
        ch->view.describePorts(descriptions);
        const int n = ch->MSComm.CommPort();
        QString details = descriptions.value(n - kFirstPort);
        if (!ch->MSComm.PortOpen() && !ch->portProblem.isEmpty())
            details += QLatin1Char('\n') + ch->portProblem;
        ch->view.setPortDetails(details);
        watched << deviceForPort(qint16(n));
    }
    m_devices.watchPaths(watched);
}
