// libFuzzer target for the settings file loader: any file content gives either the file's
// values or the defaults, and the save that follows writes a file that reads back unchanged.

#include "app/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QDateTime kNow(QDate(2026, 12, 5), QTime(14, 3, 9));

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "settings loader: %s\n", what);
        std::abort();
    }
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QString folder = dir.path() + QDir::separator();
    const QString path = folder + settingsFileName();
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".bak"));
    {
        QFile file(path);
        check(file.open(QIODevice::WriteOnly), "cannot write the input");
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }

    SettingsRecord record;
    const LoadOutcome loaded = LoadSettings(record, path, folder, kNow);
    SettingsRecord defaults;
    ResetSettings(defaults, folder, kNow);
    if (loaded.recovered) {
        check(encodeSettings(record) == encodeSettings(defaults), "recovery gave no defaults");
        check(loaded.save.ok, "the defaults could not be written");
    }

    check(SaveSettings(record, path).ok, "the save failed");
    const QByteArray saved = readAll(path);
    const qsizetype records = qsizetype(kRecordLength) * kRecordCount;
    const qsizetype expectedSize =
        loaded.recovered ? records : std::max<qsizetype>(records, qsizetype(size));
    check(saved.size() == expectedSize, "the saved file has the wrong size");
    check(saved.left(records) == encodeSettings(record), "the saved records differ");

    SettingsRecord again;
    check(!LoadSettings(again, path, folder, kNow).recovered, "the saved file reads as broken");
    check(encodeSettings(again) == encodeSettings(record), "the saved file reads back changed");
    return 0;
}
