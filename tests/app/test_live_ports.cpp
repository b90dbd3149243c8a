#include "LiveWindow.h"
#include "PtyModemLines.h"
#include "PtyPair.h"
#include "app/SettingsFile.h"
#include "terminal/LampColours.h"
#include "ui/Lamp.h"
#include "ui/LogView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <termios.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

// The real program on real serial controls over pseudo-terminals whose lines the test drives.
class LivePortsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void lampsFollowTheLinesAndTheBoxesDriveThem();
    void transmitModeRelaysAMegabyteEachWayByteExact();
    void aLostDeviceKeepsItsDataAndComesBackWithAPick();
    void aSecondInstanceFindsTheBusyPortAndWorksOnTheOther();

private:
    // Each port is opened through a link, so that a test can put a new device behind it.
    void linkPort(int port, const QString& device);
    QString link(int port) const { return m_links.filePath(QStringLiteral("com%1").arg(port)); }

    QString summary() const { return m_window->find<QLabel>("Label2")->text(); }

    std::unique_ptr<PtyPair> m_pty[2];
    std::unique_ptr<PtyModemLines> m_lines;
    std::unique_ptr<LiveWindow> m_window;
    QTemporaryDir m_links;
};

void LivePortsTest::linkPort(int port, const QString& device) {
    QFile::remove(link(port));
    QVERIFY(QFile::link(device, link(port)));
}

void LivePortsTest::init() {
    if (!qgetenv("LD_PRELOAD").contains("ptymodemlines"))
        QSKIP("needs the pty modem-line library preloaded (ctest does it)");
    m_lines = std::make_unique<PtyModemLines>();
    qputenv(PtyModemLines::kStateFileVariable, QByteArray::fromStdString(m_lines->stateFile()));
    for (int i = 0; i < 2; ++i) {
        m_pty[i] = std::make_unique<PtyPair>();
        QVERIFY(m_pty[i]->isValid());
        m_lines->reset(PtyModemLines::indexOfMaster(m_pty[i]->master()));
        linkPort(i + 1, m_pty[i]->slavePath());
        qputenv("DUPLINK_COM" + QByteArray::number(i + 1), QFile::encodeName(link(i + 1)));
    }
    m_window = std::make_unique<LiveWindow>();
    m_window->start();
    QVERIFY(QTest::qWaitForWindowExposed(&m_window->form));
    // Start-up ends with the fields applied, which draws the lines for the first time.
    QTRY_COMPARE(summary(), QStringLiteral("COM1 9600,n,8,1 comNone"));
    QCOMPARE(m_window->lamp("Shape1"), kGreen);
}

void LivePortsTest::cleanup() {
    m_window.reset();
    qunsetenv(PtyModemLines::kStateFileVariable);
}

void LivePortsTest::lampsFollowTheLinesAndTheBoxesDriveThem() {
    const int pty = PtyModemLines::indexOfMaster(m_pty[0]->master());
    m_lines->setInputs(pty, true, true, true);
    QTRY_VERIFY(m_window->lamp("Shape2_2") == kGreen && m_window->lamp("Shape2_3") == kGreen &&
                m_window->lamp("Shape2_4") == kGreen);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(m_window->lamp("Shape2_5"), kOff);
        m_lines->ring(pty, std::chrono::milliseconds(30));
        QTest::qWait(60);
    }
    QTRY_COMPARE(m_window->lamp("Shape2_5"), kGreen);
    m_lines->setInputs(pty, false, true, true);
    QTRY_COMPARE(m_window->lamp("Shape2_2"), kOff);
    QCOMPARE(m_window->lamp("Shape2_5"), kOff);

    m_window->find<QCheckBox>("Check1")->click();
    QVERIFY(m_lines->outputs(pty).rts);
    QCOMPARE(m_window->lamp("Shape2_0"), kRed);
    m_window->find<QCheckBox>("Check2")->click();
    QVERIFY(!m_lines->outputs(pty).dtr);
    QCOMPARE(m_window->lamp("Shape2_1"), kOff);
    const int pty2 = PtyModemLines::indexOfMaster(m_pty[1]->master());
    m_window->find<QCheckBox>("Check6")->click();
    QVERIFY(m_lines->outputs(pty2).rts);
    QCOMPARE(m_window->beeps, 1);
}

void LivePortsTest::transmitModeRelaysAMegabyteEachWayByteExact() {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) // the sanitizer has its own malloc
    // A log cleared once grows again in memory mapped for it, not on the heap copying itself.
    void* volatile cleared = std::malloc(20 << 20);
    std::free(cleared);
    const size_t mapped = mallinfo2().hblks;
    void* volatile growing = std::malloc(8 << 20);
    const size_t mappedWhileGrowing = mallinfo2().hblks;
    std::free(growing);
    QCOMPARE(mappedWhileGrowing, mapped + 1);
#endif
    // Past the identification, which writes "ATI3" CR to each device.
    QTRY_COMPARE(m_window->channel(1).ModemState, qint16(2));
    for (auto& pty : m_pty)
        QCOMPARE(pty->read(5), QByteArray("ATI3\r"));
    m_window->find<QPushButton>("Command5")->click();

    // Device 1 sends data[0], which must come out of device 2, and the other way round.
    const QByteArray data[2] = {randomBytes(1 << 20, 19), randomBytes(1 << 20, 20)};
    const auto out = crossTraffic(*m_pty[0], *m_pty[1], data[0], data[1]);
    QVERIFY(out[0] == data[0]);
    QVERIFY(out[1] == data[1]);
    // Terminal 2's log holds exactly what port 2 received; Terminal 1's both directions.
    QTRY_VERIFY(m_window->log(1)->bytes() == data[1]);
    QVERIFY(m_window->log(0)->size() > 2 * (1 << 20));
}

void LivePortsTest::aLostDeviceKeepsItsDataAndComesBackWithAPick() {
    TerminalChannel& one = m_window->channel(0);
    QTRY_COMPARE(m_window->channel(1).ModemState, qint16(2));
    QCOMPARE(m_pty[0]->read(5), QByteArray("ATI3\r"));
    QVERIFY(m_pty[0]->write("said before the loss"));
    QTest::qWait(20);
    // A peer that hangs up turns the lamp and the summary red at once.
    QElapsedTimer clock;
    clock.start();
    m_pty[0]->closeMaster();
    QTRY_COMPARE_WITH_TIMEOUT(m_window->lamp("Shape1"), kRed, 1000);
    QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_window->find<QLabel>("Label2")->palette().color(QPalette::WindowText),
             QColor(255, 0, 0));
    QCOMPARE(m_window->lamp("Shape3"), kGreen);
    QTRY_COMPARE(m_window->log(0)->bytes(), QByteArray("said before the loss"));
    QTRY_COMPARE(m_window->caption(0), QStringLiteral("Terminal 1: No Modem"));
    m_window->find<QPushButton>("Command3")->click();
    QTest::qWait(300);
    QCOMPARE(one.SendPending, qint16(1));

    // The device comes back behind the same name; a pick opens it with the new settings, the
    // modem is asked who it is again, and the command waiting goes out.
    m_pty[0] = std::make_unique<PtyPair>();
    linkPort(1, m_pty[0]->slavePath());
    auto* stopBits = m_window->find<QComboBox>("Combo1_4");
    stopBits->setFocus();
    QTest::keyClick(stopBits, Qt::Key_Down);
    QTRY_COMPARE(m_window->lamp("Shape1"), kGreen);
    QCOMPARE(summary(), QStringLiteral("COM1 9600,n,8,2 comNone"));
    termios t{};
    QCOMPARE(::tcgetattr(m_pty[0]->master(), &t), 0);
    QVERIFY(t.c_cflag & CSTOPB);
    QByteArray sent;
    QTRY_COMPARE(sent += m_pty[0]->read(8, 10), QByteArray("ATI3\rAT\r"));
    QCOMPARE(one.SendPending, qint16(0));

    // In transmit mode what the lost port received is still relayed.
    m_window->find<QPushButton>("Command5")->click();
    QVERIFY(m_pty[1]->write("relayed"));
    QTest::qWait(20);
    m_pty[1]->closeMaster();
    QByteArray relayed;
    QTRY_COMPARE(relayed += m_pty[0]->read(7, 10), QByteArray("relayed"));
    QTRY_COMPARE(m_window->log(1)->bytes(), QByteArray("relayed"));
    QTRY_COMPARE(m_window->lamp("Shape3"), kRed);
}

void LivePortsTest::aSecondInstanceFindsTheBusyPortAndWorksOnTheOther() {
    PtyPair other;
    qputenv("DUPLINK_COM2", other.slavePath().toLocal8Bit());
    // The same data folder as the first.
    LiveWindow second(QFileInfo(m_window->program->DataFolder() + "..").canonicalFilePath());
    second.start();
    QCOMPARE(second.messages.size(), 1);
    QVERIFY2(second.messages[0].contains(QStringLiteral("in use by another program")),
             qPrintable(second.messages[0]));
    QTRY_COMPARE(second.find<Lamp>("Shape3")->fillColor(), kGreen);
    QCOMPARE(second.find<Lamp>("Shape1")->fillColor(), kRed);
    QCOMPARE(m_window->lamp("Shape1"), kGreen);
    // Both save to one file; the last to close wins, whole.
    m_window->form.close();
    second.form.close();
    SettingsRecord saved;
    const QString file = second.program->settingsFilePath();
    QCOMPARE(QFileInfo(file).size(), 11500);
    QVERIFY(!LoadSettings(saved, file, second.program->DataFolder(), QDateTime()).recovered);
    QCOMPARE(file, m_window->program->settingsFilePath());
}

QTEST_MAIN(LivePortsTest)
#include "test_live_ports.moc"
