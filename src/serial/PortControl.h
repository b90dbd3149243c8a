#pragma once

#include "SerialControl.h"

#include <memory>

// The serial control a channel uses: the local one for devices, the network one for
// rfc2217:// and tcp:// addresses, chosen by what the port number names each time the port
// opens. What was set while closed (port number, settings, flow control, RTS, DTR) goes along
// to the one chosen.
class PortControl final : public SerialControl {
    Q_OBJECT
public:
    explicit PortControl(QObject* parent = nullptr);
    ~PortControl() override;

    qint16 CommPort() const override { return m_active->CommPort(); }
    void setCommPort(qint16 port) override { m_active->setCommPort(port); }
    QString Settings() const override { return m_active->Settings(); }
    void setSettings(const QString& settings) override { m_active->setSettings(settings); }
    qint32 Handshaking() const override { return m_active->Handshaking(); }
    void setHandshaking(qint32 mode) override { m_active->setHandshaking(mode); }
    bool PortOpen() const override { return m_active->PortOpen(); }
    void setPortOpen(bool open) override;
    bool RTSEnable() const override { return m_active->RTSEnable(); }
    void setRTSEnable(bool on) override { m_active->setRTSEnable(on); }
    bool DTREnable() const override { return m_active->DTREnable(); }
    void setDTREnable(bool on) override { m_active->setDTREnable(on); }
    bool CTSHolding() const override { return m_active->CTSHolding(); }
    bool DSRHolding() const override { return m_active->DSRHolding(); }
    bool CDHolding() const override { return m_active->CDHolding(); }
    void writeBytes(const QByteArray& bytes) override { m_active->writeBytes(bytes); }
    QByteArray readBytes() override { return m_active->readBytes(); }
    qint64 bytesToSend() const override { return m_active->bytesToSend(); }
    bool devicePresent() const override;
    qint16 CommEvent() const override { return m_active->CommEvent(); }

private:
    void adopt(SerialControl* control);
    SerialControl* controlFor(const QString& device) const;

    std::unique_ptr<SerialControl> m_local;
    std::unique_ptr<SerialControl> m_network;
    SerialControl* m_active = nullptr;
};
