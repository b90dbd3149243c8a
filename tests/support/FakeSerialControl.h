#pragma once

#include "serial/LineSettings.h"
#include "serial/SerialControl.h"

#include <QSet>
#include <QStringList>

// A serial control for tests: no device behind it. A test scripts its input lines, what it
// receives and how opening fails, and reads what was written to it.
class FakeSerialControl final : public SerialControl {
    Q_OBJECT
public:
    using SerialControl::SerialControl;
    ~FakeSerialControl() override;

    qint16 CommPort() const override { return m_commPort; }
    void setCommPort(qint16 port) override;
    QString Settings() const override { return m_settings.toString(); }
    void setSettings(const QString& settings) override;
    qint32 Handshaking() const override { return m_handshaking; }
    void setHandshaking(qint32 mode) override;
    bool PortOpen() const override { return m_open; }
    void setPortOpen(bool open) override;
    bool RTSEnable() const override { return m_rts; }
    void setRTSEnable(bool on) override { m_rts = on; }
    bool DTREnable() const override { return m_dtr; }
    void setDTREnable(bool on) override { m_dtr = on; }
    bool CTSHolding() const override { return m_open && m_cts; }
    bool DSRHolding() const override { return m_open && m_dsr; }
    bool CDHolding() const override { return m_open && m_cd; }
    void writeBytes(const QByteArray& bytes) override;
    QByteArray readBytes() override;
    qint16 CommEvent() const override { return m_event; }
    qint64 bytesToSend() const override { return stuck; }
    bool devicePresent() const override { return present; }

    // Script.
    void failOpeningWith(const QString& description) { m_openFailure = description; }
    // The device will not take these settings (refused at once while open, else at the open).
    void refuseSettings(const QString& settings) { m_refused << settings; }
    void setInputLines(bool cts, bool dsr, bool cd);
    void receive(const QByteArray& data) { m_input += data; }
    void raiseEvent(qint16 code);
    // The device goes away: the port closes and says so.
    void loseDevice();

    // Bytes the device has not taken yet.
    qint64 stuck = 0;
    // Whether the device is there (opening fails all the same when failOpeningWith says so).
    bool present = true;

    // Observation.
    QByteArray written() const { return m_written; }
    int openCount() const { return m_opens; }

private:
    qint16 m_commPort = 1;
    LineSettings m_settings;
    LineSettings m_inForce;
    qint32 m_handshaking = comNone;
    bool m_open = false;
    bool m_rts = false;
    bool m_dtr = true;
    bool m_cts = false;
    bool m_dsr = false;
    bool m_cd = false;
    qint16 m_event = 0;
    QByteArray m_input;
    QByteArray m_written;
    QString m_openFailure;
    QStringList m_refused;
    int m_opens = 0;
};
