#include "FakeDeviceWatch.h"
#include "WindowHarness.h"
#include "app/DesktopSeams.h"
#include "app/SettingsFile.h"
#include "app/TerminationSignals.h"
#include "terminal/ChannelView.h"
#include "terminal/LampColours.h"
#include "text/AnsiCodePage.h"
#include "ui/Lamp.h"
#include "ui/LogView.h"
#include "ui/SearchBar.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

QStringList comboTexts(const WindowHarness& h, int channel) {
    QStringList texts;
    for (int f = 0; f < 6; ++f)
        texts << h.find<QComboBox>(QStringLiteral("Combo%1_%2").arg(channel).arg(f))->currentText();
    return texts;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Started as the program starts, with nothing scripted.
struct StartedWindow : WindowHarness {
    StartedWindow() { start(); }
};

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void firstRunOnACleanMachine();
    void dataFolderFromTheEnvironment();
    void whatIsNoSettingsFileIsReplacedReportingOnlyTheUnreadable();
    void aShortFileIsCompletedOnDiskAtStart();
    void aFolderNameTheFileCannotHoldIsNeverStoredCorrupted();
    void unwritableDataFolderIsReportedOnceAndStartGoesOn();
    void messagesAreShownAsPlainText();
    void theSettingsPanelAndTheResultsFolder();
    void theLanguageIsChosenAndRemembered();
    void badValuesTypedIntoTheWindow();
    void commandKeysAndTheHistoryKeptAcrossRuns();
    void aChannelsLogIsSearchedAndSavedAsHeld();
    // A termination signal is for good: message boxes are not shown after it. This comes last.
    void exitClosingAndTerminationSignalsEachSaveOnce();

private:
    void writeStoredSettings(const std::function<void(SettingsRecord&)>& change);
    QString dataFolder() const;
    QString settingsFile() const { return dataFolder() + settingsFileName(); }

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
    QVERIFY(SaveSettings(r, settingsFile()).ok);
}

void StartupTest::firstRunOnACleanMachine() {
    WindowHarness h;
    QSignalSpy saves(h.program.get(), &Program::settingsSaved);
    h.start();

    QCOMPARE(h.program->DataFolder(), dataFolder());
    SettingsRecord defaults;
    ResetSettings(defaults, dataFolder(), h.now);
    QCOMPARE(readFile(settingsFile()), encodeSettings(defaults));
    QCOMPARE(saves.count(), 1);
    const QString month = QLocale::system().standaloneMonthName(12, QLocale::LongFormat);
    QVERIFY(QFileInfo(dataFolder() + QStringLiteral("2026/") + month).isDir());
    QVERIFY(h.messages.isEmpty());
    for (FakeSerialControl* port : {&h.port1, &h.port2}) {
        QVERIFY(port->PortOpen());
        QCOMPARE(port->Settings(), QStringLiteral("9600,n,8,1"));
    }
    QCOMPARE(comboTexts(h, 1), (QStringList{"1", "9600", "n", "8", "1", "0"}));
    QCOMPARE(comboTexts(h, 2)[0], QStringLiteral("2"));
    QCOMPARE(h.find<Lamp>("Shape1")->fillColor(), kGreen);
    QCOMPARE(h.find<Lamp>("Shape3")->fillColor(), kGreen);
}

void StartupTest::dataFolderFromTheEnvironment() {
    {
        // Leading blanks go, and the separator is not doubled.
        qputenv("ProgramFiles", "  " + m_root->path().toLocal8Bit() + "/");
        StartedWindow h;
        QCOMPARE(h.program->DataFolder(), dataFolder());
        QVERIFY(QFile::exists(settingsFile()));
    }
    // Without ProgramFiles: the user data location, which may not exist yet on a new account.
    qunsetenv("ProgramFiles");
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", m_root->path().toLocal8Bit() + "/share");
    StartedWindow h;
    qputenv("XDG_DATA_HOME", oldXdg);
    const QString expected = m_root->path() + QStringLiteral("/share/Duplink v.2.1/");
    QCOMPARE(h.program->DataFolder(), expected);
    QVERIFY(QFile::exists(expected + settingsFileName()));
    QVERIFY(h.messages.isEmpty());
}

void StartupTest::whatIsNoSettingsFileIsReplacedReportingOnlyTheUnreadable() {
    // Another version's file gives the defaults without a word.
    writeStoredSettings([](SettingsRecord& r) {
        r.ProductVersion = QStringLiteral("v.2.0");
        r.Channel[0].SettingsText = QStringLiteral("115200,n,8,1");
    });
    {
        StartedWindow h;
        QCOMPARE(h.port1.Settings(), QStringLiteral("9600,n,8,1"));
        QVERIFY(h.messages.isEmpty());
    }
    // A FIFO would block the open for ever; it counts as unreadable, and that is said.
    QVERIFY(QFile::remove(settingsFile()));
    QCOMPARE(::mkfifo(QFile::encodeName(settingsFile()).constData(), 0600), 0);
    StartedWindow h;
    QCOMPARE(h.messages.size(), 1);
    const QString text = h.messages[0].text;
    QVERIFY2(text.contains(settingsFile()) && text.contains(QStringLiteral("cannot be read")),
             qPrintable(text));
    QVERIFY2(text.contains(settingsFile() + QStringLiteral(".bak2")), qPrintable(text));
    SettingsRecord defaults;
    ResetSettings(defaults, dataFolder(), h.now);
    QCOMPARE(readFile(settingsFile()), encodeSettings(defaults));
    QVERIFY(h.port1.PortOpen());
}

void StartupTest::aShortFileIsCompletedOnDiskAtStart() {
    writeStoredSettings([](SettingsRecord& r) { r.Language = 1; });
    writeFile(settingsFile(), readFile(settingsFile()).left(16 * kRecordLength));
    StartedWindow h;
    QCOMPARE(readFile(settingsFile()).size(), 11500);
    QCOMPARE(h.find<QPushButton>("Command3")->text(), QStringLiteral("Выполнить"));
}

void StartupTest::aFolderNameTheFileCannotHoldIsNeverStoredCorrupted() {
    const QString jurgen = m_root->path() + QStringLiteral("/j\u00FCrgen");
    qputenv("ProgramFiles", QFile::encodeName(jurgen));
    const QString data = jurgen + QStringLiteral("/Duplink v.2.1/");
    const QString month = QLocale::system().standaloneMonthName(12, QLocale::LongFormat);
    for (int start = 1; start <= 2; ++start) {
        StartedWindow h;
        // This run uses the real folder; the record holds no corrupted copy of it.
        QCOMPARE(h.program->resultsFolder(), data);
        QVERIFY(QFileInfo(data + QStringLiteral("2026/") + month).isDir());
        QCOMPARE(h.program->settings().ResultsFolder, QString());
        QVERIFY(!readFile(data + settingsFileName()).contains("j?rgen"));
        // Said once, when the defaults are written; not again at every start.
        QCOMPARE(h.messages.size(), start == 1 ? 1 : 0);
        if (start == 1)
            QVERIFY2(h.messages[0].text.contains(QDir::toNativeSeparators(data)),
                     qPrintable(h.messages[0].text));
        h.form.close();
    }
    QCOMPARE(QDir(m_root->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("j\u00FCrgen")});
}

void StartupTest::unwritableDataFolderIsReportedOnceAndStartGoesOn() {
    // A file stands where the data folder's parent should be.
    const QString blocker = m_root->path() + QStringLiteral("/blocker");
    writeFile(blocker, "x");
    qputenv("ProgramFiles", blocker.toLocal8Bit());
    StartedWindow h;
    QCOMPARE(h.messages.size(), 1);
    QCOMPARE(h.messages[0].title, QStringLiteral("Duplink v.2.0"));
    const QString text = h.messages[0].text;
    QVERIFY2(text.contains(QStringLiteral("The settings cannot be saved: %1/Duplink v.2.1/%2: ")
                               .arg(blocker, settingsFileName())),
             qPrintable(text));
    QVERIFY(h.port1.PortOpen());
    QVERIFY(h.port2.PortOpen());
    QVERIFY(h.program->terminal().Timer1.isEnabled());
}

void StartupTest::messagesAreShownAsPlainText() {
    QWidget owner;
    const Seams seams = desktopSeams(&owner);
    QString shown;
    Qt::TextFormat format = Qt::RichText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        shown = box->text();
        format = box->textFormat();
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        box->accept();
    });
    seams.messageBox(QStringLiteral("Duplink v.2.0"), QStringLiteral("COM1 (<b>x</b>): busy"));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(shown, QStringLiteral("COM1 (<b>x</b>): busy"));
}

void StartupTest::theSettingsPanelAndTheResultsFolder() {
    StartedWindow h;
    auto* panel = h.find<QGroupBox>("Frame1");
    auto* text1 = h.find<QLineEdit>("Text1");
    auto* change = h.find<QPushButton>("Command1");
    QAction* setting = h.form.findChild<QAction*>("mnu_Setting");
    setting->trigger();
    QVERIFY(!panel->isHidden());
    QCOMPARE(text1->text(), dataFolder());
    // Each showing replaces what was typed.
    text1->setText(QStringLiteral("typed"));
    setting->trigger();
    QVERIFY(panel->isHidden());
    setting->trigger();
    QCOMPARE(text1->text(), dataFolder());

    // Cancelled: nothing changes and nothing is written.
    const QByteArray before = readFile(settingsFile());
    QVERIFY(QFile::remove(settingsFile()));
    change->click();
    QCOMPARE(h.folderTitles, QStringList{"Выберите директорию для хранения результата:"});
    QCOMPARE(text1->text(), dataFolder());
    QVERIFY(!QFile::exists(settingsFile()));
    writeFile(settingsFile(), before);

    // A root keeps its one separator; a name the file cannot hold is refused with a word.
    h.folderAnswer = QStringLiteral("/");
    change->click();
    QCOMPARE(text1->text(), QStringLiteral("/"));
    h.folderAnswer = m_root->path() + QStringLiteral("/\u4E2D");
    change->click();
    QCOMPARE(h.messages.size(), 1);
    QVERIFY2(h.messages[0].text.contains(QStringLiteral("cannot be kept")),
             qPrintable(h.messages[0].text));
    QCOMPARE(text1->text(), QStringLiteral("/"));

    const QString logs = m_root->path() + QStringLiteral("/Logs");
    QVERIFY(QDir().mkpath(logs));
    h.folderAnswer = logs;
    change->click();
    QCOMPARE(text1->text(), logs + QStringLiteral("/"));
    SettingsRecord stored;
    LoadSettings(stored, settingsFile(), dataFolder(), h.now);
    QCOMPARE(stored.ResultsFolder, logs + QStringLiteral("/"));
    // No folder is made now; the next start makes this year's and this month's.
    QVERIFY(!QFileInfo::exists(logs + QStringLiteral("/2026")));
    h.form.close();
    StartedWindow again;
    const QString month = QLocale::system().standaloneMonthName(12, QLocale::LongFormat);
    QVERIFY(QFileInfo(logs + QStringLiteral("/2026/") + month).isDir());
}

void StartupTest::theLanguageIsChosenAndRemembered() {
    {
        StartedWindow h;
        // The first tick came while start-up's apply had the ports closed: no modem.
        QCOMPARE(h.find<QGroupBox>("Frame2")->title(), QStringLiteral("Terminal 1: No Modem"));
        h.form.findChild<QAction*>("mnu_rus")->trigger();
        // The identification caption gives way to the plain channel name.
        QCOMPARE(h.find<QGroupBox>("Frame2")->title(), QStringLiteral("Терминал 1"));
        QVERIFY(h.form.windowTitle().contains(QStringLiteral("Сегодня: 5  Декабря  2026 года  ")));
        SettingsRecord stored;
        LoadSettings(stored, settingsFile(), dataFolder(), h.now);
        QCOMPARE(stored.Language, qint16(1));
    }
    StartedWindow h;
    QCOMPARE(h.find<QPushButton>("Command3")->text(), QStringLiteral("Выполнить"));
    // A file that cannot be written does not stop the change; the message says why.
    QVERIFY(QFile::remove(settingsFile()));
    QVERIFY(QDir().mkdir(settingsFile()));
    h.form.findChild<QAction*>("mnu_eng")->trigger();
    QCOMPARE(h.find<QPushButton>("Command3")->text(), QStringLiteral("Run"));
    QCOMPARE(h.messages.size(), 1);
    QVERIFY2(h.messages[0].text.startsWith(QStringLiteral("The settings cannot be saved: ") +
                                           settingsFile()),
             qPrintable(h.messages[0].text));
    QVERIFY(QDir().rmdir(settingsFile()));
}

void StartupTest::badValuesTypedIntoTheWindow() {
    StartedWindow h;
    const auto apply = [&h](const char* typedInto, const QString& typed, const char* pickIn) {
        h.messages.clear();
        h.find<QComboBox>(QLatin1String(typedInto))->setEditText(typed);
        auto* picked = h.find<QComboBox>(QLatin1String(pickIn));
        emit picked->activated(picked->currentIndex());
        h.clock.advanceBy(100);
        return h.messages.isEmpty() ? QString() : h.messages[0].text;
    };
    for (const QString& speed :
         {QString(), QStringLiteral("0"), QStringLiteral("-9600"), QStringLiteral("abc"),
          QStringLiteral("99999999999"), QString(600, QLatin1Char('9'))}) {
        QCOMPARE(apply("Combo1_1", speed, "Combo1_3"), QStringLiteral("It is unacceptable"));
        QVERIFY(h.port1.PortOpen());
        QCOMPARE(h.find<QLabel>("Label2")->text(), QStringLiteral("COM1 9600,n,8,1 comNone"));
    }
    QCOMPARE(apply("Combo1_1", QStringLiteral("57600"), "Combo1_3"), QString());
    QCOMPARE(apply("Combo2_2", QStringLiteral("x"), "Combo2_4"),
             QStringLiteral("It is unacceptable"));
    QCOMPARE(apply("Combo2_2", QStringLiteral("E"), "Combo2_4"), QString());
    QCOMPARE(h.port2.Settings(), QStringLiteral("9600,e,8,1"));

    // Code boxes: a code that names no character says so and adds nothing.
    h.find<QLineEdit>("Text8")->setText(QStringLiteral("1e9"));
    h.find<QLineEdit>("Text5")->setText(QStringLiteral("256"));
    h.program->terminal().channel(0).ModemState = 2;
    h.program->terminal().channel(1).ModemState = 2;
    h.find<QPushButton>("Command3")->click();
    h.clock.advanceBy(100);
    QCOMPARE(h.find<QLabel>("Label8")->text(), QStringLiteral("DEC=1e9 HEX=7FFF CHAR="));
    QVERIFY(h.port1.written().endsWith("AT"));
}

void StartupTest::commandKeysAndTheHistoryKeptAcrossRuns() {
    QString everyCharacter;
    for (int code = 0; code < 256; ++code)
        everyCharacter += ansi::charOf(uchar(code));
    const QString insertedOneAndFF = QStringLiteral("ATI\x01\u044F");
    {
        StartedWindow h;
        h.program->terminal().channel(0).ModemState = 2;
        h.program->terminal().channel(1).ModemState = 2;
        h.find<QCheckBox>("Check5")->setChecked(true);
        auto* text4 = h.find<QLineEdit>("Text4");
        auto* text10 = h.find<QLineEdit>("Text10");
        const auto key = [text4](Qt::Key k, Qt::KeyboardModifiers held = Qt::NoModifier) {
            QTest::keyClick(text4, k, held);
        };
        ChannelView& view = h.form.channelView(0);
        qsizetype sentBefore = 0;
        const auto logAndSent = [&] { // since the last call, a tick later
            h.clock.advanceBy(100);
            const QByteArray sent = h.port1.written().mid(sentBefore);
            sentBefore += sent.size();
            const QByteArray logged = view.logSlice(0, view.logSize());
            view.clearLog();
            return logged + '|' + sent;
        };

        // Typed, inserted and typed over: three commands, each sent with "Run" or Ctrl+Return,
        // which echo and send alike; a repeat is not kept twice.
        text4->end(false);
        QTest::keyClicks(text4, QStringLiteral("Z"));
        QCOMPARE(text10->text(), QStringLiteral("41545A"));
        h.find<QPushButton>("Command3")->click();
        const QByteArray clicked = logAndSent();
        QCOMPARE(clicked, QByteArray("\r\nPROG: ATZ\r\nCOM1: |ATZ\r"));
        key(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(logAndSent(), clicked);
        text4->setText(everyCharacter);
        key(Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(logAndSent(), "\r\nPROG: " + ansi::encode(everyCharacter) + "\r\nCOM1: |" +
                                   ansi::encode(everyCharacter) + '\r');
        text4->setText(QStringLiteral("ATI"));
        for (const char* code : {"1", "255"}) {
            h.find<QLineEdit>("Text8")->setText(QLatin1String(code));
            h.find<QPushButton>("Command8")->click();
        }
        QCOMPARE(text10->text(), QStringLiteral("41544901FF"));
        h.find<QPushButton>("Command3")->click();
        logAndSent();

        // Return and Enter alone send nothing, in either channel.
        for (auto* box : {text4, h.find<QLineEdit>("Text7")}) {
            box->setText(QStringLiteral("typed"));
            QTest::keyClick(box, Qt::Key_Return);
            QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier);
            QCOMPARE(box->text(), QStringLiteral("typed"));
        }
        QCOMPARE(logAndSent(), QByteArray("|"));
        QCOMPARE(h.port2.written(), QByteArray());

        // Up and Down walk them, newest first, the hex box following; what was typed comes back.
        QStringList walked;
        for (const Qt::Key k : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down,
                                Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}) {
            key(k);
            walked << text4->text();
        }
        QCOMPARE(walked, QStringList({insertedOneAndFF, everyCharacter, "ATZ", "ATZ",
                                      everyCharacter, insertedOneAndFF, "typed", "typed"}));
        key(Qt::Key_Up);
        QCOMPARE(text10->text(), QStringLiteral("41544901FF"));

        // Terminal 2 keeps its own, and has no hex box.
        h.find<QLineEdit>("Text9")->setText(QStringLiteral("65"));
        h.find<QLineEdit>("Text7")->setText(QStringLiteral("AT"));
        h.find<QPushButton>("Command9")->click();
        h.find<QPushButton>("Command6")->click();
        QCOMPARE(text10->text(), QStringLiteral("41544901FF"));
        QVERIFY(h.messages.isEmpty());
    }
    // A restart finds both histories in the file beside the settings, every character intact.
    // The file grows by a line, so that it is read again, not taken from what QSettings in this
    // process remembers of it.
    const QString kept = dataFolder() + QStringLiteral("Duplink.ini");
    QFile grown(kept);
    QVERIFY(grown.open(QIODevice::Append) && grown.write("\n") == 1);
    grown.close();
    StartedWindow h;
    auto* text4 = h.find<QLineEdit>("Text4");
    auto* text7 = h.find<QLineEdit>("Text7");
    QStringList recalled;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(text4, Qt::Key_Up);
        recalled << text4->text();
    }
    QTest::keyClick(text7, Qt::Key_Up);
    recalled << text7->text();
    QCOMPARE(recalled, QStringList({insertedOneAndFF, everyCharacter, "ATZ", "ATA"}));

    // A file that cannot be written is told once, not at every "Run"; closing tries again.
    QVERIFY(QFile::remove(kept) && QDir().mkdir(kept));
    for (const char* command : {"ATS0=1", "ATS0=2"}) {
        text4->setText(QLatin1String(command));
        h.find<QPushButton>("Command3")->click();
    }
    QCOMPARE(h.messages.size(), 1);
    QVERIFY2(
        h.messages[0].text.startsWith(QStringLiteral("The command history cannot be kept in ")),
        qPrintable(h.messages[0].text));
    QVERIFY(QDir().rmdir(kept));
    h.form.close();
    QVERIFY2(readFile(kept).contains("history1=\"ATS0=2\", \"ATS0=1\", "), readFile(kept));
}

void StartupTest::aChannelsLogIsSearchedAndSavedAsHeld() {
    StartedWindow h;
    auto* log = h.find<LogView>("Text2");
    log->setStoreThreshold(64 << 10);
    QByteArray every;
    for (int i = 0; i < 256; ++i)
        every += char(i);
    const QByteArray held = every.repeated(1024); // most of it in the log's files
    log->clear();
    log->appendBytes(held);
    QVERIFY(!log->storeFiles().isEmpty());

    // Ctrl+F anywhere in a channel opens that channel's find bar.
    h.form.show();
    h.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&h.form));
    h.find<QLineEdit>("Text4")->setFocus();
    QTest::keyClick(h.find<QLineEdit>("Text4"), Qt::Key_F, Qt::ControlModifier);
    auto* bar = h.find<QWidget>("Frame2")->findChild<SearchBar*>();
    QVERIFY(bar->isVisible() && h.find<QWidget>("Frame5")->findChild<SearchBar*>()->isHidden());
    QTest::keyClicks(bar->findChild<QLineEdit*>("searchText"), "FF00");
    bar->findChild<QAbstractButton*>("searchHex")->click();
    QTRY_COMPARE(bar->findChild<QLabel*>("searchMatches")->text(), "1023 of 1023");

    // Save as: exactly the bytes held, over what was there; then a target that cannot be
    // written, and one whose disk fills part way: a message each, nothing lost.
    QAction* saveAs = nullptr;
    for (QAction* a : log->actions())
        saveAs = a->objectName() == "saveLogAs" ? a : saveAs;
    QTemporaryDir folder;
    h.saveFileAnswer = folder.filePath("log.txt");
    writeFile(h.saveFileAnswer, "older");
    saveAs->trigger();
    QCOMPARE(h.saveFileQuestions, QStringList({"Save the log | COM1 2026-12-05 14-03-09.txt"}));
    QCOMPARE(readFile(h.saveFileAnswer), held);
    log->appendBytes("newer");
    for (const QString& target : {QStringLiteral("/etc/passwd/log.txt"), h.saveFileAnswer}) {
        h.saveFileAnswer = target;
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit small{rlim_t(held.size() / 2), limit.rlim_max};
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        saveAs->trigger();
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY2(h.messages.size() == 1 && h.messages.last().text.contains(target),
                 qPrintable(h.messages.value(0).text));
        h.messages.clear();
    }
    QCOMPARE(readFile(h.saveFileAnswer), held);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList("log.txt"));
}

void StartupTest::exitClosingAndTerminationSignalsEachSaveOnce() {
    {
        // A refused setting's "It is unacceptable" waits for a click in the middle of the apply;
        // a signal closes it and the window, which saves once. (The end-to-end test sends one
        // to the program waiting on a start-up message.)
        Form1 form;
        FakeSerialControl port1;
        FakeSerialControl port2;
        port1.refuseSettings(QStringLiteral("9600,n,7,1"));
        Clock clock;
        FakeDeviceWatch devices;
        Program program(form, port1, port2, devices, clock, desktopSeams(&form));
        closeOnTerminationSignals(&form);
        program.Form_Load();
        clock.advanceBy(100);
        form.show();
        QSignalSpy saves(&program, &Program::settingsSaved);
        QString shown;
        QTimer::singleShot(50, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                shown = box->text();
            ::raise(SIGTERM);
        });
        auto* dataBits = form.findChild<QComboBox*>(QStringLiteral("Combo1_3"));
        dataBits->setCurrentIndex(dataBits->findText(QStringLiteral("7")));
        emit dataBits->activated(dataBits->currentIndex());
        clock.advanceBy(100);
        QCOMPARE(shown, QStringLiteral("It is unacceptable"));
        QVERIFY(terminationRequested());
        QVERIFY(!form.isVisible());
        QCOMPARE(saves.count(), 1);
        clock.advanceBy(1000);
        QCOMPARE(saves.count(), 1);
    }
    // Exit, closing the window, and a signal to a running window: each closes it, saving once.
    for (const QString way : {"exit", "close", "signal"}) {
        StartedWindow h;
        h.form.show();
        QSignalSpy saves(h.program.get(), &Program::settingsSaved);
        QVERIFY(QFile::remove(settingsFile()));
        if (way == QStringLiteral("exit")) {
            h.form.findChild<QAction*>("mnu_Exit")->trigger();
        } else if (way == QStringLiteral("close")) {
            h.form.close();
        } else {
            closeOnTerminationSignals(&h.form);
            ::raise(SIGTERM);
        }
        QTRY_VERIFY2(!h.form.isVisible(), qPrintable(way));
        QCOMPARE(saves.count(), 1);
        QVERIFY(saves[0][0].toBool() && QFile::exists(settingsFile()));
        h.form.close();
        QCOMPARE(saves.count(), 1);
    }
}

QTEST_MAIN(StartupTest)
#include "test_startup.moc"
