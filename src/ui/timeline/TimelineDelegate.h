#pragma once

#include <QStyledItemDelegate>

class TimelineModel;

// Paints the bytes column with every match of the search marked, the current one apart.
class TimelineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TimelineDelegate(TimelineModel& model, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    TimelineModel& m_model;
};
