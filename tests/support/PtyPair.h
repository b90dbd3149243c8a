#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// A pseudo-terminal pair for tests and benchmarks: the test plays the device on the master side
// while the program opens the slave like a serial port. Both ends are raw; the master never
// blocks, and neither end is inherited by the programs a test starts.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int master() const { return m_master; }

    // Writes everything, waiting for room as needed; false when the pty went away.
    bool write(const QByteArray& bytes);
    // Bytes written here that the program has not read yet.
    qsizetype unreadByProgram() const;
    // Discards whatever the program has written so far.
    void drain();
    // Reads until `count` bytes came or `timeoutMs` passed.
    QByteArray read(qsizetype count, int timeoutMs = 2000);
    // Plays a device that goes away.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

// `size` bytes of every value, the same for the same seed.
QByteArray randomBytes(qsizetype size, quint32 seed);

// Two devices talking at once through whatever joins them: `a` sends `toB` while `b` sends
// `toA`, each reading what comes out at its end (as many bytes as the other sent, or what came
// within `timeoutMs`). Qt's events go on meanwhile. Gives what came out of b, then of a.
std::array<QByteArray, 2> crossTraffic(PtyPair& a, PtyPair& b, const QByteArray& toB,
                                       const QByteArray& toA, int timeoutMs = 60000);
