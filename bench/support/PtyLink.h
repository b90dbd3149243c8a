#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal whose slave a relay opens as its serial port, while the benchmark plays the
// device on the master. Both ends are raw; the master never blocks and is not inherited by the
// relays the benchmark starts.
class PtyLink {
public:
    PtyLink();
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int master() const { return m_master; }

    // Discards whatever the relay has written so far.
    void drain();
    // Writes all of `bytes`, waiting for room; false when the pty went away.
    bool write(const QByteArray& bytes);

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
