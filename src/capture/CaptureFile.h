#pragma once

#include "CaptureEntry.h"
#include "PcapngWriter.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class UncachedAppend;

// A capture file being written: entries appended from the caller's thread are written as whole
// pcapng blocks by a thread of its own at least every 100 ms, so a program killed at any moment
// leaves a file that opens with all it had written. The first failure to create or write the file
// ends the capture; it is reported once, as `failed`, after the call under way has returned.
class CaptureFile : public QObject {
    Q_OBJECT
public:
    // Creates the file (replacing one there) with one interface per port name, such as
    // "COM1 (/dev/ttyUSB0)", and starts writing.
    CaptureFile(const QString& fileName, const QStringList& portNames, QObject* parent = nullptr);
    // Writes what is left and closes the file.
    ~CaptureFile() override;

    QString fileName() const { return m_fileName; }
    // Adds the entry to the blocks to be written; does nothing once the capture has failed.
    // Never waits on the disk.
    void append(CaptureEntry entry);
    // Whether the capture has ended on a failure.
    bool hasFailed() const { return m_failed; }
    // How much of the file is on disk so far.
    qint64 bytesWritten() const { return m_bytesWritten; }

    // The time on the capture's clock: microseconds since 1970.
    static qint64 microsecondsNow();

signals:
    void failed(const QString& fileName, const QString& reason);

private:
    void writeUntilStopped();
    // Writes the blocks whole; false, with the failure reported and what went in of them taken
    // back out, where the file refused them.
    bool writeBlocks(UncachedAppend& file, const QByteArray& blocks);
    void fail(const QString& reason);

    const QString m_fileName;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    PcapngWriter m_pcapng;   // guarded by m_mutex: the blocks not yet handed to the file
    bool m_stopping = false; // guarded by m_mutex
    std::atomic<bool> m_failed{false};
    std::atomic<qint64> m_bytesWritten{0};
    std::thread m_writer;
};
