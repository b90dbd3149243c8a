#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Builds a pcapng file block by block in memory: the section header first, then interface
// descriptions and packets. Whoever owns the file takes the finished blocks and writes them;
// a file cut between two blocks is a whole file to its readers, and one cut inside a block loses
// just that block.
class PcapngWriter {
public:
    // Begins with the section header.
    PcapngWriter();

    // A serial port's interface, in microseconds; the first one added is interface 0.
    int addInterface(const QString& name);
    // A packet on an interface; the comment, when there is one, goes in as the packet's comment.
    void addPacket(int interface, qint64 microsecondsSinceEpoch, const QByteArray& data,
                   const QString& comment = {});
    // The same with the packet's data in two parts, a link header and the bytes after it, put
    // straight into the block.
    void addPacket(int interface, qint64 microsecondsSinceEpoch, QByteArrayView header,
                   QByteArrayView data, const QString& comment = {});

    // The whole blocks added since the last clearBlocks().
    const QByteArray& blocks() const { return m_blocks; }
    // Keeps the memory for the next blocks: a buffer made anew for every write grew by copying
    // and touched fresh pages all the way, which cost a busy capture more than writing the file.
    void clearBlocks() { m_blocks.resize(0); }
    // Hands the blocks over in `blocks`, taking its memory, emptied, for the next ones: two
    // buffers passed back and forth keep their pages between writes.
    void swapBlocks(QByteArray& blocks) {
        blocks.resize(0);
        m_blocks.swap(blocks);
    }

private:
    void addBlock(quint32 type, const QByteArray& body);

    QByteArray m_blocks;
    int m_interfaces = 0;
};
