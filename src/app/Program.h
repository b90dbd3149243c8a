#pragma once

#include "Seams.h"
#include "SettingsRecord.h"
#include "TerminalChannel.h"

#include <QObject>
#include <QStringList>

#include <array>

class Form1;
class SerialControl;

// The program behind the window: its settings, its two channels and the window's start-up
// and shutdown.
class Program : public QObject {
    Q_OBJECT
public:
    Program(Form1& form, SerialControl& port1, SerialControl& port2, Seams seams,
            QObject* parent = nullptr);

    // Start-up, run once before the window is shown.
    void Form_Load();

    const SettingsRecord& settings() const { return m_record; }
    const QString& DataFolder() const { return m_dataFolder; }
    QString settingsFilePath() const;

signals:
    // After every attempt to write the settings file.
    void settingsSaved(bool ok, const QString& error);

private:
    void Form_Unload();
    void mnu_Exit_Click();
    void Timer1_Timer();
    void Combo_Click(TerminalChannel& ch, int index);

    void prepareDataFolder(QStringList& problems);
    void readSettings(QStringList& problems);
    void createResultFolders(QStringList& problems);
    void openStoredPort(TerminalChannel& ch, bool reportFailure);
    void Com_Setting(TerminalChannel& ch);
    void fillSettingFields(TerminalChannel& ch);
    // Writes the settings file; returns what went wrong, or an empty text.
    QString SaveSettings();
    void saveReportingFailure();

    Form1& m_form;
    Seams m_seams;
    SettingsRecord m_record;
    QString m_dataFolder;
    std::array<TerminalChannel, 2> m_channels;
};
