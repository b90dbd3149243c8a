#pragma once

#include <QString>

#include <vector>

// What every benchmark shares: the quick setting, medians and number formatting.
namespace bench {

// DUPLINK_BENCH_QUICK=1 asks for shorter runs and fewer repetitions, for a quick try.
bool quick();
template <class T> T fullOrQuick(T full, T quickValue) {
    return quick() ? quickValue : full;
}

double median(std::vector<double> values);
double maximum(const std::vector<double>& values);
// The value p (0 to 1) of the way up the sorted values; 0 for none.
double percentile(std::vector<double> values, double p);

QString fixed(double value, int decimals = 2);
// "12.34 ms"
QString ms(double value);
// "x 12.3", or "-" when the baseline is missing.
QString ratio(double value);
QString megabytes(double bytes);

// Widgets are drawn offscreen unless the caller chose a platform.
void useOffscreenPlatform();

// Progress for the person waiting, on stderr; the tables go to stdout.
void progress(const QString& text);

} // namespace bench
