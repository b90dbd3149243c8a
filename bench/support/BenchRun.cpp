#include "BenchRun.h"

#include <QtGlobal>

#include <algorithm>
#include <cstdio>

namespace bench {

bool quick() {
    const QByteArray value = qgetenv("DUPLINK_BENCH_QUICK");
    return !value.isEmpty() && value != "0";
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double maximum(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

QString fixed(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

QString ms(double value) {
    return fixed(value, 2) + QStringLiteral(" ms");
}

QString ratio(double value) {
    if (!(value > 0))
        return QStringLiteral("-");
    return QStringLiteral("x ") + fixed(value, value >= 100 ? 0 : 1);
}

QString megabytes(double bytes) {
    return fixed(bytes / 1e6, 1) + QStringLiteral(" MB");
}

void useOffscreenPlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void progress(const QString& text) {
    std::fprintf(stderr, "  %s\n", qPrintable(text));
    std::fflush(stderr);
}

} // namespace bench
