#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

class CaptureSwitch;

// The bytes a capture recorded, each port and each way, over every file it wrote (it starts a
// new one past its size limit). Counts only what was written once the capture is off.
class CaptureTally : public QObject {
public:
    explicit CaptureTally(CaptureSwitch& capture);

    // Reads the files; false, with the reason in problem(), when one could not be read whole.
    bool count();

    QStringList files() const { return m_files; }
    // Port 0 or 1.
    qint64 received(int port) const { return m_received[size_t(port)]; }
    qint64 transmitted(int port) const { return m_transmitted[size_t(port)]; }
    qint64 fileBytes() const { return m_fileBytes; }
    // "port 1 in/out 12.3/12.4, port 2 in/out 12.4/12.3 MB"
    QString perPort() const;
    QString problem() const { return m_problem; }

private:
    QStringList m_files;
    std::array<qint64, 2> m_received{};
    std::array<qint64, 2> m_transmitted{};
    qint64 m_fileBytes = 0;
    QString m_problem;
};
