#pragma once

#include "CaptureEntry.h"
#include "Pcapng.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <vector>

// An entry as read back from a file, with the name its port's interface was given.
struct CaptureRecord {
    CaptureEntry entry;
    QString portName;
};

// Reads a capture file a block at a time, so a file of any size takes little memory: the
// entries of its serial interfaces in file order, skipping blocks of other types and packets of
// other link types. Reading ends at the end of the file or at the first problem: a file that
// cannot be opened or is not a capture, or a block cut short or damaged (after the entries
// before it). A file still being written ends, for the moment, in a block not yet whole: that is
// `notYet()`, and reading goes on from `position()` once more of it is on disk.
class CaptureReader {
public:
    explicit CaptureReader(const QString& fileName);

    // The next entry; false at the end of the file or at a problem.
    bool next(CaptureRecord& record);
    // Why reading stopped before the end of the file ("is not a capture: ..."), empty when it
    // reached the end or has not stopped.
    QString problem() const { return m_problem; }
    // Whether reading stopped at the end of what is on disk, in a last block not yet whole (or an
    // empty file): a file being written may still complete it. Damage is never `notYet`.
    bool notYet() const { return m_notYet; }
    bool isOpen() const { return m_file.isOpen(); }

    // Where the next block starts: after the last whole block read.
    qint64 position() const { return m_position; }
    // Reads on from a block boundary that position() gave, keeping the interfaces and byte
    // order learned so far; clears a stop (and opens the file if it could not be opened before).
    void seek(qint64 offset);
    // The names of the interfaces described so far, in order (the port of an entry is its index).
    QStringList interfaceNames() const;

private:
    struct Interface {
        QString name;
        bool serial = false;
        bool binaryResolution = false; // the timestamp's unit is 2^-n s rather than 10^-n s
        int resolution = Pcapng::microseconds;
    };

    bool stop(const QString& problem);
    bool stopNotYet(const QString& problem);
    bool damaged(qint64 at, const QString& what);
    // The next block's type and body; false at the end of the file or a problem.
    bool readBlock(quint32& type, QByteArray& body);
    // False at a problem.
    bool readInterface(const QByteArray& body, qint64 at);
    // False at a problem; isEntry says whether the packet was an entry (not another link type's).
    bool readPacket(const QByteArray& body, qint64 at, CaptureRecord& record, bool& isEntry);
    quint16 number16(const QByteArray& bytes, int at) const;
    quint32 number32(const QByteArray& bytes, int at) const;
    using Options = std::vector<std::pair<quint16, QByteArray>>;
    // The options from offset on: each one's code and value, until the end of options; false
    // when one runs past the block.
    bool options(const QByteArray& body, int offset, Options& found) const;

    QFile m_file;
    bool m_bigEndian = false;
    bool m_stopped = false;
    bool m_notYet = false;
    qint64 m_position = 0;
    qint64 m_knownSize = 0; // the file's size when last asked: growing files are asked again
    QString m_problem;
    std::vector<Interface> m_interfaces; // of the current section
};
