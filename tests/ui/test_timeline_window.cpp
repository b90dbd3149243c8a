#include "capture/CaptureFile.h"
#include "ui/timeline/TimelineWindow.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

using RtacSerial::Event;
namespace Line = RtacSerial::Line;

namespace {

const QStringList portNames = {QStringLiteral("COM1 (/dev/ttyUSB0)"),
                               QStringLiteral("COM2 (/dev/ttyUSB1)")};
const qint64 start = 1765029802417000; // 2025-12-06 14:03:22.417 UTC
constexpr qint64 ms = 1000;

QList<CaptureEntry> session() {
    return {
        {0, Event::StatusChange, Line::dtr, {}, "opened /dev/ttyUSB0 9600,n,8,1", start},
        {0, Event::DataTransmitted, Line::dtr, "ATI3\r", {}, start + 1 * ms},
        {0, Event::DataReceived, Line::dtr, "\r\nOK", {}, start + 30 * ms},
        {0, Event::DataReceived, Line::dtr, "\r\n", {}, start + 40 * ms},
        {1, Event::DataTransmitted, 0, "\r\nOK\r\n\xcf", {}, start + 41 * ms},
        {1, Event::StatusChange, Line::cts, {}, {}, start + 1500 * ms},
    };
}

} // namespace

class TimelineWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void showsRowsFilteredAndTimedAsChosen();
    void searchFindsAndMarksEveryMatch();
    void copiesTheSelectedRowsAndGoesToATime();
    void followsTheCaptureAsItIsWritten();

private:
    QTableView* table() const { return m_window->findChild<QTableView*>("timelineRows"); }
    QStringList column(int column) const;
    QString status() const { return m_window->findChild<QLabel*>("timelineStatus")->text(); }

    QTemporaryDir m_dir;
    QString m_saved;
    std::unique_ptr<TimelineWindow> m_window;
};

QStringList TimelineWindowTest::column(int column) const {
    QStringList cells;
    const QAbstractItemModel* model = table()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        cells << model->index(row, column).data().toString();
    return cells;
}

void TimelineWindowTest::initTestCase() {
    qputenv("TZ", "UTC");
    ::tzset();
    m_saved = m_dir.filePath("saved.pcapng");
    {
        CaptureFile file(m_saved, portNames);
        for (const CaptureEntry& entry : session())
            file.append(entry);
    }
    m_window = std::make_unique<TimelineWindow>();
    m_window->openFile(m_saved);
    m_window->show();
    QTRY_COMPARE(table()->model()->rowCount(), 6);
}

void TimelineWindowTest::showsRowsFilteredAndTimedAsChosen() {
    QCOMPARE(column(1), QStringList({"COM1", "COM1", "COM1", "COM1", "COM2", "COM2"}));
    QCOMPARE(column(2), QStringList({"remark", "lines", "sent", "received", "sent", "lines"}));
    QCOMPARE(column(3), QStringList({"opened /dev/ttyUSB0 9600,n,8,1", "DTR on", "ATI3\u240D",
                                     "\u240D\u240AOK\u240D\u240A",
                                     "\u240D\u240AOK\u240D\u240A\u041F", "CTS on"}));
    auto* bytes = m_window->findChild<QComboBox*>("bytesMode");
    bytes->setCurrentIndex(2);
    QCOMPARE(column(3).at(4), "0D 0A 4F 4B 0D 0A CF");
    bytes->setCurrentIndex(0);

    auto* time = m_window->findChild<QComboBox*>("timeMode");
    QCOMPARE(column(0).mid(2, 3), QStringList({"14:03:22.418", "14:03:22.447", "14:03:22.458"}));
    time->setCurrentIndex(1);
    QCOMPARE(column(0).mid(4, 2), QStringList({"+00:00:00.041", "+00:00:01.500"}));
    time->setCurrentIndex(2);
    QCOMPARE(column(0).mid(4, 2), QStringList({"+0.011", "+1.459"}));
    time->setCurrentIndex(0);

    // With no gap the answer is in two rows.
    auto* gap = m_window->findChild<QSpinBox*>("gapBox");
    gap->setValue(5);
    QTRY_COMPARE(column(3).value(3), "\u240D\u240AOK");
    QCOMPARE(table()->model()->rowCount(), 7);
    gap->setValue(20);
    QTRY_COMPARE(table()->model()->rowCount(), 6);

    m_window->findChild<QCheckBox*>("showPort2")->setChecked(false);
    QCOMPARE(column(2), QStringList({"remark", "lines", "sent", "received"}));
    m_window->findChild<QCheckBox*>("showPort2")->setChecked(true);
    m_window->findChild<QCheckBox*>("showSent")->setChecked(false);
    m_window->findChild<QCheckBox*>("showOther")->setChecked(false);
    QCOMPARE(column(2), QStringList({"received"}));
    m_window->findChild<QCheckBox*>("showSent")->setChecked(true);
    m_window->findChild<QCheckBox*>("showOther")->setChecked(true);

    // Screen readers see the rows' text.
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(table());
    QVERIFY(view && view->tableInterface());
    QCOMPARE(view->tableInterface()->cellAt(2, 3)->text(QAccessible::Name), "ATI3\u240D");
}

void TimelineWindowTest::searchFindsAndMarksEveryMatch() {
    table()->setFocus();
    QTest::keyClick(m_window.get(), Qt::Key_F, Qt::ControlModifier);
    auto* text = m_window->findChild<QLineEdit*>("searchText");
    QVERIFY(text->isVisible());
    QTest::keyClicks(text, "OK");
    auto* matches = m_window->findChild<QLabel*>("searchMatches");
    QTRY_COMPARE(matches->text(), "1 of 2");
    QCOMPARE(table()->currentIndex().row(), 3);
    QTest::keyClick(text, Qt::Key_F3);
    QTRY_COMPARE(matches->text(), "2 of 2");
    QCOMPARE(table()->currentIndex().row(), 4);
    QTest::keyClick(text, Qt::Key_F3, Qt::ShiftModifier);
    QTRY_COMPARE(matches->text(), "1 of 2");

    // Both matches marked, the current one apart.
    const QImage shown = table()->viewport()->grab().toImage();
    int current = 0;
    int other = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb pixel = shown.pixel(x, y);
            current += pixel == qRgb(255, 150, 50);
            other += pixel == qRgb(255, 240, 90);
        }
    }
    QVERIFY(current > 0);
    QVERIFY(other > 0);

    // In hex, the byte of the last row.
    m_window->findChild<QWidget*>("searchHex")->setProperty("checked", true);
    text->setText("cf");
    QTRY_COMPARE(matches->text(), "1 of 1");
    QCOMPARE(table()->currentIndex().row(), 4);
    QTest::keyClick(text, Qt::Key_Escape);
}

void TimelineWindowTest::copiesTheSelectedRowsAndGoesToATime() {
    m_window->goToTime(QTime(14, 3, 22, 450));
    QCOMPARE(table()->currentIndex().row(), 4);
    table()->selectionModel()->select(table()->model()->index(2, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(table(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(),
             "14:03:22.418\tCOM1\tsent\tATI3\u240D\n"
             "14:03:22.458\tCOM2\tsent\t\u240D\u240AOK\u240D\u240A\u041F");
}

void TimelineWindowTest::followsTheCaptureAsItIsWritten() {
    m_window->showCapture(false, {});
    QCOMPARE(status(), "Capture is off: turn on Capture in the menu to record this session.");
    const QString live = m_dir.filePath("live.pcapng");
    CaptureFile file(live, portNames);
    m_window->showCapture(true, live);
    QTRY_COMPARE(status(), live);
    QTRY_COMPARE(table()->model()->rowCount(), 0);
    table()->scrollToBottom();
    for (int i = 0; i < 60; ++i)
        file.append({0, Event::DataReceived, 0, "line\r\n", {}, start + i * 100 * ms});
    QTRY_COMPARE(table()->model()->rowCount(), 60);
    // At the bottom it stays at the bottom.
    QTRY_COMPARE(table()->verticalScrollBar()->value(), table()->verticalScrollBar()->maximum());
    QVERIFY(table()->verticalScrollBar()->maximum() > 0);
}

QTEST_MAIN(TimelineWindowTest)
#include "test_timeline_window.moc"
