#include "ChildRun.h"

#include <QCoreApplication>
#include <QProcess>

#include <cstdio>

namespace child {

namespace {
const QByteArray kMarker = "RESULT ";
}

QMap<QString, double> runSelf(const QStringList& arguments, int timeoutMs) {
    QProcess process;
    process.setReadChannel(QProcess::StandardOutput);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationFilePath(), arguments);
    QMap<QString, double> results;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return results;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return results;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (!line.startsWith(kMarker))
            continue;
        const QList<QByteArray> parts = line.mid(kMarker.size()).split(' ');
        if (parts.size() == 2)
            results.insert(QString::fromLatin1(parts[0]), parts[1].toDouble());
    }
    return results;
}

void report(const QString& key, double value) {
    std::printf("%s%s %.17g\n", kMarker.constData(), qPrintable(key), value);
    std::fflush(stdout);
}

} // namespace child
