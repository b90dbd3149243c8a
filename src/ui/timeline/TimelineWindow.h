#pragma once

#include "capture/TimelineSearch.h"

#include <QTimer>
#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QHBoxLayout;
class QLabel;
class QSpinBox;
class QTableView;
class QTimeEdit;
class SearchBar;
class TimelineModel;

// A window of its own showing a capture as a timeline: one row for each piece of the exchange in
// time order, filtered by port and direction, searched, copied. It follows the session's capture
// as it is written (or says that capture is off), or shows a saved one.
class TimelineWindow : public QWidget {
    Q_OBJECT
public:
    explicit TimelineWindow(QWidget* parent = nullptr);
    ~TimelineWindow() override;

    // The session's capture went on (writing the file) or off: follows it.
    void showCapture(bool on, const QString& fileName);
    // Shows a saved capture.
    void openFile(const QString& fileName);

    // The text of the selected rows, one a line, columns separated by tabs.
    QString selectedText() const;
    // Selects the first shown row at or after the time of day (on the capture's first day).
    void goToTime(const QTime& time);

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

    TimelineModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_status = nullptr;
    QComboBox* m_timeMode = nullptr;
    QComboBox* m_bytesMode = nullptr;
    QSpinBox* m_gap = nullptr;
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
    std::unique_ptr<TimelineSearch> m_search;
    bool m_finding = false;
    bool m_followsCapture = false;
    bool m_captureOn = false;
};
