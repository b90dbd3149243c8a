#pragma once

#include "SettingsRecord.h"
#include "terminal/Seams.h"
#include "terminal/Terminal.h"

#include <QObject>
#include <QStringList>

class CaptureSwitch;
class Clock;
class DeviceWatch;
class Form1;
class SerialControl;
class TimelineWindow;

// The program behind the window: its settings and their file, start-up and shutdown, and the
// terminal wired to the window.
class Program : public QObject {
    Q_OBJECT
public:
    Program(Form1& form, SerialControl& port1, SerialControl& port2, DeviceWatch& devices,
            Clock& clock, Seams seams, QObject* parent = nullptr);

    // The capture of both ports, handed over before start-up; `onAtStart` turns it on at
    // start whatever the user chose last.
    void useCapture(CaptureSwitch& capture, bool onAtStart);

    // Start-up, run once before the window is shown.
    void Form_Load();

    const SettingsRecord& settings() const { return m_record; }
    const QString& DataFolder() const { return m_dataFolder; }
    QString settingsFilePath() const;
    // The results folder in use: the stored one, or the data folder when none could be stored.
    QString resultsFolder() const;
    Terminal& terminal() { return m_terminal; }

signals:
    // After every attempt to write the settings file.
    void settingsSaved(bool ok, const QString& error);

private:
    void Form_Unload();
    void mnu_Exit_Click();
    // The settings panel and the language menu.
    void mnu_Setting_Click();
    void Command1_Click();
    QString strGetAbsoluteFolderPathName(const QString& strTitle);
    void mnu_eng_Click() { chooseLanguage(0); }
    void mnu_rus_Click() { chooseLanguage(1); }
    void chooseLanguage(qint16 language);
    // The capture menu item, and the capture at start-up.
    void captureChosen(bool on);
    void startCaptureWhenChosen();
    // The timeline window, made the first time it is chosen, showing the capture as it goes.
    void timelineChosen();
    QString preferencesFilePath() const;
    // Each channel's commands: read back at start, kept after each change, and at closing
    // when a change could not be kept.
    void loadCommandHistory();
    void saveCommandHistory();
    QString captureFileName(const QDateTime& start, QString& problem) const;

    void prepareDataFolder(QStringList& problems);
    void loadPortMap(QStringList& problems);
    void readSettings(QStringList& problems);
    void createResultFolders(QStringList& problems);
    // Writes the settings file; returns what went wrong, or an empty text.
    QString SaveSettings();
    void saveReportingFailure();

    Form1& m_form;
    Seams m_seams;
    SettingsRecord m_record;
    QString m_dataFolder;
    Terminal m_terminal;
    CaptureSwitch* m_capture = nullptr;
    bool m_captureAtStart = false;
    TimelineWindow* m_timeline = nullptr; // a window of the main window's, once chosen
    bool m_historyUnsaved = false;
    bool m_historyProblemShown = false; // told once a run, not at every "Run"
};
