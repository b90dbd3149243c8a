#pragma once

#include <QProcess>
#include <QStringList>

// One line per packet of a capture as tshark reads it: the fields asked for, tab-separated.
// `failure`, when given, gets tshark's complaint about the file (empty when it read it whole).
inline QStringList tsharkRead(const QString& fileName, const QStringList& fields,
                              QString* failure = nullptr) {
    QStringList arguments = {"-r", fileName, "-T", "fields"};
    for (const QString& field : fields)
        arguments << "-e" << field;
    QProcess tshark;
    tshark.start(QStringLiteral("tshark"), arguments);
    if (!tshark.waitForFinished(60000))
        qFatal("tshark did not finish");
    if (failure && (tshark.exitStatus() != QProcess::NormalExit || tshark.exitCode() != 0))
        *failure = QString::fromUtf8(tshark.readAllStandardError());
    return QString::fromUtf8(tshark.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}
