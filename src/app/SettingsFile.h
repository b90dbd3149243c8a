#pragma once

#include "SettingsRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The settings file: 23 records of 500 bytes, one field each. A text is a little-endian
// 16-bit length and that many bytes of the 8-bit character set; a date is a little-endian
// double counting days since 30 December 1899; an integer is 16 bits, little-endian.
constexpr int kRecordLength = 500;
constexpr int kRecordCount = 23;
constexpr int kMaxTextBytes = kRecordLength - 2;

// "Duplink v.2.1.eng"
QString settingsFileName();

// True when a file or folder of that path exists; a path ending in a separator names a folder.
bool PathExists(const QString& path);

// Every field to its default. The folders are the data folder, or empty when the record
// cannot hold its path (see storableFolder); the date and time are `now`.
void ResetSettings(SettingsRecord& record, const QString& DataFolder, const QDateTime& now);

// A folder as the record can hold it: the path itself, or an empty text when the 8-bit
// character set cannot spell it or it is too long for a record. An empty results folder stands
// for the data folder.
QString storableFolder(const QString& folder);

// The 23 records as they stand in the file. Texts longer than the format holds are cut.
QByteArray encodeSettings(const SettingsRecord& record);

struct FileOutcome {
    bool ok = true;
    QString error; // names the file and the reason when !ok
};

// Writes the record. A file of just the records is replaced whole through a temporary file,
// so a failed save (a full disk) leaves the old file as it was. A longer file (another
// version's data after the records) has its records overwritten in place and the rest kept.
FileOutcome SaveSettings(const SettingsRecord& record, const QString& filePath);

struct LoadOutcome {
    // The file could not be read: the record holds the defaults, written in its place.
    bool recovered = false;
    QString unreadable; // why it could not be opened at all, when that was the trouble
    QString backup;     // where the old file was kept, when it could be
    FileOutcome save;   // how writing the defaults went
    // The file ended early: the missing fields hold their defaults, the file is still short.
    bool incomplete = false;
};

// Reads the file into the record. A file that ends early keeps the fields it has and gives the
// others their defaults; an unreadable one (a text longer than a record can hold, a file that
// cannot be opened or is no regular file) and one that is not this product's and version's (or
// ends before saying so) are moved aside as a backup and replaced by the defaults; only for
// the unreadable one is `unreadable` set.
LoadOutcome LoadSettings(SettingsRecord& record, const QString& filePath, const QString& DataFolder,
                         const QDateTime& now);

// The language the file holds (0 English, 1 Russian), read without changing the file: 0 when it
// cannot be read or is not this program's settings file.
qint16 storedLanguage(const QString& filePath);

// Days since 30 December 1899, the fraction being the time of day.
double toOleDate(const QDateTime& when);
