#include "PortMap.h"

#include "PortDevice.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>

#include <algorithm>
#include <array>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Every problem is counted; only the first few are put into words, so that the message
// naming them fits on a screen however broken the file is.
class Problems {
public:
    void add(const QString& problem) {
        if (m_named.size() < kPortMapProblemsNamed)
            m_named << problem;
        else
            ++m_more;
    }
    QStringList lines() const {
        QStringList all = m_named;
        if (m_more > 0)
            all << QStringLiteral("and %1 more").arg(QLocale(QLocale::English).toString(m_more));
        return all;
    }

private:
    QStringList m_named;
    qint64 m_more = 0;
};

struct Entry {
    QString device;
    qsizetype line = 0; // 0: no line gives this port
};
using Entries = std::array<Entry, kLastPort + 1>;

bool isControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

// A text from the file as a message shows it: cut when long, control characters made visible
// as '?' so that none of them reaches a terminal.
QString shown(const QString& text) {
    constexpr qsizetype kLongest = 60;
    QString out = text.size() > kLongest ? text.left(kLongest) + QStringLiteral("...") : text;
    std::replace_if(out.begin(), out.end(), isControl, QLatin1Char('?'));
    return out;
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + shown(text) + QLatin1Char('"');
}

// The port number of a key COM1 to COM16 (any case, one or two digits), else 0.
int portOf(const QString& key) {
    if (key.size() < 4 || key.size() > 5 ||
        !key.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return 0;
    int n = 0;
    for (qsizetype i = 3; i < key.size(); ++i) {
        const char16_t c = key[i].unicode();
        if (c < u'0' || c > u'9')
            return 0;
        n = n * 10 + (c - u'0');
    }
    return n >= kFirstPort && n <= kLastPort ? n : 0;
}

void parseLine(const QByteArray& raw, qsizetype number, Entries& entries, Problems& problems) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = QString(utf8.decode(raw)).trimmed();
    if (utf8.hasError()) {
        problems.add(QStringLiteral("line %1 is no UTF-8 text").arg(number));
        return;
    }
    if (text.isEmpty() || text.startsWith(QLatin1Char('#')) || text.startsWith(QLatin1Char(';')))
        return;
    if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']')))
        return;
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0) {
        problems.add(
            QStringLiteral("line %1, %2, is no entry (COMn=device)").arg(number).arg(quoted(text)));
        return;
    }
    const QString key = text.left(equals).trimmed();
    const QString device = text.mid(equals + 1).trimmed();
    const int n = portOf(key);
    if (n == 0) {
        problems.add(QStringLiteral("line %1: %2 is no port (COM%3 to COM%4)")
                         .arg(number)
                         .arg(quoted(key))
                         .arg(kFirstPort)
                         .arg(kLastPort));
    } else if (device.isEmpty()) {
        problems.add(QStringLiteral("line %1: COM%2 names no device").arg(number).arg(n));
    } else if (std::any_of(device.cbegin(), device.cend(), isControl)) {
        problems.add(QStringLiteral("line %1: COM%2's device %3 holds a control character")
                         .arg(number)
                         .arg(n)
                         .arg(quoted(device)));
    } else {
        Entry& entry = entries[size_t(n)];
        if (entry.line)
            problems.add(
                QStringLiteral("line %1: COM%2 again (line %3 gave it too); this line is used")
                    .arg(number)
                    .arg(n)
                    .arg(entry.line));
        entry = {device, number};
    }
}

// One pass over the lines, so that the time taken grows with the file's size alone.
void parse(const QByteArray& content, Entries& entries, Problems& problems) {
    qsizetype number = 0;
    for (qsizetype start = 0; start < content.size();) {
        qsizetype end = content.indexOf('\n', start);
        if (end < 0)
            end = content.size();
        parseLine(content.mid(start, end - start), ++number, entries, problems);
        start = end + 1;
    }
}

PortMap mapOf(const Entries& entries, const Problems& problems) {
    PortMap map;
    for (qint16 n = kFirstPort; n <= kLastPort; ++n) {
        if (entries[size_t(n)].line)
            map.devices.insert(n, entries[size_t(n)].device);
    }
    map.problems = problems.lines();
    return map;
}

QString tooLarge(qint64 size) {
    return QStringLiteral("it is %1 bytes long, more than a port map's 1 MB; it is not read")
        .arg(QLocale(QLocale::English).toString(size));
}

const QString kNotRegular = QStringLiteral("it is no regular file; it is not read");

#ifdef Q_OS_UNIX
QString unreadable(int error) {
    return QStringLiteral("it cannot be read (%1)")
        .arg(QString::fromLocal8Bit(std::strerror(error)));
}
#endif

// Reads the whole file into `content`; a missing file reads as empty. Returns why the file is
// not read, or an empty text. Nothing but a regular file is opened: a FIFO would block the open
// for ever, and opening a serial device can change its lines.
QString readWhole(const QString& path, QByteArray& content) {
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::lstat(name.constData(), &status) != 0)
        return errno == ENOENT || errno == ENOTDIR ? QString() : unreadable(errno);
    if (S_ISLNK(status.st_mode) && ::stat(name.constData(), &status) != 0) {
        if (errno == ELOOP)
            return QStringLiteral("it is a link that leads round in a loop; it is not read");
        return QStringLiteral("it is a link to %1, which is not there; it is not read")
            .arg(shown(QFileInfo(path).symLinkTarget()));
    }
    if (!S_ISREG(status.st_mode))
        return kNotRegular;
    if (status.st_size > kPortMapMaxBytes)
        return tooLarge(status.st_size);
    // Non-blocking all the same, in case something else was put there in the meantime.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return unreadable(errno);
    QString refusal;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        refusal = kNotRegular;
    } else {
        content.resize(kPortMapMaxBytes + 1);
        qsizetype got = 0;
        while (got < content.size()) {
            const ssize_t n = ::read(fd, content.data() + got, size_t(content.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                refusal = unreadable(errno);
            if (n <= 0)
                break;
            got += n;
        }
        content.truncate(got);
        if (refusal.isEmpty() && got > kPortMapMaxBytes)
            refusal = tooLarge(got);
    }
    ::close(fd);
    if (!refusal.isEmpty())
        content.clear();
    return refusal;
#else
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (!info.isFile())
        return kNotRegular;
    if (info.size() > kPortMapMaxBytes)
        return tooLarge(info.size());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    content = file.read(kPortMapMaxBytes + 1);
    if (content.size() > kPortMapMaxBytes) {
        content.clear();
        return tooLarge(file.size());
    }
    return {};
#endif
}

} // namespace

PortMap parsePortMap(const QByteArray& content) {
    Entries entries;
    Problems problems;
    parse(content, entries, problems);
    return mapOf(entries, problems);
}

PortMap readPortMap(const QString& path) {
    QByteArray content;
    const QString refusal = readWhole(path, content);
    if (!refusal.isEmpty())
        return PortMap{{}, {refusal}};
    Entries entries;
    Problems problems;
    parse(content, entries, problems);
    for (qint16 n = kFirstPort; n <= kLastPort; ++n) {
        const Entry& entry = entries[size_t(n)];
        if (entry.line && !isNetworkDevice(entry.device) && !QFileInfo::exists(entry.device))
            problems.add(QStringLiteral("line %1: COM%2: %3 is not there now")
                             .arg(entry.line)
                             .arg(n)
                             .arg(shown(entry.device)));
    }
    return mapOf(entries, problems);
}
