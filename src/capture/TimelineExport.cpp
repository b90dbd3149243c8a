#include "TimelineExport.h"

#include "CaptureCsv.h"

#include <QElapsedTimer>

namespace {

const QByteArray lineEnd = QByteArrayLiteral("\r\n");

} // namespace

TimelineExport::TimelineExport(const TimelineIndex& index, Timeline::Categories shown,
                               const QString& target)
    : m_index(index), m_cursor(index.fileName()), m_shown(shown), m_target(target),
      m_writer(target) {
    m_problem = m_writer.write(CaptureCsv::header().toUtf8() + lineEnd);
}

TimelineExport::Step TimelineExport::writeOn(int budgetMilliseconds, bool indexComplete) {
    if (!m_problem.isEmpty())
        return Step::Failed;
    QElapsedTimer clock;
    clock.start();
    // While the index reads on, the rows of its last places may still grow.
    const size_t places = m_index.places().size();
    const size_t settled = indexComplete ? places : (places >= 2 ? places - 2 : 0);
    const QStringList portNames = m_index.portNames();
    QByteArray text;
    while (m_place < settled && clock.elapsed() < budgetMilliseconds) {
        for (const TimelineRow& row : m_cursor.rowsAt(m_index, m_place)) {
            if (!(m_shown & (1u << Timeline::category(row))))
                continue;
            text += CaptureCsv::line(row, portNames.value(row.port)).toUtf8() + lineEnd;
            ++m_rows;
        }
        ++m_place;
    }
    m_problem = m_writer.write(text);
    if (m_problem.isEmpty() && indexComplete && m_place == places)
        m_problem = m_writer.finish();
    if (!m_problem.isEmpty())
        return Step::Failed;
    return indexComplete && m_place == places ? Step::Done : Step::Writing;
}

int TimelineExport::percent() const {
    const size_t places = m_index.places().size();
    return places == 0 ? 0 : int(m_place * 100 / places);
}
