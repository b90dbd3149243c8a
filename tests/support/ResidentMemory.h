#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

// A figure in kilobytes from a process's /proc status ("self" or a pid; VmRSS, VmHWM...); -1
// where the system does not say.
inline qint64 processStatusKilobytes(const QString& process, const QByteArray& field) {
    QFile status(QStringLiteral("/proc/%1/status").arg(process));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// This process's resident memory now (VmRSS), in bytes; 0 where the system does not say.
inline qint64 residentBytes() {
    const qint64 kilobytes = processStatusKilobytes(QStringLiteral("self"), "VmRSS");
    return kilobytes < 0 ? 0 : kilobytes * 1024;
}
