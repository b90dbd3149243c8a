#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair for tests: the test plays the device on the master side while the
// program opens the slave like a serial port.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int master() const { return m_master; }

    // Writes everything, waiting for room as needed.
    bool write(const QByteArray& bytes);
    // Reads until `count` bytes came or `timeoutMs` passed.
    QByteArray read(qsizetype count, int timeoutMs = 2000);
    // Plays a device that goes away.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
