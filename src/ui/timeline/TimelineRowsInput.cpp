// TimelineWindow's rows: which rows of the file the table holds (those in view), the selection
// and the current row as rows of the file, and the keys, wheel and mouse that move through them.

#include "TimelineModel.h"
#include "TimelineWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>

int TimelineWindow::fullRows() const {
    return std::max(1, m_table->viewport()->height() /
                           m_table->verticalHeader()->defaultSectionSize());
}

void TimelineWindow::fitRows() {
    const int page = fullRows();
    m_scroll->setRange(0, int(std::max<qint64>(0, m_model->rows() - page)));
    m_scroll->setPageStep(page);
    showRowsFrom(m_scroll->value());
}

void TimelineWindow::showRowsFrom(qint64 first) {
    // One row more than fits, shown in part at the bottom.
    m_model->showRows(first, fullRows() + 1);
    showSelection();
}

void TimelineWindow::bringIntoView(qint64 row, bool centre) {
    const int page = fullRows();
    qint64 first = m_model->firstShown();
    if (centre)
        first = row - page / 2;
    else if (row < first)
        first = row;
    else if (row >= first + page)
        first = row - page + 1;
    m_scroll->setValue(int(std::clamp<qint64>(first, 0, m_scroll->maximum())));
    showRowsFrom(m_scroll->value());
}

void TimelineWindow::showSelection() {
    const qint64 first = m_model->firstShown();
    const int count = m_model->rowCount();
    QItemSelection selection;
    for (const auto& [from, end] : m_selection.within(first, first + count))
        selection.select(m_model->index(int(from - first), 0),
                         m_model->index(int(end - first - 1), TimelineModel::ColumnCount - 1));
    QItemSelectionModel* shown = m_table->selectionModel();
    shown->select(selection, QItemSelectionModel::ClearAndSelect);
    const int column = std::max(m_table->currentIndex().column(), 0);
    const bool inView = m_current >= first && m_current < first + count;
    shown->setCurrentIndex(inView ? m_model->index(int(m_current - first), column) : QModelIndex(),
                           QItemSelectionModel::NoUpdate);
    // The table holds no more rows than it shows: it never scrolls them itself.
    m_table->verticalScrollBar()->setValue(0);
}

void TimelineWindow::selectOnly(qint64 row, bool centre) {
    m_selection.clear();
    m_selection.add(row, row + 1);
    m_current = m_anchor = row;
    bringIntoView(row, centre);
}

void TimelineWindow::moveCurrent(qint64 row, Qt::KeyboardModifiers modifiers) {
    if (m_model->rows() == 0)
        return;
    row = std::clamp<qint64>(row, 0, m_model->rows() - 1);
    if (modifiers & Qt::ControlModifier) {
        if (m_selection.contains(row))
            m_selection.remove(row, row + 1);
        else
            m_selection.add(row, row + 1);
        m_current = m_anchor = row;
    } else if ((modifiers & Qt::ShiftModifier) && m_anchor >= 0) {
        m_selection.clear();
        m_selection.add(std::min(m_anchor, row), std::max(m_anchor, row) + 1);
        m_current = row;
    } else {
        return selectOnly(row);
    }
    bringIntoView(row, false);
}

bool TimelineWindow::rowsKey(QKeyEvent* key) {
    if (key->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(selectedText());
        return true;
    }
    if (key->matches(QKeySequence::SelectAll)) {
        m_selection.clear();
        m_selection.add(0, m_model->rows());
        showSelection();
        return true;
    }
    const qint64 from = m_current >= 0 ? m_current : m_model->firstShown();
    const qint64 page = fullRows();
    // Arrows and paging move the current row; Home and End go to either end of the file.
    const Qt::KeyboardModifiers select = key->modifiers() & Qt::ShiftModifier;
    switch (key->key()) {
    case Qt::Key_Up:
        moveCurrent(m_current >= 0 ? from - 1 : from, select);
        return true;
    case Qt::Key_Down:
        moveCurrent(m_current >= 0 ? from + 1 : from, select);
        return true;
    case Qt::Key_PageUp:
        moveCurrent(from - page, select);
        return true;
    case Qt::Key_PageDown:
        moveCurrent(from + page, select);
        return true;
    case Qt::Key_Home:
        moveCurrent(0, select);
        return true;
    case Qt::Key_End:
        moveCurrent(m_model->rows() - 1, select);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
        // Rows are chosen whole: sideways only the columns move.
        m_table->horizontalScrollBar()->triggerAction(key->key() == Qt::Key_Left
                                                          ? QAbstractSlider::SliderSingleStepSub
                                                          : QAbstractSlider::SliderSingleStepAdd);
        return true;
    default:
        break;
    }
    // Typing would select a row by its text among those in view only.
    return !key->text().isEmpty() && key->text().front().isPrint() &&
           !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

qint64 TimelineWindow::rowAtY(int y) const {
    const int height = m_table->verticalHeader()->defaultSectionSize();
    return m_model->firstShown() + (y < 0 ? -1 - (-y - 1) / height : y / height);
}

bool TimelineWindow::rowsMouse(QEvent* event) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const qint64 row = rowAtY(mouse->position().toPoint().y());
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // Any button would have the table select rows of its own.
        m_table->setFocus(Qt::MouseFocusReason);
        if (mouse->button() != Qt::LeftButton)
            return true;
        if (row < m_model->rows()) {
            moveCurrent(row, mouse->modifiers());
            m_dragging = true;
        }
        return true;
    case QEvent::MouseMove:
        // Dragging past the top or the bottom moves on a row at a time.
        if (m_dragging && (mouse->buttons() & Qt::LeftButton))
            moveCurrent(row, Qt::ShiftModifier);
        return m_dragging;
    case QEvent::MouseButtonRelease:
        return std::exchange(m_dragging, false);
    default:
        return false;
    }
}

bool TimelineWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table && event->type() == QEvent::KeyPress)
        return rowsKey(static_cast<QKeyEvent*>(event));
    if (watched == m_table->viewport()) {
        switch (event->type()) {
        case QEvent::Wheel:
            if (static_cast<QWheelEvent*>(event)->angleDelta().y() == 0)
                return false;
            QApplication::sendEvent(m_scroll, event);
            return true;
        case QEvent::Resize:
            fitRows();
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            return rowsMouse(event);
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
