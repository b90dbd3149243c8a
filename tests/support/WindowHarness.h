#pragma once

#include "FakeDeviceWatch.h"
#include "FakeSerialControl.h"
#include "app/Program.h"
#include "capture/RecordingControl.h"
#include "terminal/CaptureSwitch.h"
#include "terminal/Clock.h"
#include "ui/Form1.h"

#include <QDateTime>
#include <QStringList>

#include <memory>

// The window with fake serial controls (recorded while capture is on, as in the program), a
// hand-moved clock and recorded dialogs, for tests. Script the fakes, then start().
class WindowHarness {
public:
    explicit WindowHarness(bool captureAtStart = false);
    ~WindowHarness();

    // Start-up, and the apply of the setting fields that ends it.
    void start();

    template <class W> W* find(const QString& objectName) const {
        return form.findChild<W*>(objectName);
    }

    Form1 form;
    RecordingControl recorded1;
    RecordingControl recorded2;
    FakeSerialControl& port1; // behind recorded1
    FakeSerialControl& port2;
    FakeDeviceWatch devices;
    Clock clock;
    std::unique_ptr<CaptureSwitch> capture;
    std::unique_ptr<Program> program;

    struct Message {
        QString title;
        QString text;
    };
    QList<Message> messages;
    QStringList folderTitles;
    QString folderAnswer;
    QStringList saveFileQuestions; // "title | suggested name"
    QString saveFileAnswer;
    QStringList openFileTitles;
    QString openFileAnswer;
    int beeps = 0;
    QDateTime now{QDate(2026, 12, 5), QTime(14, 3, 9)};
};
