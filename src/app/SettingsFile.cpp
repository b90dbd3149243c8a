#include "SettingsFile.h"

#include "capture/FileWriting.h"
#include "terminal/Product.h"
#include "text/AnsiCodePage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <cstring>
#include <variant>

namespace {

using FieldRef = std::variant<QString*, double*, qint16*>;

std::array<FieldRef, kRecordCount> fieldsOf(SettingsRecord& r) {
    std::array<FieldRef, kRecordCount> f = {&r.ProductName, &r.ProductVersion, &r.CreatedFolder,
                                            &r.CreatedDate, &r.CreatedTime,    &r.ResultsFolder,
                                            &r.Reserved1,   &r.Reserved2,      &r.Language};
    for (int c = 0; c < 2; ++c) {
        PortSettings& p = r.Channel[c];
        const int base = 9 + 7 * c;
        f[base + 0] = &p.Port;
        f[base + 1] = &p.SettingsText;
        f[base + 2] = &p.Speed;
        f[base + 3] = &p.Parity;
        f[base + 4] = &p.DataBits;
        f[base + 5] = &p.StopBits;
        f[base + 6] = &p.Flow;
    }
    return f;
}

QByteArray encodeField(const FieldRef& field) {
    QByteArray out;
    if (auto* text = std::get_if<QString*>(&field)) {
        const QByteArray bytes = ansi::encode(**text).left(kMaxTextBytes);
        quint16 length = qToLittleEndian(quint16(bytes.size()));
        out.append(reinterpret_cast<const char*>(&length), 2);
        out.append(bytes);
    } else if (auto* date = std::get_if<double*>(&field)) {
        quint64 bits = 0;
        std::memcpy(&bits, *date, sizeof bits);
        bits = qToLittleEndian(bits);
        out.append(reinterpret_cast<const char*>(&bits), 8);
    } else {
        quint16 value = qToLittleEndian(quint16(*std::get<qint16*>(field)));
        out.append(reinterpret_cast<const char*>(&value), 2);
    }
    return out;
}

enum class Decoded { Ok, Missing, Unreadable };

// Reads one field from the start of its record; `record` holds whatever of the record the
// file has.
Decoded decodeField(const QByteArray& record, const FieldRef& field) {
    const auto* data = reinterpret_cast<const uchar*>(record.constData());
    if (auto* text = std::get_if<QString*>(&field)) {
        if (record.size() < 2)
            return Decoded::Missing;
        const quint16 length = qFromLittleEndian<quint16>(data);
        if (length > kMaxTextBytes)
            return Decoded::Unreadable;
        if (record.size() < 2 + length)
            return Decoded::Missing;
        **text = ansi::decode(record.mid(2, length));
    } else if (auto* date = std::get_if<double*>(&field)) {
        if (record.size() < 8)
            return Decoded::Missing;
        const quint64 bits = qFromLittleEndian<quint64>(data);
        std::memcpy(*date, &bits, sizeof bits);
    } else {
        if (record.size() < 2)
            return Decoded::Missing;
        *std::get<qint16*>(field) = qint16(qFromLittleEndian<quint16>(data));
    }
    return Decoded::Ok;
}

bool endsWithSeparator(const QString& path) {
    return path.endsWith(QLatin1Char('/')) || path.endsWith(QDir::separator());
}

// The records of the file, or why they cannot be read.
QByteArray readRecords(const QString& filePath, QString& unreadable) {
    // Anything but a regular file (a FIFO would block the open for ever) counts as unreadable.
    QFile file(filePath);
    if (!QFileInfo(filePath).isFile())
        unreadable = QStringLiteral("not a regular file");
    else if (!file.open(QIODevice::ReadOnly))
        unreadable = file.errorString();
    else
        return file.read(qint64(kRecordLength) * kRecordCount);
    return {};
}

} // namespace

QString settingsFileName() {
    return kProductName + QLatin1Char(' ') + kProductVersion + QStringLiteral(".eng");
}

bool PathExists(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return endsWithSeparator(path) ? info.isDir() : info.exists();
}

double toOleDate(const QDateTime& when) {
    static const QDate epoch(1899, 12, 30);
    const double days = double(epoch.daysTo(when.date()));
    return days + when.time().msecsSinceStartOfDay() / 86400000.0;
}

QString storableFolder(const QString& folder) {
    for (const QChar c : folder) {
        if (ansi::codeOf(c) < 0)
            return {};
    }
    return folder.size() <= kMaxTextBytes ? folder : QString();
}

void ResetSettings(SettingsRecord& r, const QString& DataFolder, const QDateTime& now) {
    r.ProductName = kProductName;
    r.ProductVersion = kProductVersion;
    r.CreatedFolder = storableFolder(DataFolder);
    r.CreatedDate = toOleDate(QDateTime(now.date(), QTime(0, 0)));
    r.CreatedTime = now.time().toString(QStringLiteral("HH:mm:ss"));
    r.ResultsFolder = r.CreatedFolder;
    r.Reserved1 = 0;
    r.Reserved2 = 1;
    r.Language = 0;
    for (int c = 0; c < 2; ++c) {
        r.Channel[c] = PortSettings{QString::number(c + 1), QStringLiteral("9600,n,8,1"),
                                    QStringLiteral("9600"), QStringLiteral("n"),
                                    QStringLiteral("8"),    QStringLiteral("1"),
                                    QStringLiteral("0")};
    }
}

QByteArray encodeSettings(const SettingsRecord& record) {
    SettingsRecord copy = record;
    QByteArray out(kRecordLength * kRecordCount, '\0');
    int n = 0;
    for (const FieldRef& field : fieldsOf(copy)) {
        const QByteArray bytes = encodeField(field);
        std::memcpy(out.data() + n * kRecordLength, bytes.constData(), size_t(bytes.size()));
        ++n;
    }
    return out;
}

FileOutcome SaveSettings(const SettingsRecord& record, const QString& filePath) {
    const QByteArray content = encodeSettings(record);
    const QFileInfo old(filePath);
    const QString error = old.isFile() && old.size() > content.size()
                              ? overwriteFileStart(filePath, content)
                              : replaceWholeFile(filePath, content);
    if (error.isEmpty())
        return {};
    return FileOutcome{false,
                       QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(filePath), error)};
}

LoadOutcome LoadSettings(SettingsRecord& record, const QString& filePath, const QString& DataFolder,
                         const QDateTime& now) {
    SettingsRecord defaults;
    ResetSettings(defaults, DataFolder, now);
    LoadOutcome outcome;

    const QByteArray content = readRecords(filePath, outcome.unreadable);

    bool readable = outcome.unreadable.isEmpty();
    bool productKnown = true;
    SettingsRecord loaded;
    const auto targets = fieldsOf(loaded);
    const auto fallbacks = fieldsOf(defaults);
    for (int n = 0; readable && n < kRecordCount; ++n) {
        const QByteArray rec = content.mid(qsizetype(n) * kRecordLength, kRecordLength);
        switch (decodeField(rec, targets[size_t(n)])) {
        case Decoded::Ok:
            break;
        case Decoded::Missing:
            outcome.incomplete = true;
            productKnown = productKnown && n >= 2;
            std::visit([&](auto* to) { *to = *std::get<decltype(to)>(fallbacks[size_t(n)]); },
                       targets[size_t(n)]);
            break;
        case Decoded::Unreadable:
            readable = false;
            break;
        }
    }
    // Another product's or version's file, or one ending before it says whose it is, is no
    // settings file of this program, though it may be something of value: it is kept as an
    // unreadable one is. An empty file holds nothing to keep.
    const bool ours = productKnown && loaded.ProductName == kProductName &&
                      loaded.ProductVersion == kProductVersion;
    if (readable && (ours || content.isEmpty())) {
        record = loaded;
        return outcome;
    }
    record = defaults;
    outcome.recovered = true;
    outcome.incomplete = false;
    // The old file is kept beside the new one rather than deleted: it may be the user's only
    // copy of settings that a permission slip made unreadable. A link is moved aside whole, so
    // that whatever it leads to is never overwritten.
    outcome.backup = moveAside(filePath);
    if (outcome.backup.isEmpty())
        QFile::remove(filePath);
    outcome.save = SaveSettings(record, filePath);
    return outcome;
}

qint16 storedLanguage(const QString& filePath) {
    QString unreadable;
    const QByteArray content = readRecords(filePath, unreadable);
    SettingsRecord stored;
    const auto fields = fieldsOf(stored);
    for (const size_t n : {size_t(0), size_t(1), size_t(8)}) {
        if (decodeField(content.mid(qsizetype(n) * kRecordLength, kRecordLength), fields[n]) !=
            Decoded::Ok)
            return 0;
    }
    const bool ours =
        stored.ProductName == kProductName && stored.ProductVersion == kProductVersion;
    return ours && stored.Language == 1 ? 1 : 0;
}
