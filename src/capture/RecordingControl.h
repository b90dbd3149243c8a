#pragma once

#include "CaptureSession.h"
#include "CommandTracker.h"

#include "serial/SerialControl.h"

#include <memory>

// A port's serial control with the record taken where the bytes and lines pass: every member
// goes to the control it wraps unchanged (results, refusals, signals), and while a session is
// set, what passed is appended to it as this port's interface, with a remark on each modem
// command written and the result it got (CommandTracker). Without a session it costs a pointer
// check.
class RecordingControl final : public SerialControl {
    Q_OBJECT
public:
    explicit RecordingControl(std::unique_ptr<SerialControl> inner, QObject* parent = nullptr);
    ~RecordingControl() override;

    SerialControl& inner() const { return *m_inner; }
    // Records into the session (which must outlive it or be unset) as its interface `port`;
    // null stops recording.
    void setSession(CaptureSession* session, int port);

    qint16 CommPort() const override { return m_inner->CommPort(); }
    void setCommPort(qint16 port) override { m_inner->setCommPort(port); }
    QString Settings() const override { return m_inner->Settings(); }
    void setSettings(const QString& settings) override;
    qint32 Handshaking() const override { return m_inner->Handshaking(); }
    void setHandshaking(qint32 mode) override { m_inner->setHandshaking(mode); }
    bool PortOpen() const override { return m_inner->PortOpen(); }
    void setPortOpen(bool open) override;
    bool RTSEnable() const override { return m_inner->RTSEnable(); }
    void setRTSEnable(bool on) override;
    bool DTREnable() const override { return m_inner->DTREnable(); }
    void setDTREnable(bool on) override;
    bool CTSHolding() const override;
    bool DSRHolding() const override;
    bool CDHolding() const override;
    void writeBytes(const QByteArray& bytes) override;
    QByteArray readBytes() override;
    qint64 bytesToSend() const override { return m_inner->bytesToSend(); }
    bool devicePresent() const override { return m_inner->devicePresent(); }
    qint16 CommEvent() const override { return m_inner->CommEvent(); }

private:
    // The state byte of the lines as they stand: nothing is driven or read on a closed port.
    quint8 lines() const;
    // Returns the entry's time.
    qint64 record(RtacSerial::Event event, quint8 lines, const QByteArray& bytes = {},
                  const QString& comment = {}) const;
    void recordRemarks(const QStringList& remarks, quint8 lines) const;
    // Records the lines where they differ from the last record's; the state byte.
    quint8 recordLineChange() const;
    // "/dev/ttyUSB0 9600,n,8,1"
    QString deviceAndSettings() const;
    void recordOpenChange(bool wasOpen);
    void recordCommEvent();
    void recordStart();

    std::unique_ptr<SerialControl> m_inner;
    CaptureSession* m_session = nullptr;
    int m_port = 0;
    mutable quint8 m_recordedLines = 0;
    bool m_lost = false; // the port last closed by itself
    CommandTracker m_commands;
};
