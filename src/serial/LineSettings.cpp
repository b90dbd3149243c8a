#include "LineSettings.h"

#include <QStringList>

QString LineSettings::toString() const {
    return QStringLiteral("%1,%2,%3,%4").arg(speed).arg(parity).arg(dataBits).arg(stopBits);
}

bool LineSettings::operator==(const LineSettings& other) const {
    return speed == other.speed && parity == other.parity && dataBits == other.dataBits &&
           stopBits == other.stopBits;
}

namespace {

std::optional<LineSettings> refuse(QString* problem, const QString& why) {
    if (problem)
        *problem = why;
    return std::nullopt;
}

bool isAllDigits(const QString& s) {
    if (s.isEmpty())
        return false;
    for (const QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

std::optional<LineSettings> parseLineSettings(const QString& text, QString* problem) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return refuse(problem, QStringLiteral("expected speed,parity,data,stop"));

    LineSettings s;
    bool ok = false;
    const qint64 speed = parts[0].toLongLong(&ok);
    if (!isAllDigits(parts[0]) || !ok || speed <= 0 || speed > 0x7FFFFFFF)
        return refuse(problem, QStringLiteral("the speed must be a positive whole number"));
    s.speed = qint32(speed);

    const QString parity = parts[1].toLower();
    if (parity.size() != 1 || !QStringLiteral("neosm").contains(parity))
        return refuse(problem, QStringLiteral("the parity must be n, e, o, s or m"));
    s.parity = parity[0];

    if (parts[2].size() != 1 || parts[2][0] < QLatin1Char('5') || parts[2][0] > QLatin1Char('8'))
        return refuse(problem, QStringLiteral("the data bits must be 5, 6, 7 or 8"));
    s.dataBits = parts[2].toInt();

    if (parts[3] != QLatin1String("1") && parts[3] != QLatin1String("2"))
        return refuse(problem, QStringLiteral("the stop bits must be 1 or 2"));
    s.stopBits = parts[3].toInt();
    return s;
}
