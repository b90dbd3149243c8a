// Ports whose device comes back, and what the window says of each port's device.

#include "ChannelView.h"
#include "PortSettings.h"
#include "Terminal.h"
#include "serial/DeviceInfo.h"
#include "serial/DeviceWatch.h"
#include "serial/PortDevice.h"
#include "serial/SerialControl.h"
#include "serial/SerialError.h"

#include <QFileInfo>

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

void Terminal::lookForDevices() {
    for (auto& ch : m_channels)
        reopenWhenBack(*ch);
    // Any program opening a pseudo-terminal changes /dev/pts: the devices are looked over
    // again only when one of the sixteen has come or gone.
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
    QString presence;
    for (qint16 n = kFirstPort; n <= kLastPort; ++n) {
        const QString device = deviceForPort(n);
        presence += device + (QFileInfo::exists(device) ? QLatin1Char('+') : QLatin1Char('-'));
    }
    if (presence != m_devicesSeen) {
        m_devicesSeen = presence;
        m_portDescriptions = describePorts();
    }
    const QStringList& descriptions = m_portDescriptions;
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
