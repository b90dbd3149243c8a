#pragma once

#include "CaptureEntry.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class CaptureFile;

// The record of both ports in one file, while one is being taken. Each port's RecordingControl
// appends what passes through it; the program adds its own remarks with note().
class CaptureSession : public QObject {
    Q_OBJECT
public:
    explicit CaptureSession(QObject* parent = nullptr);
    ~CaptureSession() override;

    // Starts a new file (ending the one under way) with one interface per port number, named
    // as errors name the port: "COM1 (/dev/ttyUSB0)". Emits `started` before returning, so
    // that each port records how it stands.
    void start(const QString& fileName, const QList<qint16>& portNumbers);
    // Writes what is left and closes the file.
    void stop();
    // Whether appended entries go anywhere: a file started and not failed.
    bool isRecording() const;
    // The file started last (empty before the first), and how much of it is on disk.
    QString fileName() const;
    qint64 bytesWritten() const;

    // One moment on one port (its interface, in the order start was given the ports), timed now;
    // returns that time, on the record's clock.
    qint64 append(int port, RtacSerial::Event event, quint8 lines, const QByteArray& bytes = {},
                  const QString& comment = {});
    // A remark about the whole program (transmit mode switched on, say), on the first port's
    // interface with that port's lines as last recorded.
    void note(const QString& comment);

signals:
    void started();
    void failed(const QString& fileName, const QString& reason);

private:
    std::unique_ptr<CaptureFile> m_file;
    std::vector<quint8> m_lastLines; // per port
};
