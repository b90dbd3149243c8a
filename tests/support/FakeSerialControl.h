#pragma once

#include "serial/SerialControlBase.h"

#include <QSet>
#include <QStringList>

// A serial control for tests: no device behind it. A test scripts its input lines, what it
// receives and how opening fails, and reads what was written to it.
class FakeSerialControl final : public SerialControlBase {
    Q_OBJECT
public:
    using SerialControlBase::SerialControlBase;
    ~FakeSerialControl() override;

    void setSettings(const QString& settings) override;
    void setHandshaking(qint32 mode) override;
    bool PortOpen() const override { return m_open; }
    void setPortOpen(bool open) override;
    bool CTSHolding() const override { return m_open && m_cts; }
    bool DSRHolding() const override { return m_open && m_dsr; }
    bool CDHolding() const override { return m_open && m_cd; }
    void writeBytes(const QByteArray& bytes) override;
    QByteArray readBytes() override;
    qint64 bytesToSend() const override { return stuck; }
    bool devicePresent() const override { return present; }

    // Script.
    void failOpeningWith(const QString& description) { m_openFailure = description; }
    // The device will not take these settings (refused at once while open, else at the open).
    void refuseSettings(const QString& settings) { m_refused << settings; }
    void setInputLines(bool cts, bool dsr, bool cd);
    void receive(const QByteArray& data) { m_input += data; }
    // Each is reported once the test's call has returned, as a real control does.
    void raiseEvent(qint16 code);
    // The device goes away: the port closes and says so.
    void loseDevice();
    // The device goes away during the next write, which it does not take.
    bool loseDeviceInNextWrite = false;

    // Bytes the device has not taken yet.
    qint64 stuck = 0;
    // Whether the device is there (opening fails all the same when failOpeningWith says so).
    bool present = true;

    // Observation.
    QByteArray written() const { return m_written; }
    int openCount() const { return m_opens; }

private:
    QString label() const override;

    bool m_open = false;
    bool m_cts = false;
    bool m_dsr = false;
    bool m_cd = false;
    QByteArray m_input;
    QByteArray m_written;
    QString m_openFailure;
    QStringList m_refused;
    int m_opens = 0;
};
