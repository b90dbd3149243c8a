#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

class QWidget;

// The title of every message box.
inline const QString kMessageTitle = QStringLiteral("Duplink v.2.0");

// What the program asks of the desktop, replaceable so that tests can answer and observe it.
struct Seams {
    // A message box with an OK button only; returns when it is closed.
    std::function<void(const QString& title, const QString& text)> messageBox;
    // A folder chooser; the chosen folder's absolute path, or an empty text when cancelled.
    std::function<QString(const QString& title)> chooseFolder;
    std::function<void()> beep;
    std::function<QDateTime()> now;
};

// The real desktop: modal dialogs over `parent`, the system beep and clock.
Seams desktopSeams(QWidget* parent);
