#include "WindowHarness.h"
#include "app/SettingsFile.h"
#include "app/TerminationSignals.h"
#include "ui/Colours.h"
#include "ui/Lamp.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

namespace {

QString comboText(const WindowHarness& h, int channel, int field) {
    return h.find<QComboBox>(QStringLiteral("Combo%1_%2").arg(channel).arg(field))->currentText();
}

QStringList comboTexts(const WindowHarness& h, int channel) {
    QStringList texts;
    for (int f = 0; f < 6; ++f)
        texts << comboText(h, channel, f);
    return texts;
}

int lampColour(const WindowHarness& h, const char* name) {
    return h.find<Lamp>(QLatin1String(name))->fillColor();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void firstRunOnACleanMachine();
    void programFilesSeparatorIsNotDoubled();
    void withoutProgramFilesTheUserDataLocationIsUsed();
    void anotherVersionIsReplacedByDefaults();
    void unreadableFileIsReplacedByDefaults();
    void storedFlowControlDoesNotSurviveARestart();
    void portOneFailureShowsTheErrorText();
    void bothChannelsOnOnePort();
    void portNumberThatIsNotANumber();
    void storedSettingsAndValuesAListDoesNotOffer();
    void unwritableDataFolderIsReportedOnceAndStartGoesOn();
    void exitAndClosingEachWriteTheSettingsOnce();
    void terminationSignalClosesTheWindowNormally();
    void commandHexFollowsTheCommandBox();

private:
    void writeStoredSettings(const std::function<void(SettingsRecord&)>& change);
    QString dataFolder() const;

    std::unique_ptr<QTemporaryDir> m_root;
};

void StartupTest::init() {
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    qputenv("ProgramFiles", m_root->path().toLocal8Bit());
}

QString StartupTest::dataFolder() const {
    return m_root->path() + QStringLiteral("/Duplink v.2.1/");
}

void StartupTest::writeStoredSettings(const std::function<void(SettingsRecord&)>& change) {
    QVERIFY(QDir().mkpath(dataFolder()));
    SettingsRecord r;
    ResetSettings(r, dataFolder(), QDateTime::currentDateTime());
    change(r);
    QVERIFY(SaveSettings(r, dataFolder() + settingsFileName()).ok);
}

void StartupTest::firstRunOnACleanMachine() {
    WindowHarness h;
    QSignalSpy saves(h.program.get(), &Program::settingsSaved);
    h.start();

    QCOMPARE(h.program->DataFolder(), dataFolder());
    SettingsRecord defaults;
    ResetSettings(defaults, dataFolder(), h.now);
    QCOMPARE(readFile(dataFolder() + settingsFileName()), encodeSettings(defaults));
    QCOMPARE(saves.count(), 1);
    const QString month = QLocale::system().standaloneMonthName(12, QLocale::LongFormat);
    QVERIFY(QFileInfo(dataFolder() + QStringLiteral("2026/") + month).isDir());
    QVERIFY(h.messages.isEmpty());

    QCOMPARE(
        h.form.windowTitle(),
        QStringLiteral("Amberfields       Duplink v.2.1               Today: December5,  2026"));
    QCOMPARE(h.find<QGroupBox>("Frame2")->title(), QStringLiteral("Terminal 1"));
    QCOMPARE(h.form.mnu_File->title(), QStringLiteral("Menu"));
    QCOMPARE(h.find<QPushButton>("Command3")->text(), QStringLiteral("Run"));

    QCOMPARE(h.port1.CommPort(), qint16(1));
    QCOMPARE(h.port2.CommPort(), qint16(2));
    for (FakeSerialControl* port : {&h.port1, &h.port2}) {
        QVERIFY(port->PortOpen());
        QCOMPARE(port->Settings(), QStringLiteral("9600,n,8,1"));
        QCOMPARE(port->Handshaking(), 0);
    }
    QCOMPARE(comboTexts(h, 1), (QStringList{"1", "9600", "n", "8", "1", "0"}));
    QCOMPARE(comboTexts(h, 2), (QStringList{"2", "9600", "n", "8", "1", "0"}));
    QCOMPARE(lampColour(h, "Shape1"), kGreen);
    QCOMPARE(lampColour(h, "Shape3"), kGreen);
    QVERIFY(h.form.Timer1->isActive());
}

void StartupTest::programFilesSeparatorIsNotDoubled() {
    qputenv("ProgramFiles", "  " + m_root->path().toLocal8Bit() + "/");
    WindowHarness h;
    h.start();
    QCOMPARE(h.program->DataFolder(), dataFolder());
    QVERIFY(QFile::exists(dataFolder() + settingsFileName()));
}

void StartupTest::withoutProgramFilesTheUserDataLocationIsUsed() {
    qunsetenv("ProgramFiles");
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", m_root->path().toLocal8Bit() + "/share");
    WindowHarness h;
    h.start();
    qputenv("XDG_DATA_HOME", oldXdg);
    // The user data location may not exist yet on a new account.
    const QString expected = m_root->path() + QStringLiteral("/share/Duplink v.2.1/");
    QCOMPARE(h.program->DataFolder(), expected);
    QVERIFY(QFile::exists(expected + settingsFileName()));
    QVERIFY(h.messages.isEmpty());
}

void StartupTest::anotherVersionIsReplacedByDefaults() {
    writeStoredSettings([](SettingsRecord& r) {
        r.ProductVersion = QStringLiteral("v.2.0");
        r.Channel[0].SettingsText = QStringLiteral("115200,n,8,1");
        r.Reserved2 = 37;
    });
    WindowHarness h;
    h.start();
    SettingsRecord defaults;
    ResetSettings(defaults, dataFolder(), h.now);
    QCOMPARE(readFile(dataFolder() + settingsFileName()), encodeSettings(defaults));
    QCOMPARE(comboText(h, 1, 1), QStringLiteral("9600"));
    QVERIFY(h.messages.isEmpty());
}

void StartupTest::unreadableFileIsReplacedByDefaults() {
    writeStoredSettings([](SettingsRecord& r) { r.Channel[0].SettingsText = "19200,n,8,1"; });
    const QString file = dataFolder() + settingsFileName();
    QByteArray bytes = readFile(file);
    bytes[11 * kRecordLength] = char(0x58);
    bytes[11 * kRecordLength + 1] = char(0x02);
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();

    WindowHarness h;
    h.start();
    QCOMPARE(h.port1.Settings(), QStringLiteral("9600,n,8,1"));
    SettingsRecord defaults;
    ResetSettings(defaults, dataFolder(), h.now);
    QCOMPARE(readFile(file), encodeSettings(defaults));
    QVERIFY(h.messages.isEmpty());
}

void StartupTest::storedFlowControlDoesNotSurviveARestart() {
    writeStoredSettings([](SettingsRecord& r) { r.Channel[0].Flow = QStringLiteral("2"); });
    {
        WindowHarness h;
        h.start();
        QCOMPARE(comboText(h, 1, 5), QStringLiteral("0"));
        QCOMPARE(h.port1.Handshaking(), 0);
        QCOMPARE(h.program->settings().Channel[0].Flow, QStringLiteral("0"));
        h.form.close();
    }
    SettingsRecord back;
    LoadSettings(back, dataFolder() + settingsFileName(), dataFolder(), QDateTime());
    QCOMPARE(back.Channel[0].Flow, QStringLiteral("0"));
}

void StartupTest::portOneFailureShowsTheErrorText() {
    WindowHarness h;
    h.port1.failOpeningWith(QStringLiteral("COM1 (/dev/ttyS0): No such device"));
    h.start();
    QCOMPARE(h.messages.size(), 1);
    QCOMPARE(h.messages[0].title, QStringLiteral("Duplink v.2.0"));
    QCOMPARE(h.messages[0].text, QStringLiteral("COM1 (/dev/ttyS0): No such device"));
    QVERIFY(!h.port1.PortOpen());
    QCOMPARE(lampColour(h, "Shape1"), kRed);
    QCOMPARE(comboTexts(h, 1), (QStringList{"1", "9600", "n", "8", "1", "0"}));
    QVERIFY(h.port2.PortOpen());
    QCOMPARE(lampColour(h, "Shape3"), kGreen);
}

void StartupTest::bothChannelsOnOnePort() {
    writeStoredSettings([](SettingsRecord& r) { r.Channel[1].Port = QStringLiteral("1"); });
    WindowHarness h;
    h.start();
    QVERIFY(h.port1.PortOpen());
    QVERIFY(!h.port2.PortOpen());
    QVERIFY(h.messages.isEmpty());
    QCOMPARE(lampColour(h, "Shape1"), kGreen);
    QCOMPARE(lampColour(h, "Shape3"), kRed);
}

void StartupTest::portNumberThatIsNotANumber() {
    writeStoredSettings([](SettingsRecord& r) { r.Channel[0].Port = QStringLiteral("COM one"); });
    WindowHarness h;
    h.start();
    // The conversion fails; the port keeps its number and the open is still tried.
    QCOMPARE(h.messages.size(), 1);
    QVERIFY2(h.messages[0].text.contains(QStringLiteral("\"COM one\"")),
             qPrintable(h.messages[0].text));
    QVERIFY(h.port1.PortOpen());
    QCOMPARE(comboText(h, 1, 0), QStringLiteral("1"));
    QCOMPARE(h.program->settings().Channel[0].Port, QStringLiteral("1"));
}

void StartupTest::unwritableDataFolderIsReportedOnceAndStartGoesOn() {
    // A file stands where the data folder's parent should be.
    const QString blocker = m_root->path() + QStringLiteral("/blocker");
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("ProgramFiles", blocker.toLocal8Bit());
    WindowHarness h;
    h.start();
    QCOMPARE(h.messages.size(), 1);
    QCOMPARE(h.messages[0].title, QStringLiteral("Duplink v.2.0"));
    const QString text = h.messages[0].text;
    QVERIFY2(text.contains(blocker + QStringLiteral("/Duplink v.2.1/")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("cannot be saved")), qPrintable(text));
    QVERIFY(h.port1.PortOpen());
    QVERIFY(h.port2.PortOpen());
    QCOMPARE(comboText(h, 1, 1), QStringLiteral("9600"));
    QVERIFY(h.form.Timer1->isActive());
}

void StartupTest::storedSettingsAndValuesAListDoesNotOffer() {
    writeStoredSettings([](SettingsRecord& r) {
        r.Channel[0].Port = QStringLiteral("5");
        r.Channel[0].SettingsText = QStringLiteral("250000,e,7,2");
        r.Channel[1].Port = QStringLiteral("12");
        r.Channel[1].SettingsText = QStringLiteral("250000,m,5,1");
    });
    WindowHarness h;
    h.start();
    QCOMPARE(h.port1.CommPort(), qint16(5));
    QCOMPARE(h.port1.Settings(), QStringLiteral("250000,e,7,2"));
    QCOMPARE(h.port2.Settings(), QStringLiteral("250000,m,5,1"));
    // Terminal 1's speed box takes any text; Terminal 2's offers only its list, so it keeps
    // its design text while the boxes after it are still set.
    QCOMPARE(comboTexts(h, 1), (QStringList{"5", "250000", "e", "7", "2", "0"}));
    QCOMPARE(comboTexts(h, 2), (QStringList{"12", "", "m", "5", "1", "0"}));
    QCOMPARE(h.program->settings().Channel[1].Speed, QStringLiteral("250000"));
}

void StartupTest::exitAndClosingEachWriteTheSettingsOnce() {
    const QString file = dataFolder() + settingsFileName();
    for (const bool byExit : {true, false}) {
        WindowHarness h;
        h.start();
        h.form.show();
        QSignalSpy saves(h.program.get(), &Program::settingsSaved);
        QVERIFY(QFile::remove(file));
        if (byExit)
            h.form.mnu_Exit->trigger();
        else
            h.form.close();
        QVERIFY(!h.form.isVisible());
        QCOMPARE(saves.count(), 1);
        QVERIFY(saves[0][0].toBool());
        QVERIFY(QFile::exists(file));
        h.form.close();
        QCOMPARE(saves.count(), 1);
    }
}

void StartupTest::terminationSignalClosesTheWindowNormally() {
    WindowHarness h;
    h.start();
    h.form.show();
    closeOnTerminationSignals(&h.form);
    QSignalSpy saves(h.program.get(), &Program::settingsSaved);
    ::raise(SIGTERM);
    QTRY_VERIFY(!h.form.isVisible());
    QCOMPARE(saves.count(), 1);
}

void StartupTest::commandHexFollowsTheCommandBox() {
    WindowHarness h;
    h.start();
    auto* text4 = h.find<QLineEdit>("Text4");
    auto* text10 = h.find<QLineEdit>("Text10");
    QCOMPARE(text10->text(), QStringLiteral("4154"));

    text4->setFocus();
    text4->end(false);
    QTest::keyClicks(text4, QStringLiteral("Z"));
    QCOMPARE(text10->text(), QStringLiteral("41545A"));
    text4->clear();
    QCOMPARE(text10->text(), QString());

    // The insert button changes the box by program; the hex follows all the same.
    auto* insert = h.find<QPushButton>("Command8");
    h.find<QLineEdit>("Text8")->setText(QStringLiteral("13"));
    insert->click();
    QCOMPARE(text4->text(), QStringLiteral("\r"));
    QCOMPARE(text10->text(), QStringLiteral("0D"));
    h.find<QLineEdit>("Text8")->setText(QStringLiteral("255"));
    insert->click();
    QCOMPARE(text10->text(), QStringLiteral("0DFF"));
    // A code that names no character inserts nothing.
    h.find<QLineEdit>("Text8")->setText(QStringLiteral("300"));
    insert->click();
    QCOMPARE(text10->text(), QStringLiteral("0DFF"));

    // Terminal 2's command box has no hex display.
    h.find<QLineEdit>("Text7")->setText(QStringLiteral("ATH"));
    QCOMPARE(text10->text(), QStringLiteral("0DFF"));
    h.find<QLineEdit>("Text9")->setText(QStringLiteral("65"));
    h.find<QPushButton>("Command9")->click();
    QCOMPARE(h.find<QLineEdit>("Text7")->text(), QStringLiteral("ATHA"));
}

QTEST_MAIN(StartupTest)
#include "test_startup.moc"
