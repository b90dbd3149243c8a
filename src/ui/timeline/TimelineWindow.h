#pragma once

#include "RowRanges.h"
#include "capture/TimelineSearch.h"
#include "terminal/Seams.h"

#include <QTimer>
#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QMouseEvent;
class QPushButton;
class QScrollBar;
class QSpinBox;
class QTableView;
class QTimeEdit;
class SearchBar;
class TimelineExport;
class TimelineModel;

// A window of its own showing a capture as a timeline: one row for each piece of the exchange in
// time order, filtered by port and direction, searched, copied, exported as CSV. It follows the
// session's capture as it is written (or says that capture is off), or shows a saved one.
//
// Its table holds only the rows in view: the window's own scroll bar ranges over all rows of the
// file and says which rows those are, and the keys, the wheel and the mouse move through the file
// and select its rows here, so nothing the table keeps grows with the file.
class TimelineWindow : public QWidget {
    Q_OBJECT
public:
    explicit TimelineWindow(QWidget* parent = nullptr);
    ~TimelineWindow() override;

    // The save-file chooser and message box of the desktop.
    void useSeams(const Seams& seams) { m_seams = seams; }
    // The captions in the language given (0 English, 1 Russian).
    void setLanguage(qint16 language);

    // The session's capture went on (writing the file) or off: follows it.
    void showCapture(bool on, const QString& fileName);
    // Shows a saved capture.
    void openFile(const QString& fileName);

    // The text of the selected rows, one a line, columns separated by tabs.
    QString selectedText();
    // Selects the first shown row at or after the time of day (on the capture's first day).
    void goToTime(const QTime& time);
    // Asks for a file and writes the rows shown into it as CSV, a slice at a time.
    void exportCsv();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls(QHBoxLayout* row);
    void open(const QString& fileName);
    void readOn();
    void showPorts();
    void applyFilter();
    void showStatus();
    void searchChanged();
    void find(bool forward);
    void searchOn();
    void showMatchCount();
    void exportOn();

    // TimelineRowsInput.cpp: the rows in view, the selection, keys and mouse.
    int fullRows() const;
    void fitRows();
    void showRowsFrom(qint64 first);
    void bringIntoView(qint64 row, bool centre);
    void showSelection();
    void selectOnly(qint64 row, bool centre = false);
    void moveCurrent(qint64 row, Qt::KeyboardModifiers modifiers);
    bool rowsKey(QKeyEvent* key);
    bool rowsMouse(QEvent* event);
    qint64 rowAtY(int y) const;

    Seams m_seams;
    qint16 m_language = 0;
    TimelineModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QScrollBar* m_scroll = nullptr;
    QLabel* m_status = nullptr;
    QComboBox* m_timeMode = nullptr;
    QComboBox* m_bytesMode = nullptr;
    QSpinBox* m_gap = nullptr;
    QLabel* m_timeLabel = nullptr;
    QLabel* m_bytesLabel = nullptr;
    QLabel* m_gapLabel = nullptr;
    QLabel* m_goToLabel = nullptr;
    QPushButton* m_go = nullptr;
    QPushButton* m_export = nullptr;
    QHBoxLayout* m_portBoxes = nullptr;
    QList<QCheckBox*> m_ports;
    QCheckBox* m_received = nullptr;
    QCheckBox* m_sent = nullptr;
    QCheckBox* m_other = nullptr;
    QTimeEdit* m_goTo = nullptr;
    SearchBar* m_searchBar = nullptr;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer m_reading;   // reads on while the file has more, then looks for growth now and then
    QTimer m_searching; // counts matches and steps to the next, a slice at a time
    QTimer m_exporting; // writes the CSV a slice at a time
    std::unique_ptr<TimelineSearch> m_search;
    std::unique_ptr<TimelineExport> m_exportRun;
    QString m_exportStatus;
    bool m_readingMore = false;
    bool m_finding = false;
    bool m_followsCapture = false;
    bool m_captureOn = false;
    // The selection and the current row, as rows of the file.
    RowRanges m_selection;
    qint64 m_current = -1;
    qint64 m_anchor = -1;
    bool m_dragging = false;
};
