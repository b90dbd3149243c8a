#include "LogStore.h"

#include <QDir>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif

namespace {

constexpr qint64 kTextBlock = 64 * 1024;

// Frees the disk under a range of a file; the file keeps its length and reads zeros there.
void release(QFile& file, qint64 from, qint64 to) {
#ifdef Q_OS_LINUX
    if (to > from)
        (void)fallocate(file.handle(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, from, to - from);
#else
    Q_UNUSED(file);
    Q_UNUSED(from);
    Q_UNUSED(to);
#endif
}

} // namespace

std::unique_ptr<LogStore> LogStore::create(const QString& folder) {
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return nullptr;
    std::unique_ptr<LogStore> store(new LogStore);
    store->m_text.setFileTemplate(QDir(folder).filePath(QStringLiteral("log-XXXXXX.text")));
    store->m_lines.setFileTemplate(QDir(folder).filePath(QStringLiteral("log-XXXXXX.lines")));
    if (!store->m_text.open() || !store->m_lines.open())
        return nullptr;
    store->m_textEnd.open(store->m_text.fileName());
    return store;
}

// Every access seeks first, which also hands QFile's buffered writes to the file.
bool LogStore::writeAt(QFile& file, qint64 at, const char* data, qint64 size) {
    return file.seek(at) && file.write(data, size) == size;
}

bool LogStore::readAt(const QFile& file, qint64 at, char* data, qint64 size) const {
    auto& readable = const_cast<QFile&>(file);
    return readable.seek(at) && readable.read(data, size) == size;
}

void LogStore::forgetTextBlocks(qint64 from, qint64 to) {
    for (qint64 b = from / kTextBlock; b * kTextBlock < to; ++b)
        m_textBlocks.remove(b);
}

bool LogStore::writeText(qint64 at, const char* data, qint64 size) {
    forgetTextBlocks(at, at + size);
    if (m_textEnd.isOpen() && at == m_textEnd.end() && m_textEnd.append(data, size))
        return true;
    // Text written anywhere but the end (over text given up), or refused there, goes through
    // the cache from then on.
    m_textEnd.close();
    return writeAt(m_text, at, data, size);
}

bool LogStore::appendLines(const qint64* starts, qint64 count) {
    for (qint64 b = m_endLine / kLinesPerBlock; b * kLinesPerBlock < m_endLine + count; ++b)
        m_lineBlocks.remove(b);
    if (!writeAt(m_lines, m_endLine * kStartSize, reinterpret_cast<const char*>(starts),
                 count * kStartSize))
        return false;
    for (qint64 i = 0; i < count; ++i) {
        if ((m_endLine + i) % kLinesPerBlock == 0)
            m_blockStarts.append(starts[i]);
    }
    m_endLine += count;
    return true;
}

QByteArray LogStore::readText(qint64 at, qint64 size) const {
    QByteArray out;
    if (size <= 0)
        return out;
    // A long piece (a big selection copied) is read in one go, past the cache.
    if (size > 2 * kTextBlock) {
        out.resize(size);
        if (!readAt(m_text, at, out.data(), size))
            out.fill('\0');
        return out;
    }
    out.reserve(size);
    for (qint64 from = at; from < at + size;) {
        const qint64 index = from / kTextBlock;
        QByteArray* kept = m_textBlocks.object(index);
        if (!kept) {
            kept = new QByteArray(kTextBlock, '\0');
            // The last block may be short: what was never written reads as zeros.
            auto& text = const_cast<QTemporaryFile&>(m_text);
            const qint64 got =
                text.seek(index * kTextBlock) ? text.read(kept->data(), kTextBlock) : -1;
            kept->truncate(std::max<qint64>(got, 0));
            m_textBlocks.insert(index, kept);
        }
        const qint64 inBlock = from - index * kTextBlock;
        const qint64 take = std::min(at + size - from, kTextBlock - inBlock);
        const QByteArray piece = kept->mid(inBlock, take);
        out.append(piece);
        out.append(QByteArray(take - piece.size(), '\0'));
        from += take;
    }
    return out;
}

const QList<qint64>& LogStore::block(qint64 index) const {
    if (const QList<qint64>* kept = m_lineBlocks.object(index))
        return *kept;
    const qint64 first = index * kLinesPerBlock;
    const qint64 count = std::min(kLinesPerBlock, m_endLine - first);
    auto* fresh = new QList<qint64>(std::max<qint64>(count, 0), 0);
    if (count > 0)
        readAt(m_lines, first * kStartSize, reinterpret_cast<char*>(fresh->data()),
               count * kStartSize);
    m_lineBlocks.insert(index, fresh);
    return *fresh;
}

qint64 LogStore::lineStart(qint64 line) const {
    return block(line / kLinesPerBlock).at(line % kLinesPerBlock);
}

qint64 LogStore::lineAt(qint64 position) const {
    const auto after = std::upper_bound(m_blockStarts.cbegin(), m_blockStarts.cend(), position);
    const qint64 index = m_firstBlock + std::max<qint64>(after - m_blockStarts.cbegin() - 1, 0);
    const QList<qint64>& starts = block(index);
    // Only the lines still held count: those before the first were given up.
    const qint64 from = std::max(m_firstLine - index * kLinesPerBlock, qint64(0));
    const auto found = std::upper_bound(starts.cbegin() + from, starts.cend(), position);
    return index * kLinesPerBlock + std::max<qint64>(found - starts.cbegin() - 1, from);
}

bool LogStore::restartAt(qint64 line, qint64 start, qint64 textFrom) {
    m_lineBlocks.clear();
    m_textBlocks.clear();
    if (!writeAt(m_lines, line * kStartSize, reinterpret_cast<const char*>(&start), kStartSize))
        return false;
    release(m_lines, m_firstLine * kStartSize, line * kStartSize);
    release(m_text, 0, textFrom);
    const qint64 firstBlock = line / kLinesPerBlock;
    m_blockStarts.remove(0, std::min<qsizetype>(firstBlock - m_firstBlock, m_blockStarts.size()));
    if (m_blockStarts.isEmpty())
        m_blockStarts.append(start);
    else
        m_blockStarts.first() = start;
    m_firstBlock = firstBlock;
    m_firstLine = line;
    m_endLine = std::max(m_endLine, line + 1);
    return true;
}
