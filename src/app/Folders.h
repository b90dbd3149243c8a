#pragma once

#include <QDate>
#include <QString>

// Creates a folder with any missing parents; returns an empty text, or what went wrong.
QString createFolder(const QString& path);

// The folder for this year inside the results folder, and this month's inside that one.
QString yearFolder(const QString& resultsFolder, const QDate& today);
QString monthFolder(const QString& resultsFolder, const QDate& today);
