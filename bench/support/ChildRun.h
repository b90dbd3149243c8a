#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// Measurements that need a process of their own: the benchmark runs itself again with a mode
// argument, and the child reports its figures on stdout.
namespace child {

// Runs this program again with `arguments` and returns what it reported, or an empty map when
// it failed or ran out of time.
QMap<QString, double> runSelf(const QStringList& arguments, int timeoutMs);

// In the child: one figure for the parent.
void report(const QString& key, double value);

} // namespace child
