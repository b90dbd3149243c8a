#pragma once

#include "terminal/ChannelView.h"
#include "terminal/LampColours.h"
#include "terminal/PortSettings.h"
#include "terminal/TransmitView.h"

#include <QStringList>

#include <array>

// A channel's window side as plain values, for testing the terminal without widgets. A field
// that accepts only its list refuses other texts, as a list-only box does.
class FakeChannelView final : public ChannelView {
    Q_OBJECT
public:
    QString commandText() const override { return command; }
    QString endCodeText() const override { return endCode; }
    bool endCodeChecked() const override { return endCodeOn; }
    bool showCommandChecked() const override { return showCommand; }
    bool hexFormatChecked() const override { return hexFormat; }
    QString insertCodeText() const override { return insertCode; }
    QString settingFieldText(int field) const override { return fields[size_t(field)]; }
    int rtsBoxValue() const override { return rtsBox; }
    int dtrBoxValue() const override { return dtrBox; }
    void setFrameCaption(const QString& caption) override { frameCaption = caption; }
    void setInfoLine(const QString& text) override { infoLine = text; }
    void appendToLog(const QByteArray& bytes) override;
    void moveLogCaretToEnd() override { caretAtEnd = true; }
    void clearLog() override { log.clear(); }
    qint64 logSize() const override { return log.size(); }
    QByteArray logSlice(qint64 from, qint64 to) const override { return log.mid(from, to - from); }
    void setCommandText(const QString& text) override;
    void focusCommand() override { commandFocused = true; }
    void setCommandHex(const QString& hex) override { commandHex = hex; }
    bool setSettingFieldText(int field, const QString& text) override;
    void setPortLamp(int colour) override { portLamp = colour; }
    void setLineLamp(int line, int colour) override { lineLamps[size_t(line)] = colour; }
    void setRtsBoxVisible(bool visible) override { rtsBoxVisible = visible; }
    void setDtrBoxVisible(bool visible) override { dtrBoxVisible = visible; }
    void setPortSummary(const QString& text) override { summary = text; }
    void setPortSummaryColour(int colour) override { summaryColour = colour; }
    void describePorts(const QStringList& byNumber) override { portDescriptions = byNumber; }
    void setPortDetails(const QString& details) override { portDetails = details; }
    void showScriptRunning(bool running) override { scriptRunning = running; }

    // The user picks in a field: its text changes, then the pick is announced.
    void pick(int field, const QString& text);

    QString command = QStringLiteral("AT");
    QString endCode = QStringLiteral("13");
    bool endCodeOn = true;
    bool showCommand = false;
    bool hexFormat = false;
    QString frameCaption;
    QString infoLine;
    QByteArray log;
    int appends = 0;
    bool caretAtEnd = false;
    bool commandFocused = false;
    QString insertCode = QStringLiteral("255");
    QString commandHex = QStringLiteral("4154");
    std::array<QString, kSettingFieldCount> fields{};
    // Which fields take any text; by default, like Terminal 1: port and speed.
    std::array<bool, kSettingFieldCount> editable{true, true, false, false, false, false};
    int portLamp = kRed;
    std::array<int, 6> lineLamps{kOff, kOff, kOff, kOff, kOff, kOff};
    int rtsBox = 0;
    int dtrBox = 1;
    bool rtsBoxVisible = true;
    bool dtrBoxVisible = true;
    QString summary;
    int summaryColour = 0;
    QStringList portDescriptions;
    QString portDetails;
    bool scriptRunning = false;
};

class FakeTransmitView final : public TransmitView {
    Q_OBJECT
public:
    bool option3Selected() const override { return !followLines; }
    bool option4Selected() const override { return followLines; }
    void showTransmitMode(bool on) override { shownOn = on; }

    bool followLines = true;
    bool shownOn = false;
};
