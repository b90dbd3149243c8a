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

// Every field to its default. The folders are the data folder; the date and time are `now`.
void ResetSettings(SettingsRecord& record, const QString& DataFolder, const QDateTime& now);

// The 23 records as they stand in the file. Texts longer than the format holds are cut.
QByteArray encodeSettings(const SettingsRecord& record);

struct FileOutcome {
    bool ok = true;
    QString error; // names the file and the reason when !ok
};

// Writes the record through a temporary file renamed over the old one, so the file on disk is
// always whole; whatever an old file holds past the last record is kept.
FileOutcome SaveSettings(const SettingsRecord& record, const QString& filePath);

struct LoadOutcome {
    bool recovered = false; // the file was unreadable: defaults were written in its place
    FileOutcome save;       // how writing those defaults went
};

// Reads the file into the record. A file that ends early keeps the fields it has and gives
// the others their defaults; an unreadable one (a text longer than a record can hold, or a
// file that cannot be opened) is replaced by the defaults.
LoadOutcome LoadSettings(SettingsRecord& record, const QString& filePath, const QString& DataFolder,
                         const QDateTime& now);

// Days since 30 December 1899, the fraction being the time of day.
double toOleDate(const QDateTime& when);
