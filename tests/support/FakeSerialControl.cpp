#include "FakeSerialControl.h"

#include "serial/SerialError.h"

namespace {

// Ports held open by fakes, so that two fakes on one port behave like two programs.
QSet<qint16>& portsInUse() {
    static QSet<qint16> ports;
    return ports;
}

} // namespace

FakeSerialControl::~FakeSerialControl() {
    if (m_open)
        portsInUse().remove(m_commPort);
}

QString FakeSerialControl::label() const {
    return QStringLiteral("COM%1 (fake)").arg(m_commPort);
}

void FakeSerialControl::setSettings(const QString& settings) {
    const LineSettings parsed = parsedSettings(settings);
    // Like a real device, a closed port takes anything well formed and refuses it at the open.
    if (m_open && m_refused.contains(settings))
        throw SettingsRefused(refusal(settings));
    if (m_open)
        m_inForce = parsed;
    m_settings = parsed;
}

void FakeSerialControl::setHandshaking(qint32 mode) {
    checkHandshaking(mode);
    m_handshaking = mode;
}

void FakeSerialControl::setPortOpen(bool open) {
    if (open == m_open)
        return;
    if (!open) {
        m_open = false;
        portsInUse().remove(m_commPort);
        return;
    }
    if (!m_openFailure.isEmpty())
        throw SerialError(m_openFailure);
    if (portsInUse().contains(m_commPort))
        throw SerialError(label() + QStringLiteral(": in use by another program"));
    portsInUse().insert(m_commPort);
    m_open = true;
    ++m_opens;
    if (m_refused.contains(m_settings.toString())) {
        m_settings = m_inForce;
        throw SettingsRefused(refusal(QStringLiteral("them")));
    }
    m_inForce = m_settings;
}

void FakeSerialControl::writeBytes(const QByteArray& bytes) {
    if (m_open && std::exchange(loseDeviceInNextWrite, false))
        loseDevice();
    else if (m_open)
        m_written += bytes;
}

QByteArray FakeSerialControl::readBytes() {
    // What arrived before the port closed is still there to be read, as with a real device.
    return std::exchange(m_input, {});
}

void FakeSerialControl::setInputLines(bool cts, bool dsr, bool cd) {
    m_cts = cts;
    m_dsr = dsr;
    m_cd = cd;
}

void FakeSerialControl::raiseEvent(qint16 code) {
    reportLineEvent(code);
}

void FakeSerialControl::loseDevice() {
    setPortOpen(false);
    reportLost(label() + QStringLiteral(": the device went away"));
}
