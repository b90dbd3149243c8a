#include "Program.h"

#include "DataFolder.h"
#include "Folders.h"
#include "PortListing.h"
#include "SettingsFile.h"
#include "serial/PortMap.h"
#include "terminal/Product.h"
#include "ui/Form1.h"

#include <QCoreApplication>
#include <QDir>

Program::Program(Form1& form, SerialControl& port1, SerialControl& port2, DeviceWatch& devices,
                 Clock& clock, Seams seams, QObject* parent)
    : QObject(parent), m_form(form), m_seams(seams),
      m_terminal(clock, seams, {port1, form.channelView(0), m_record.Channel[0]},
                 {port2, form.channelView(1), m_record.Channel[1]}, form.transmitView(), devices) {
    connect(&m_form, &Form1::unloading, this, &Program::Form_Unload);
    connect(&m_form, &Form1::exitChosen, this, &Program::mnu_Exit_Click);
    connect(&m_form, &Form1::settingsMenuChosen, this, &Program::mnu_Setting_Click);
    connect(&m_form, &Form1::changeFolderClicked, this, &Program::Command1_Click);
    connect(&m_form, &Form1::englishChosen, this, &Program::mnu_eng_Click);
    connect(&m_form, &Form1::russianChosen, this, &Program::mnu_rus_Click);
    connect(&m_terminal, &Terminal::commandHistoryChanged, this, &Program::saveCommandHistory);
}

QString Program::settingsFilePath() const {
    return m_dataFolder + settingsFileName();
}

QString Program::resultsFolder() const {
    return m_record.ResultsFolder.isEmpty() ? m_dataFolder : m_record.ResultsFolder;
}

void Program::Form_Load() {
    QStringList problems;
    prepareDataFolder(problems);
    loadPortMap(problems);
    readSettings(problems);
    createResultFolders(problems);
    loadCommandHistory();
    if (!problems.isEmpty())
        m_seams.messageBox(kMessageTitle, problems.join(QLatin1Char('\n')));

    m_form.Lang_Setting(m_record.Language, m_seams.now());
    m_terminal.openStoredPort(m_terminal.channel(0));
    m_terminal.openStoredPort(m_terminal.channel(1));
    // Once the ports have their numbers, which name them in the file, and before the first
    // tick, so that the record holds the modems' identification.
    startCaptureWhenChosen();

    // Ticks begin only now, so none of them meets a half-started window.
    m_terminal.startPolling();
}

void Program::prepareDataFolder(QStringList& problems) {
    m_dataFolder = dataFolderFromEnvironment();
    if (PathExists(m_dataFolder))
        return;
    const QString error = createFolder(m_dataFolder);
    if (!error.isEmpty())
        problems << QStringLiteral("The folder %1 cannot be created: %2").arg(m_dataFolder, error);
}

void Program::loadPortMap(QStringList& problems) {
    const PortMap map = readPortMap(portMapPath());
    usePortMap(map.devices);
    if (!map.problems.isEmpty())
        problems << QStringLiteral("The port map %1: %2; %3")
                        .arg(QDir::toNativeSeparators(portMapPath()),
                             map.problems.join(QStringLiteral("; ")),
                             map.devices.isEmpty() ? QStringLiteral("none of it applies.")
                                                   : QStringLiteral("the rest of it applies."));
}

void Program::readSettings(QStringList& problems) {
    const QDateTime now = m_seams.now();
    QString saveError;
    bool reset = false;
    if (PathExists(settingsFilePath())) {
        const LoadOutcome loaded = LoadSettings(m_record, settingsFilePath(), m_dataFolder, now);
        reset = loaded.recovered;
        if (loaded.recovered) {
            emit settingsSaved(loaded.save.ok, loaded.save.error);
            saveError = loaded.save.error;
            if (!loaded.unreadable.isEmpty()) {
                problems << QStringLiteral("The settings file %1 cannot be read (%2); the "
                                           "defaults are used.")
                                .arg(QDir::toNativeSeparators(settingsFilePath()),
                                     loaded.unreadable);
            }
            if (!loaded.unreadable.isEmpty() && !loaded.backup.isEmpty()) {
                problems << QStringLiteral("The old file is kept as %1.")
                                .arg(QDir::toNativeSeparators(loaded.backup));
            }
        }
        if (loaded.incomplete) {
            // Whatever the short file lacked now holds its default; the file should say so too.
            saveError = SaveSettings();
        }
    } else {
        ResetSettings(m_record, m_dataFolder, now);
        reset = true;
        saveError = SaveSettings();
    }
    if (!saveError.isEmpty())
        problems << QStringLiteral("The settings cannot be saved: %1").arg(saveError);
    if (reset && m_record.ResultsFolder.isEmpty()) {
        problems << QStringLiteral("The settings file cannot hold the folder name %1 (only "
                                   "Windows-1251 characters fit, at most %2 of them); the "
                                   "results go into that folder all the same.")
                        .arg(QDir::toNativeSeparators(m_dataFolder))
                        .arg(kMaxTextBytes);
    }
}

void Program::createResultFolders(QStringList& problems) {
    const QDate today = m_seams.now().date();
    for (const QString& folder :
         {yearFolder(resultsFolder(), today), monthFolder(resultsFolder(), today)}) {
        if (PathExists(folder))
            continue;
        const QString error = createFolder(folder);
        if (!error.isEmpty()) {
            problems << QStringLiteral("The folder %1 cannot be created: %2")
                            .arg(QDir::toNativeSeparators(folder), error);
            return;
        }
    }
}

QString Program::SaveSettings() {
    const FileOutcome outcome = ::SaveSettings(m_record, settingsFilePath());
    emit settingsSaved(outcome.ok, outcome.error);
    return outcome.error;
}

void Program::saveReportingFailure() {
    const QString error = SaveSettings();
    if (!error.isEmpty())
        m_seams.messageBox(kMessageTitle,
                           QStringLiteral("The settings cannot be saved: %1").arg(error));
}

void Program::Form_Unload() {
    saveReportingFailure();
    if (m_historyUnsaved)
        saveCommandHistory();
}

void Program::mnu_Exit_Click() {
    saveReportingFailure();
    if (m_historyUnsaved)
        saveCommandHistory();
    // Closing now must not save a second time.
    m_form.closeWithoutUnload();
    QCoreApplication::quit();
}

#include "moc_Program.cpp"
