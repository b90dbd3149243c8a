// Program's capture of both ports: the menu item, the choice remembered beside the settings
// file, where the files go, and the timeline window showing the capture as it is written.

#include "Folders.h"
#include "Preferences.h"
#include "Program.h"
#include "terminal/CaptureSwitch.h"
#include "terminal/Product.h"
#include "ui/Form1.h"
#include "ui/timeline/TimelineWindow.h"

#include <QDir>
#include <QFileInfo>

void Program::useCapture(CaptureSwitch& capture, bool onAtStart) {
    m_capture = &capture;
    m_captureAtStart = onAtStart;
    capture.setFileNaming([this](const QDateTime& start, QString& problem) {
        return captureFileName(start, problem);
    });
    connect(&capture, &CaptureSwitch::switched, &m_form, &Form1::showCapture);
    connect(&m_form, &Form1::captureChosen, this, &Program::captureChosen);
    connect(&m_form, &Form1::timelineChosen, this, &Program::timelineChosen);
    connect(&m_terminal, &Terminal::transmitModeChanged, &capture, [&capture](bool on) {
        capture.note(on ? QStringLiteral("transmit on") : QStringLiteral("transmit off"));
    });
}

void Program::timelineChosen() {
    if (!m_timeline) {
        m_timeline = new TimelineWindow(&m_form);
        m_timeline->useSeams(m_seams);
        m_timeline->setLanguage(m_record.Language);
        m_timeline->showCapture(m_capture->isOn(), m_capture->fileName());
        connect(m_capture, &CaptureSwitch::switched, m_timeline, &TimelineWindow::showCapture);
    }
    m_timeline->show();
    m_timeline->raise();
    m_timeline->activateWindow();
}

QString Program::preferencesFilePath() const {
    return m_dataFolder + kProductName + QStringLiteral(".ini");
}

void Program::startCaptureWhenChosen() {
    if (m_capture && (m_captureAtStart || readPreferences(preferencesFilePath()).capture))
        m_capture->setOn(true);
}

void Program::captureChosen(bool on) {
    m_capture->setOn(on);
    Preferences preferences = readPreferences(preferencesFilePath());
    preferences.capture = m_capture->isOn();
    const QString error = writePreferences(preferencesFilePath(), preferences);
    if (!error.isEmpty())
        m_seams.messageBox(kMessageTitle,
                           QStringLiteral("The choice cannot be kept in %1: %2")
                               .arg(QDir::toNativeSeparators(preferencesFilePath()), error));
}

QString Program::captureFileName(const QDateTime& start, QString& problem) const {
    const QString folder = monthFolder(resultsFolder(), start.date());
    const QString error = createFolder(folder);
    if (!error.isEmpty()) {
        problem = QStringLiteral("the folder %1 cannot be created: %2")
                      .arg(QDir::toNativeSeparators(folder), error);
        return {};
    }
    // Two files started within a second (a small size limit, a quick off and on) keep both.
    const QString stem = folder + QDir::separator() + kProductName +
                         start.toString(QStringLiteral(" yyyy-MM-dd HH-mm-ss"));
    QString name = stem + QStringLiteral(".pcapng");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = stem + QStringLiteral(" (%1).pcapng").arg(n);
    return name;
}
