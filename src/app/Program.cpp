#include "Program.h"

#include "DataFolder.h"
#include "Folders.h"
#include "SettingsFile.h"
#include "serial/PortDevice.h"
#include "serial/SerialControl.h"
#include "serial/SerialError.h"
#include "terminal/CommandEditing.h"
#include "ui/Captions.h"
#include "ui/Colours.h"
#include "ui/ComboText.h"
#include "ui/Form1.h"
#include "ui/Lamp.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QTimer>

Program::Program(Form1& form, SerialControl& port1, SerialControl& port2, Seams seams,
                 QObject* parent)
    : QObject(parent), m_form(form), m_seams(std::move(seams)) {
    SerialControl* ports[2] = {&port1, &port2};
    for (int i = 0; i < 2; ++i) {
        TerminalChannel& ch = m_channels[size_t(i)];
        ch.number = i + 1;
        ch.MSComm = ports[i];
        ch.MSComm->setObjectName(QStringLiteral("MSComm%1").arg(i + 1));
        ch.ui = &m_form.channel[size_t(i)];
        ch.settings = &m_record.Channel[i];
        for (int f = 0; f < 6; ++f) {
            connect(ch.ui->Combo[size_t(f)], &QComboBox::activated, this,
                    [this, &ch, f] { Combo_Click(ch, f); });
        }
        connectCommandEditing(*ch.ui);
    }
    connect(&m_form, &Form1::unloading, this, &Program::Form_Unload);
    connect(m_form.mnu_Exit, &QAction::triggered, this, &Program::mnu_Exit_Click);
    connect(m_form.Timer1, &QTimer::timeout, this, &Program::Timer1_Timer);
}

QString Program::settingsFilePath() const {
    return m_dataFolder + settingsFileName();
}

void Program::Form_Load() {
    QStringList problems;
    prepareDataFolder(problems);
    readSettings(problems);
    createResultFolders(problems);
    if (!problems.isEmpty())
        m_seams.messageBox(kMessageTitle, problems.join(QLatin1Char('\n')));

    Lang_Setting(m_form, m_record.Language, m_seams.now());
    openStoredPort(m_channels[0], true);
    openStoredPort(m_channels[1], false);

    // Ticks begin only now, so none of them meets a half-started window.
    m_form.Timer1->start();
}

void Program::prepareDataFolder(QStringList& problems) {
    m_dataFolder = dataFolderFromEnvironment();
    if (PathExists(m_dataFolder))
        return;
    const QString error = createFolder(m_dataFolder);
    if (!error.isEmpty())
        problems << QStringLiteral("The folder %1 cannot be created: %2").arg(m_dataFolder, error);
}

void Program::readSettings(QStringList& problems) {
    const QDateTime now = m_seams.now();
    QString saveError;
    if (PathExists(settingsFilePath())) {
        const LoadOutcome loaded = LoadSettings(m_record, settingsFilePath(), m_dataFolder, now);
        if (loaded.recovered) {
            emit settingsSaved(loaded.save.ok, loaded.save.error);
            saveError = loaded.save.error;
        }
        if (m_record.ProductName != kProductName || m_record.ProductVersion != kProductVersion) {
            ResetSettings(m_record, m_dataFolder, now);
            saveError = SaveSettings();
        }
    } else {
        ResetSettings(m_record, m_dataFolder, now);
        saveError = SaveSettings();
    }
    if (!saveError.isEmpty())
        problems << QStringLiteral("The settings cannot be saved: %1").arg(saveError);
}

void Program::createResultFolders(QStringList& problems) {
    // An empty results folder would put the folders wherever the program was started.
    if (m_record.ResultsFolder.isEmpty())
        return;
    const QDate today = m_seams.now().date();
    for (const QString& folder :
         {yearFolder(m_record.ResultsFolder, today), monthFolder(m_record.ResultsFolder, today)}) {
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

void Program::openStoredPort(TerminalChannel& ch, bool reportFailure) {
    QStringList failures;
    const auto step = [&failures](auto&& action) {
        try {
            action();
        } catch (const SerialError& e) {
            failures << e.description();
        }
    };
    step([&] { ch.MSComm->setCommPort(toPortNumber(ch.settings->Port)); });
    step([&] { ch.MSComm->setSettings(ch.settings->SettingsText); });
    step([&] { ch.MSComm->setPortOpen(true); });
    if (reportFailure && !failures.isEmpty())
        m_seams.messageBox(kMessageTitle, failures.join(QLatin1Char('\n')));

    ch.ui->portLamp->setFillColor(ch.MSComm->PortOpen() ? kGreen : kRed);
    Com_Setting(ch);
    fillSettingFields(ch);
}

void Program::Com_Setting(TerminalChannel& ch) {
    PortSettings& p = *ch.settings;
    p.Port = QString::number(ch.MSComm->CommPort());
    // The last six characters are always ",p,d,s": the speed is everything before them.
    const QString s = ch.MSComm->Settings();
    const qsizetype l = s.size();
    if (l >= 7) {
        p.Speed = s.left(l - 6);
        p.Parity = s.mid(l - 5, 1);
        p.DataBits = s.mid(l - 3, 1);
        p.StopBits = s.right(1);
    }
    p.Flow = QString::number(ch.MSComm->Handshaking());
}

void Program::fillSettingFields(TerminalChannel& ch) {
    const PortSettings& p = *ch.settings;
    const QString values[6] = {p.Port, p.Speed, p.Parity, p.DataBits, p.StopBits, p.Flow};
    for (int f = 0; f < 6; ++f) {
        // A value the list does not offer leaves the box as it was; the others are still set.
        if (setComboText(ch.ui->Combo[size_t(f)], values[f]))
            Combo_Click(ch, f);
    }
}

void Program::Combo_Click(TerminalChannel& ch, int index) {
    // Picking a setting reconfigures the port; that comes with the port configuration.
    Q_UNUSED(ch);
    Q_UNUSED(index);
}

void Program::Timer1_Timer() {
    // The terminal's poll loop runs here.
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
}

void Program::mnu_Exit_Click() {
    saveReportingFailure();
    // Closing now must not save a second time.
    m_form.closeWithoutUnload();
    QCoreApplication::quit();
}
