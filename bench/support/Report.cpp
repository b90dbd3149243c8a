#include "Report.h"

#include <cstdio>

namespace {

QString tableRow(const QStringList& cells) {
    return QStringLiteral("| ") + cells.join(QStringLiteral(" | ")) + QStringLiteral(" |");
}

QString ruleUnder(qsizetype columns) {
    QStringList rules;
    for (qsizetype i = 0; i < columns; ++i)
        rules << QStringLiteral("---");
    return tableRow(rules);
}

} // namespace

void Report::addGoal(const QString& goal, const QString& measured, bool met) {
    m_goals.append({goal, measured, met});
}

int Report::finish() const {
    QStringList out;
    out << QStringLiteral("## ") + m_title << QString();
    if (!m_columns.isEmpty()) {
        out << tableRow(m_columns) << ruleUnder(m_columns.size());
        for (const QStringList& row : m_rows)
            out << tableRow(row);
        out << QString();
    }
    for (const QString& note : m_notes)
        out << note << QString();
    bool allMet = true;
    if (!m_goals.isEmpty()) {
        out << tableRow({QStringLiteral("Goal"), QStringLiteral("Measured"), QStringLiteral("")})
            << ruleUnder(3);
        for (const Goal& g : m_goals) {
            out << tableRow(
                {g.goal, g.measured, g.met ? QStringLiteral("met") : QStringLiteral("**MISSED**")});
            allMet = allMet && g.met;
        }
        out << QString();
    }
    std::fputs(qPrintable(out.join(QLatin1Char('\n')) + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
    return allMet ? 0 : 1;
}
