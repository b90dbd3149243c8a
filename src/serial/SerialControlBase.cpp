#include "SerialControlBase.h"

#include "PortDevice.h"
#include "SerialError.h"

void SerialControlBase::setCommPort(qint16 port) {
    if (port < kFirstPort || port > kLastPort)
        throw SerialError(
            QStringLiteral("COM%1: there is no such port (the ports are COM1 to COM16)").arg(port));
    if (PortOpen())
        throw SerialError(label() + QStringLiteral(": the port number cannot change while the "
                                                   "port is open"));
    m_commPort = port;
}

void SerialControlBase::setRTSEnable(bool on) {
    m_rts = on;
    applyOutputLines();
}

void SerialControlBase::setDTREnable(bool on) {
    m_dtr = on;
    applyOutputLines();
}

QString SerialControlBase::label() const {
    return portLabel(m_commPort);
}

LineSettings SerialControlBase::parsedSettings(const QString& settings) const {
    QString problem;
    const auto parsed = parseLineSettings(settings, &problem);
    if (!parsed)
        throw SerialError(QStringLiteral("%1: \"%2\" is not a valid setting: %3")
                              .arg(label(), settings, problem));
    return *parsed;
}

void SerialControlBase::checkHandshaking(qint32 mode) const {
    if (mode < comNone || mode > comRTSXOnXOff)
        throw SerialError(
            QStringLiteral("%1: %2 is not a flow control (0 to 3)").arg(label()).arg(mode));
}

QString SerialControlBase::refusal(const QString& what) const {
    return QStringLiteral("%1: the device refuses %2").arg(label(), what);
}

void SerialControlBase::reportLost(const QString& reason) {
    reportLater([this, reason] { emit portLost(reason); });
}

void SerialControlBase::reportLineEvent(qint16 code) {
    reportLater([this, code] {
        if (!PortOpen())
            return;
        m_commEvent = code;
        emit OnComm();
    });
}

void SerialControlBase::reportLater(const std::function<void()>& emitter) {
    // Dropped with the control, should it go first.
    QMetaObject::invokeMethod(this, emitter, Qt::QueuedConnection);
}

#include "moc_SerialControlBase.cpp"
