#include "WindowHarness.h"
#include "app/Preferences.h"
#include "capture/CaptureReader.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString monthName(int month) {
    return QLocale::system().standaloneMonthName(month, QLocale::LongFormat);
}

// Every entry of the file as "interface event bytes comment".
QStringList entriesOf(const QString& fileName) {
    CaptureReader reader(fileName);
    QStringList entries;
    CaptureRecord record;
    while (reader.next(record))
        entries << QStringLiteral("%1 %2 %3 %4")
                       .arg(record.portName.section(' ', 0, 0))
                       .arg(int(record.entry.event))
                       .arg(QString::fromLatin1(record.entry.bytes), record.entry.comment);
    if (!reader.problem().isEmpty())
        entries << reader.problem();
    return entries;
}

} // namespace

class CaptureMenuTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void captureIsChosenFromTheMenuAndRemembered();
    void aNewFileEachDayAndPastTheSizeLimit();
    void aCaptureThatCannotStartSaysWhyAndStaysOff();

private:
    QString dataFolder() const { return m_root->path() + QStringLiteral("/Duplink v.2.1/"); }
    QString preferencesFile() const { return dataFolder() + QStringLiteral("Duplink.ini"); }
    static QAction* item(WindowHarness& h) { return h.form.findChild<QAction*>("captureItem"); }
    static QLabel* indicator(WindowHarness& h) {
        return h.form.findChild<QLabel*>("captureIndicator");
    }

    std::unique_ptr<QTemporaryDir> m_root;
};

void CaptureMenuTest::init() {
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    qputenv("ProgramFiles", m_root->path().toLocal8Bit());
    qputenv("DUPLINK_COM1", "/dev/ttyUSB0");
    qputenv("DUPLINK_COM2", "/dev/ttyUSB1");
}

void CaptureMenuTest::captureIsChosenFromTheMenuAndRemembered() {
    const QString expected = dataFolder() + "2026/" + monthName(12) +
                             QStringLiteral("/Duplink 2026-12-05 14-03-09.pcapng");
    {
        WindowHarness h;
        h.start();
        QVERIFY(!item(h)->isChecked() && !indicator(h)->isVisibleTo(&h.form));
        // The timeline window follows the switch.
        h.find<QAction>("timelineItem")->trigger();
        auto* timeline = h.find<QWidget>("timelineWindow");
        QVERIFY(timeline && timeline->isVisible());
        auto* timelineStatus = timeline->findChild<QLabel*>("timelineStatus");
        QCOMPARE(timelineStatus->text(),
                 "Capture is off: turn on Capture in the menu to record this session.");
        item(h)->trigger();
        QVERIFY(item(h)->isChecked() && indicator(h)->isVisibleTo(&h.form));
        QTRY_COMPARE(timelineStatus->text(), QDir::toNativeSeparators(expected));
        QCOMPARE(indicator(h)->toolTip(), QDir::toNativeSeparators(expected));
        QVERIFY(readPreferences(preferencesFile()).capture);

        h.clock.advanceBy(400); // both modems asked who they are, and silent
        h.port2.receive("RING\r\n");
        h.clock.advanceBy(100);
        h.find<QPushButton>("Command5")->click();
        h.port1.receive("relayed");
        h.clock.advanceBy(100);
        h.find<QPushButton>("Command2")->click();
        item(h)->trigger();
        QVERIFY(!item(h)->isChecked() && !indicator(h)->isVisibleTo(&h.form));
        QVERIFY(!readPreferences(preferencesFile()).capture);

        const QStringList entries = entriesOf(expected);
        const auto at = [&entries](const QString& entry) {
            return entries.indexOf(entry);
        };
        QVERIFY2(at("COM2 1 ATI3\r ") > at("COM1 1 ATI3\r "), qPrintable(entries.join('\n')));
        QVERIFY(at("COM2 2 RING\r\n ") > at("COM2 1 ATI3\r "));
        QVERIFY(at("COM1 0  transmit on") > at("COM2 2 RING\r\n "));
        QVERIFY(at("COM1 2 relayed ") > at("COM1 0  transmit on"));
        QVERIFY(at("COM2 1 relayed ") > at("COM1 2 relayed "));
        QVERIFY(at("COM1 0  transmit off") > at("COM2 1 relayed "));
        // Both ports' state is written when the file starts, whatever happens next.
        QCOMPARE(entries.filter("opened").size() + entries.filter(" open /dev/").size(), 2);
    }
    // Chosen last: on at the next start. Not chosen: on only when the command line asks.
    QVERIFY(writePreferences(preferencesFile(), {true, {}}).isEmpty());
    for (bool fromCommandLine : {false, true}) {
        WindowHarness h(fromCommandLine);
        h.now = h.now.addSecs(fromCommandLine ? 2 : 1);
        h.start();
        QVERIFY(h.capture->isOn() && item(h)->isChecked());
        QVERIFY(writePreferences(preferencesFile(), {false, {}}).isEmpty());
    }
    WindowHarness h;
    h.start();
    QVERIFY(!h.capture->isOn());
}

void CaptureMenuTest::aNewFileEachDayAndPastTheSizeLimit() {
    WindowHarness h;
    h.now = QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59));
    h.start();
    item(h)->trigger();
    const QString first = h.capture->fileName();
    h.now = QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0));
    h.clock.advanceBy(1000);
    const QString second = dataFolder() + "2027/" + monthName(1) +
                           QStringLiteral("/Duplink 2027-01-01 00-00-00.pcapng");
    QCOMPARE(h.capture->fileName(), second);
    QCOMPARE(indicator(h)->toolTip(), QDir::toNativeSeparators(second));
    QCOMPARE(entriesOf(first).last(), QStringLiteral("COM1 0  continued in the next file"));

    // Past the limit within the same second: the next file keeps the one before.
    h.capture->setSizeLimit(1);
    QTest::qWait(250); // the writer puts the file's head on disk
    h.clock.advanceBy(1000);
    QCOMPARE(h.capture->fileName(), second.chopped(7) + QStringLiteral(" (2).pcapng"));
    h.clock.advanceBy(100);
    QVERIFY(h.capture->isOn());
    QVERIFY(QFile::exists(second));

    // A port given another number: the next file's interface bears it.
    qputenv("DUPLINK_COM3", "/dev/ttyUSB2");
    auto* port = h.find<QComboBox>("Combo1_0");
    port->setCurrentIndex(port->findText("3"));
    emit port->activated(port->currentIndex());
    h.clock.advanceBy(1000);
    QCOMPARE(h.capture->fileName(), second.chopped(7) + QStringLiteral(" (3).pcapng"));
    const QString third = h.capture->fileName();
    h.capture->setOn(false);
    QVERIFY2(entriesOf(third).first().startsWith("COM3 0  open /dev/ttyUSB2 "),
             qPrintable(entriesOf(third).join('\n')));
    QVERIFY(h.messages.isEmpty());
}

void CaptureMenuTest::aCaptureThatCannotStartSaysWhyAndStaysOff() {
    WindowHarness h;
    h.start();
    const QString month = dataFolder() + "2026/" + monthName(12);
    QVERIFY(QDir(month).removeRecursively());
    QFile blocking(month);
    QVERIFY(blocking.open(QIODevice::WriteOnly));
    item(h)->trigger();
    QCOMPARE(h.messages.size(), 1);
    QVERIFY2(h.messages[0].text.startsWith(
                 QStringLiteral("The capture cannot start: the folder %1 cannot be created: ")
                     .arg(QDir::toNativeSeparators(month))),
             qPrintable(h.messages[0].text));
    QVERIFY(!item(h)->isChecked() && !indicator(h)->isVisibleTo(&h.form));
    QVERIFY(!h.capture->isOn() && !readPreferences(preferencesFile()).capture);
}

QTEST_MAIN(CaptureMenuTest)
#include "test_capture_menu.moc"
