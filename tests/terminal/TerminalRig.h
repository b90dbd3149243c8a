#pragma once

#include "FakeChannelView.h"
#include "FakeDeviceWatch.h"
#include "FakeSerialControl.h"
#include "terminal/Clock.h"
#include "terminal/PortSettings.h"
#include "terminal/Terminal.h"

#include <QCoreApplication>
#include <QStringList>

// The terminal on fake ports and fake views, a hand-moved clock and recorded messages.
struct TerminalRig {
    TerminalRig() {
        view2.editable = {false, false, true, false, false, false};
        for (int c = 0; c < 2; ++c)
            settings[c] =
                PortSettings{QString::number(c + 1), "9600,n,8,1", "9600", "n", "8", "1", "0"};
        Seams seams;
        seams.messageBox = [this](const QString& title, const QString& text) {
            messages << title + QStringLiteral(" | ") + text;
        };
        seams.chooseOpenFile = [this](const QString& title) {
            openFileTitles << title;
            return openFileAnswer;
        };
        seams.beep = [this] {
            ++beeps;
        };
        terminal = std::make_unique<Terminal>(
            clock, seams, Terminal::ChannelParts{port1, view1, settings[0]},
            Terminal::ChannelParts{port2, view2, settings[1]}, transmit, devices);
    }

    // Start-up's part: both stored ports opened and polling begun; 100 ms later the first tick
    // and the apply of the fields.
    void openBoth() {
        terminal->openStoredPort(terminal->channel(0));
        terminal->openStoredPort(terminal->channel(1));
        terminal->startPolling();
        clock.advanceBy(100);
    }

    // Both modems identified, so that every tick from now on is a normal one.
    void skipIdentification() {
        terminal->channel(0).ModemState = 2;
        terminal->channel(1).ModemState = 2;
    }
    void tick() { clock.advanceBy(100); }
    // What the controls report after a call returns arrives.
    void settle() { QCoreApplication::processEvents(); }

    FakeSerialControl port1;
    FakeSerialControl port2;
    FakeChannelView view1;
    FakeChannelView view2;
    FakeTransmitView transmit;
    FakeDeviceWatch devices;
    PortSettings settings[2];
    Clock clock;
    QStringList messages;
    QStringList openFileTitles;
    QString openFileAnswer;
    int beeps = 0;
    std::unique_ptr<Terminal> terminal;
};
