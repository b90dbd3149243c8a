#include "TimelineDelegate.h"

#include "TimelineModel.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

TimelineDelegate::TimelineDelegate(TimelineModel& model, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model) {}

void TimelineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const QByteArray pattern = m_model.pattern();
    if (index.column() != TimelineModel::BytesColumn || pattern.isEmpty())
        return QStyledItemDelegate::paint(painter, option, index);
    const qint64 row = m_model.fileRow(index.row());
    const TimelineText::Shown shown = m_model.shownAt(row);
    const std::vector<int> matches = TimelineText::matches(shown.searched, pattern);
    if (matches.empty())
        return QStyledItemDelegate::paint(painter, option, index);

    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    item.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const TimelineSearch::Match current = m_model.currentMatch();
    QList<QTextLayout::FormatRange> marks;
    for (const int at : matches) {
        QTextLayout::FormatRange mark;
        mark.start = shown.starts[size_t(at)];
        mark.length = shown.starts[size_t(at) + size_t(pattern.size())] - mark.start;
        const bool isCurrent = current.row == row && current.offset == at;
        mark.format.setBackground(isCurrent ? QColor(255, 150, 50) : QColor(255, 240, 90));
        mark.format.setForeground(Qt::black);
        marks << mark;
    }
    QTextLayout layout(shown.text, item.font);
    layout.setFormats(marks);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    painter->save();
    painter->setClipRect(text);
    const bool selected = item.state & QStyle::State_Selected;
    painter->setPen(selected ? item.palette.color(QPalette::HighlightedText)
                             : index.data(Qt::ForegroundRole).value<QColor>());
    const qreal top = text.top() + (text.height() - line.height()) / 2;
    layout.draw(painter, QPointF(text.left() + 3, top));
    painter->restore();
}

#include "moc_TimelineDelegate.cpp"
