#include "PortControl.h"

#include "PortDevice.h"
#include "QtSerialControl.h"
#include "SerialError.h"

#ifdef DUPLINK_NETWORK_PORTS
#include "NetworkSerialControl.h"
#endif

PortControl::PortControl(QObject* parent)
    : SerialControl(parent), m_local(std::make_unique<QtSerialControl>()) {
#ifdef DUPLINK_NETWORK_PORTS
    m_network = std::make_unique<NetworkSerialControl>();
#endif
    for (SerialControl* control : {m_local.get(), m_network.get()}) {
        if (!control)
            continue;
        // Only the control in use speaks for the port.
        connect(control, &SerialControl::OnComm, this, [this, control] {
            if (control == m_active)
                emit OnComm();
        });
        connect(control, &SerialControl::portLost, this, [this, control](const QString& why) {
            if (control == m_active)
                emit portLost(why);
        });
        connect(control, &SerialControl::portOpened, this, [this, control] {
            if (control == m_active)
                emit portOpened();
        });
    }
    m_active = m_local.get();
}

PortControl::~PortControl() = default;

SerialControl* PortControl::controlFor(const QString& device) const {
    return isNetworkDevice(device) ? m_network.get() : m_local.get();
}

bool PortControl::devicePresent() const {
    const SerialControl* chosen = controlFor(deviceForPort(CommPort()));
    return chosen && chosen->devicePresent();
}

void PortControl::setPortOpen(bool open) {
    if (open && !PortOpen()) {
        const QString device = deviceForPort(CommPort());
        SerialControl* chosen = controlFor(device);
        if (!chosen)
            throw SerialError(portLabel(CommPort()) +
                              QStringLiteral(": ports on the network are not built into this "
                                             "Duplink"));
        adopt(chosen);
    }
    m_active->setPortOpen(open);
}

void PortControl::adopt(SerialControl* control) {
    if (control == m_active)
        return;
    // Both are closed here: what the closed one holds is what the other is to open with.
    SerialControl& from = *m_active;
    control->setCommPort(from.CommPort());
    try {
        control->setSettings(from.Settings());
    } catch (const SerialError&) {
    }
    control->setHandshaking(from.Handshaking());
    control->setRTSEnable(from.RTSEnable());
    control->setDTREnable(from.DTREnable());
    m_active = control;
}

#include "moc_PortControl.cpp"
