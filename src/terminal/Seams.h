#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

// What the program asks of the desktop, replaceable so that tests can answer and observe it.
struct Seams {
    // A message box with an OK button only, showing `text` as plain text; returns when closed.
    std::function<void(const QString& title, const QString& text)> messageBox;
    // A folder chooser; the chosen folder's absolute path, or an empty text when cancelled.
    std::function<QString(const QString& title)> chooseFolder;
    // A file chooser for saving, offering the suggested name; the chosen file's absolute path,
    // or an empty text when cancelled.
    std::function<QString(const QString& title, const QString& suggestedName)> chooseSaveFile;
    // A file chooser for opening an existing file; its absolute path, or an empty text when
    // cancelled.
    std::function<QString(const QString& title)> chooseOpenFile;
    std::function<void()> beep;
    std::function<QDateTime()> now;
};
