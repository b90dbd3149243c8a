#pragma once

#include "LineEvents.h"
#include "LineSettings.h"
#include "ModemLineWait.h"
#include "ParityMarks.h"
#include "SerialControlBase.h"

#include <QSerialPort>
#include <QTimer>

// The serial control on a real device, through QSerialPort.
class QtSerialControl final : public SerialControlBase {
    Q_OBJECT
public:
    explicit QtSerialControl(QObject* parent = nullptr);
    ~QtSerialControl() override;

    void setSettings(const QString& settings) override;
    void setHandshaking(qint32 mode) override;
    bool PortOpen() const override { return m_port.isOpen(); }
    void setPortOpen(bool open) override;
    bool CTSHolding() const override;
    bool DSRHolding() const override;
    bool CDHolding() const override;
    void writeBytes(const QByteArray& bytes) override;
    QByteArray readBytes() override;
    qint64 bytesToSend() const override { return PortOpen() ? m_port.bytesToWrite() : 0; }
    bool devicePresent() const override;

    // Bytes received and not yet taken by readBytes.
    qint64 bytesWaiting() const { return m_unread.size() + m_port.bytesAvailable(); }

    // How often the input lines are looked at while the port is open, where the driver cannot
    // wait for them to change.
    static constexpr int kLineWatchMs = 20;
    // What is held of what the device sent until it is read: two ticks at 40 MB/s, as a relay
    // that waited a tick for the other port to catch up needs.
    static constexpr qint64 kReadBufferBytes = 8 * 1024 * 1024;
    // A read this large keeps its buffers for the next; they go back once the bytes stop.
    static constexpr qint64 kStreamBytes = 256 * 1024;

private:
    void open();
    void close();
    // Each returns what the device refused, or an empty text.
    QString applyLine(const LineSettings& s);
    QString applyHandshaking(qint32 mode);
    void applyOutputLines() override;
    void markParityErrors(bool on);
    QByteArray takeFromPort();
    void onError(QSerialPort::SerialPortError error);
    // Whether an error means the device has gone (hung up), rather than a passing refusal.
    bool deviceGone() const;
    // Where the device has input lines, waits for them to change, or else looks at them
    // every kLineWatchMs.
    void startLineWatch();
    void pollLines();
    void watchLines();

    mutable QSerialPort m_port;
    // What was received before the device went away, kept for the next Input.
    QByteArray m_unread;
    // What readBytes returns is read into one of these, kept from one read to the next: a fresh
    // buffer of megabytes each time is fresh memory for the system to fault in. There are two
    // because the one read before may still be on its way out of the other port. They hold
    // buffers only from a read of kStreamBytes or more until the bytes stop.
    QByteArray m_inboxes[2];
    QTimer m_lineWatch;
    ModemLineWait m_lineWait;
    // Counts the openings, so that what a wait reports late is dropped after a close.
    quint64 m_openings = 0;
    bool m_hasLines = false;
    LineSnapshot m_lines;
    bool m_parityMarking = false;
    ParityMarkDecoder m_parityMarks;
};
