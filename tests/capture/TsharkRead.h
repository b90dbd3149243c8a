#pragma once

#include <QProcess>
#include <QStringList>

// One line per packet of a capture as tshark reads it: the fields asked for, tab-separated.
inline QStringList tsharkRead(const QString& fileName, const QStringList& fields) {
    QStringList arguments = {"-r", fileName, "-T", "fields"};
    for (const QString& field : fields)
        arguments << "-e" << field;
    QProcess tshark;
    tshark.start(QStringLiteral("tshark"), arguments);
    if (!tshark.waitForFinished(60000))
        qFatal("tshark did not finish");
    return QString::fromUtf8(tshark.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}
