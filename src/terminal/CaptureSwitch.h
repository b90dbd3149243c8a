#pragma once

#include "Clock.h"
#include "Seams.h"
#include "capture/CaptureSession.h"

#include <QDate>
#include <QObject>

#include <array>
#include <functional>

class RecordingControl;

// Capture of both ports turned on and off: one file at a time, a new one each day at midnight,
// whenever one reaches its size limit, and when a port is given another number (the file's
// interfaces are named by the port numbers it started with). A file that cannot be made or written
// ends the capture with one message naming it and the reason; the ports go on as before.
class CaptureSwitch : public QObject {
    Q_OBJECT
public:
    // The file for a capture starting at `start`, its folder made; or an empty name and why.
    using FileNaming = std::function<QString(const QDateTime& start, QString& problem)>;

    CaptureSwitch(Clock& clock, Seams seams, std::array<RecordingControl*, 2> ports,
                  QObject* parent = nullptr);
    ~CaptureSwitch() override;

    void setFileNaming(FileNaming naming) { m_naming = std::move(naming); }
    void setSizeLimit(qint64 bytes) { m_sizeLimit = bytes; }

    bool isOn() const { return m_on; }
    QString fileName() const { return m_session.fileName(); }
    // Turns capture on or off; false when it was to go on and could not.
    bool setOn(bool on);
    // A remark about the whole program in the file, when capture is on.
    void note(const QString& comment);

signals:
    // Capture went on (with the file it writes, also at each new file) or off.
    void switched(bool on, const QString& fileName);

private:
    bool startFile();
    void stop();
    void startNewFileWhenDue();
    // By value: the file that reports the failure goes away here.
    void captureFailed(QString fileName, QString reason);

    Seams m_seams;
    std::array<RecordingControl*, 2> m_ports;
    FileNaming m_naming;
    CaptureSession m_session;
    Timer m_newFileCheck;
    QDate m_fileDate;
    std::array<qint16, 2> m_filePorts{};
    qint64 m_sizeLimit = qint64(1) << 30;
    bool m_on = false;
};
