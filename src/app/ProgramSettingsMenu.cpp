// Program's menu handlers: the settings panel with its results folder, and the language.

#include "Program.h"
#include "SettingsFile.h"
#include "terminal/Product.h"
#include "ui/Form1.h"
#include "ui/timeline/TimelineWindow.h"

#include <QDir>

void Program::mnu_Setting_Click() {
    if (m_form.settingsPanelShown()) {
        m_form.showSettingsPanel(false);
        return;
    }
    m_form.showSettingsPanel(true);
    m_form.setResultsFolderText(QDir::toNativeSeparators(resultsFolder()));
}

void Program::Command1_Click() {
    QString folder = strGetAbsoluteFolderPathName(
        QStringLiteral("Выберите директорию для хранения результата:"));
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    // A name the settings file cannot hold would come back corrupted at the next start.
    if (storableFolder(folder).isEmpty()) {
        m_seams.messageBox(
            kMessageTitle,
            QStringLiteral("The folder %1 cannot be kept in the settings file: only "
                           "Windows-1251 characters fit, at most %2 of them. The results "
                           "folder stays %3.")
                .arg(folder)
                .arg(kMaxTextBytes)
                .arg(QDir::toNativeSeparators(resultsFolder())));
        return;
    }
    m_form.setResultsFolderText(folder);
    m_record.ResultsFolder = folder;
    saveReportingFailure();
}

QString Program::strGetAbsoluteFolderPathName(const QString& strTitle) {
    const QString chosen = m_seams.chooseFolder(strTitle);
    return chosen.isEmpty() ? QString() : QDir::toNativeSeparators(QDir(chosen).absolutePath());
}

void Program::chooseLanguage(qint16 language) {
    m_record.Language = language;
    m_form.Lang_Setting(m_record.Language, m_seams.now());
    if (m_timeline)
        m_timeline->setLanguage(m_record.Language);
    saveReportingFailure();
}
