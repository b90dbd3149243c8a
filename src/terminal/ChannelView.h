#pragma once

#include <QObject>
#include <QString>

#include <functional>

// What the terminal needs of the window for one channel: the controls it reads when it needs
// them, what it shows, and the user's actions. The window implements it; tests use a fake.
class ChannelView : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Read at the moment they are needed, never kept.
    virtual QString commandText() const = 0;     // the command box
    virtual QString endCodeText() const = 0;     // the end-character code box
    virtual bool endCodeChecked() const = 0;     // "Character code command to complete"
    virtual bool showCommandChecked() const = 0; // "Show entered command"
    virtual bool hexFormatChecked() const = 0;   // "HEX Format"
    virtual QString insertCodeText() const = 0;  // the "Insert Char 0-255" code box
    virtual QString settingFieldText(int field) const = 0;
    // A checkbox's value: 0 clear, 1 ticked, 2 grayed.
    virtual int rtsBoxValue() const = 0;
    virtual int dtrBoxValue() const = 0;

    virtual void setFrameCaption(const QString& caption) = 0;
    virtual void setInfoLine(const QString& text) = 0;
    // The log holds 8-bit text, one character of the character set per byte. Appending puts
    // the caret at the end, so that the newest text is in view; only clearLog shortens it.
    virtual void appendToLog(const QByteArray& bytes) = 0;
    // The same for `size` bytes that `fill` writes; a log that can takes them without a copy.
    virtual void writeToLog(qint64 size, const std::function<void(char*)>& fill) {
        QByteArray bytes(size, Qt::Uninitialized);
        fill(bytes.data());
        appendToLog(bytes);
    }
    virtual void moveLogCaretToEnd() = 0;
    virtual void clearLog() = 0;
    // The log's bytes as they are held, read a piece at a time: a long log is partly in files.
    virtual qint64 logSize() const = 0;
    virtual QByteArray logSlice(qint64 from, qint64 to) const = 0;

    virtual void setCommandText(const QString& text) = 0;
    virtual void focusCommand() = 0;
    // Terminal 1's command in hex; a channel without that box ignores it.
    virtual void setCommandHex(const QString& hex) = 0;
    // A field that only offers its list refuses any other text (false) and keeps its own.
    virtual bool setSettingFieldText(int field, const QString& text) = 0;
    virtual void setPortLamp(int colour) = 0;
    virtual void setLineLamp(int line, int colour) = 0; // 0 RTS, 1 DTR, 2 CTS, 3 DSR, 4 DCD, 5 RI
    virtual void setRtsBoxVisible(bool visible) = 0;
    virtual void setDtrBoxVisible(bool visible) = 0;
    virtual void setPortSummary(const QString& text) = 0;
    virtual void setPortSummaryColour(int colour) = 0;
    // What each port number of the port field leads to (16 texts), and more about the port in
    // use (its device and adapter, and why it is closed when it is): shown on hovering.
    virtual void describePorts(const QStringList& byNumber) = 0;
    virtual void setPortDetails(const QString& details) = 0;
    // A script runs on the channel: its log offers to stop it instead of running another.
    virtual void showScriptRunning(bool running) = 0;

signals:
    // The user picked an entry of a setting field's list (typing is not a pick).
    void settingPicked(int field);
    // The command box's text changed, whoever changed it.
    void commandChanged();
    void insertClicked();
    void runClicked(); // Ctrl+Return in the command box too
    // Up and Down in the command box.
    void olderCommandAsked();
    void newerCommandAsked();
    void clearClicked();
    void emptyClicked(); // "*"
    void rtsBoxClicked();
    void dtrBoxClicked();
    void saveLogChosen(); // the log's "Save as..."
    void runScriptChosen();
    void stopScriptChosen();
};
