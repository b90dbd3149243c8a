#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A benchmark's results as Markdown: a table of figures, then each goal with what was measured
// and whether it was met.
class Report {
public:
    explicit Report(const QString& title) : m_title(title) {}

    void setColumns(const QStringList& headers) { m_columns = headers; }
    void addRow(const QStringList& cells) { m_rows << cells; }
    void addNote(const QString& note) { m_notes << note; }
    void addGoal(const QString& goal, const QString& measured, bool met);

    // Prints everything to stdout; 0 when every goal was met, 1 otherwise.
    int finish() const;

private:
    struct Goal {
        QString goal;
        QString measured;
        bool met;
    };
    QString m_title;
    QStringList m_columns;
    QList<QStringList> m_rows;
    QStringList m_notes;
    QList<Goal> m_goals;
};
