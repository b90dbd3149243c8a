#include "capture/CaptureFile.h"
#include "ui/timeline/TimelineModel.h"
#include "ui/timeline/TimelineWindow.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
    void followsTheCaptureAsItIsWritten();
    void selectsGoesToAndCopiesRowsOfTheWholeFile();
    void exportsTheRowsShownAsCsv();
    void followsTheLanguage();

private:
    QTableView* table() const { return m_window->findChild<QTableView*>("timelineRows"); }
    TimelineModel* model() const { return static_cast<TimelineModel*>(table()->model()); }
    QScrollBar* scrollBar() const { return m_window->findChild<QScrollBar*>("timelineScroll"); }
    void click(int viewRow, Qt::KeyboardModifiers modifiers = {});
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

void TimelineWindowTest::click(int viewRow, Qt::KeyboardModifiers modifiers) {
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, modifiers,
                      table()->visualRect(model()->index(viewRow, 0)).center());
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

void TimelineWindowTest::followsTheCaptureAsItIsWritten() {
    m_window->showCapture(false, {});
    QCOMPARE(status(), "Capture is off: turn on Capture in the menu to record this session.");
    const QString live = m_dir.filePath("live.pcapng");
    CaptureFile file(live, portNames);
    m_window->showCapture(true, live);
    QTRY_COMPARE(status(), live);
    QTRY_COMPARE(model()->rows(), qint64(0));
    for (int i = 0; i < 60; ++i)
        file.append({0, Event::DataReceived, 0, "line\r\n", {}, start + i * 100 * ms});
    QTRY_COMPARE(model()->rows(), qint64(60));
    // At the bottom it stays at the bottom.
    QTRY_COMPARE(scrollBar()->value(), scrollBar()->maximum());
    QVERIFY(scrollBar()->maximum() > 0);
    QCOMPARE(model()->fileRow(model()->rowCount() - 1), qint64(59));
}

void TimelineWindowTest::selectsGoesToAndCopiesRowsOfTheWholeFile() {
    m_window->openFile(m_saved);
    QTRY_COMPARE(model()->rows(), qint64(6));
    m_window->goToTime(QTime(14, 3, 22, 450));
    QCOMPARE(table()->currentIndex().row(), 4);
    click(2, Qt::ControlModifier);
    QTest::keyClick(table(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(),
             "14:03:22.418\tCOM1\tsent\tATI3\u240D\n"
             "14:03:22.458\tCOM2\tsent\t\u240D\u240AOK\u240D\u240A\u041F");

    // Each row its own: the direction changes at every entry.
    const QString many = m_dir.filePath("many.pcapng");
    {
        CaptureFile file(many, portNames);
        for (int i = 0; i < 3000; ++i)
            file.append({0,
                         i % 2 ? Event::DataTransmitted : Event::DataReceived,
                         0,
                         i == 2500 ? QByteArray("NO CARRIER") : QByteArray::number(i),
                         {},
                         start + i * ms});
    }
    m_window->openFile(many);
    QTRY_COMPARE(model()->rows(), qint64(3000));
    // However long the file, the table holds the rows in view and one more.
    const int page = scrollBar()->pageStep();
    QVERIFY(page > 3);
    QVERIFY(table()->model()->rowCount() <= page + 1);
    QCOMPARE(scrollBar()->maximum(), 3000 - page);
    const auto currentBytes = [&] {
        const QModelIndex current = table()->currentIndex();
        return current.siblingAtColumn(3).data().toString();
    };

    QTest::keyClick(table(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(currentBytes(), "2999");
    QCOMPARE(scrollBar()->value(), scrollBar()->maximum());
    QTest::keyClick(table(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(currentBytes(), "0");
    QCOMPARE(table()->currentIndex().row(), 0);
    QTest::keyClick(table(), Qt::Key_PageDown);
    QTest::keyClick(table(), Qt::Key_PageDown);
    QCOMPARE(currentBytes(), QString::number(2 * page));
    // Past the bottom edge the rows move up under the current row.
    for (int i = 0; i < page; ++i)
        QTest::keyClick(table(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(currentBytes(), QString::number(3 * page));
    QCOMPARE(table()->currentIndex().row(), page - 1);
    QCOMPARE(table()->selectionModel()->selectedRows().size(), page);
    // Sideways and with the right button the table would choose a row of its own.
    QTest::keyClick(table(), Qt::Key_Right);
    QTest::mouseClick(table()->viewport(), Qt::RightButton, {},
                      table()->visualRect(model()->index(1, 0)).center());
    QCOMPARE(table()->selectionModel()->selectedRows().size(), page);
    QTest::keyClick(table(), Qt::Key_C, Qt::ControlModifier);
    const QStringList copied = QApplication::clipboard()->text().split('\n');
    QCOMPARE(copied.size(), page + 1);
    QVERIFY(copied.front().endsWith("\t" + QString::number(2 * page)));
    QVERIFY(copied.back().endsWith("\t" + QString::number(3 * page)));

    // The selection stays with its rows while they are scrolled away and back.
    const int before = scrollBar()->value();
    scrollBar()->setValue(scrollBar()->maximum());
    QVERIFY(table()->selectionModel()->selectedRows().isEmpty());
    QWheelEvent wheel(QPointF(5, 5), table()->viewport()->mapToGlobal(QPointF(5, 5)), {},
                      QPoint(0, 120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(table()->viewport(), &wheel);
    QVERIFY(scrollBar()->value() < scrollBar()->maximum());
    scrollBar()->setValue(before);
    QCOMPARE(table()->selectionModel()->selectedRows().size(), page);
    QCOMPARE(currentBytes(), QString::number(3 * page));

    // A match far down is brought into view, current and marked.
    QTest::keyClick(m_window.get(), Qt::Key_F, Qt::ControlModifier);
    m_window->findChild<QWidget*>("searchHex")->setProperty("checked", false);
    auto* text = m_window->findChild<QLineEdit*>("searchText");
    text->setText("NO CARRIER");
    QTRY_COMPARE(model()->currentMatch().row, qint64(2500));
    QCOMPARE(currentBytes(), "NO CARRIER");
    QTest::keyClick(text, Qt::Key_Escape);
}

void TimelineWindowTest::exportsTheRowsShownAsCsv() {
    QStringList messages;
    Seams seams;
    QString target = m_dir.filePath("rows.csv");
    seams.chooseSaveFile = [&](const QString&, const QString& suggested) {
        return suggested.endsWith("saved.csv") ? target : QString();
    };
    seams.messageBox = [&](const QString&, const QString& text) {
        messages << text;
    };
    m_window->useSeams(seams);
    m_window->openFile(m_saved);
    QTRY_COMPARE(model()->rows(), qint64(6));
    m_window->findChild<QCheckBox*>("showOther")->setChecked(false);
    auto* exportButton = m_window->findChild<QPushButton*>("exportCsvButton");
    exportButton->click();
    QTRY_VERIFY(status().endsWith("3 rows exported to " + target));

    // The bytes come back from the hex column, in the rows shown only.
    QFile csv(target);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], "time,port,direction,event,text,hex\r");
    QList<QByteArray> bytes;
    for (const QByteArray& line : lines.mid(1, 3))
        bytes << QByteArray::fromHex(line.mid(line.lastIndexOf(',') + 1).trimmed());
    QCOMPARE(bytes, QList<QByteArray>({"ATI3\r", "\r\nOK\r\n", "\r\nOK\r\n\xcf"}));
    QVERIFY(lines[3].startsWith("2025-12-06T14:03:22.458,COM2,sent,data,"));
    QVERIFY(messages.isEmpty());

    // A folder that is not there: one message naming the file and why.
    target = m_dir.filePath("missing/rows.csv");
    exportButton->click();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].startsWith("The rows cannot be written to " + target + ": "),
             qPrintable(messages[0]));
    QVERIFY(messages[0].size() > target.size() + 32);
    QVERIFY(!QFile::exists(target));
    m_window->findChild<QCheckBox*>("showOther")->setChecked(true);
}

void TimelineWindowTest::followsTheLanguage() {
    m_window->setLanguage(1);
    QCOMPARE(m_window->windowTitle(), "Хронология");
    QCOMPARE(m_window->findChild<QCheckBox*>("showReceived")->text(), "Принятые");
    QCOMPARE(m_window->findChild<QComboBox*>("timeMode")->itemText(0), "Время суток");
    QCOMPARE(table()->horizontalHeader()->model()->headerData(3, Qt::Horizontal), "Данные");
    QCOMPARE(m_window->findChild<QLineEdit*>("searchText")->accessibleName(), "Искомый текст");
    m_window->showCapture(false, {});
    QVERIFY(status().startsWith("Запись выключена"));
    m_window->setLanguage(0);
    QCOMPARE(m_window->findChild<QCheckBox*>("showReceived")->text(), "Received");
    QCOMPARE(m_window->findChild<QPushButton*>("exportCsvButton")->text(), "&Export CSV…");
}

QTEST_MAIN(TimelineWindowTest)
#include "test_timeline_window.moc"
