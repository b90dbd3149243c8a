#include "CommandEditing.h"

#include "ChannelView.h"
#include "Product.h"
#include "Seams.h"
#include "TerminalChannel.h"
#include "capture/FileWriting.h"
#include "serial/SerialControl.h"
#include "text/AnsiCodePage.h"
#include "text/TextConversions.h"

#include <QDir>

void echoCommand(TerminalChannel& ch, const QByteArray& command, const QByteArray& ending) {
    ChannelView& v = ch.view;
    if (!v.showCommandChecked())
        return;
    const QByteArray shown = v.hexFormatChecked() ? StringToHEX(command + ending) : command;
    v.appendToLog("\r\nPROG: " + shown + "\r\n");
    v.appendToLog("COM" + QByteArray::number(ch.MSComm.CommPort()) + ": ");
}

void Command3_Click(TerminalChannel& ch) {
    ChannelView& v = ch.view;
    // A code outside 0-255 names no character: nothing is added.
    const QString endCharacter = CharacterOfCode(CharacterCode(v.endCodeText()));
    echoCommand(ch, ansi::encode(v.commandText()),
                v.endCodeChecked() ? ansi::encode(endCharacter) : QByteArray());
    v.moveLogCaretToEnd();
    ch.SendPending = SendPendings::Waiting;
}

void Command4_Click(TerminalChannel& ch) {
    ch.view.clearLog();
}

void Command11_Click(TerminalChannel& ch) {
    ch.view.setCommandText(QString());
    ch.view.focusCommand();
}

void Command8_Click(TerminalChannel& ch) {
    const qint16 n = CharacterCode(ch.view.insertCodeText());
    ch.view.setCommandText(ch.view.commandText() + CharacterOfCode(n));
}

void recallOlderCommand(TerminalChannel& ch) {
    if (const std::optional<QString> command = ch.history.older(ch.view.commandText()))
        ch.view.setCommandText(*command);
}

void recallNewerCommand(TerminalChannel& ch) {
    if (const std::optional<QString> command = ch.history.newer())
        ch.view.setCommandText(*command);
}

void Text4_Change(TerminalChannel& ch) {
    ch.view.setCommandHex(StringToHEX_noSP(ch.view.commandText()));
}

void saveLogAs(TerminalChannel& ch, const Seams& seams) {
    const QString suggested = QStringLiteral("COM%1 %2.txt")
                                  .arg(ch.MSComm.CommPort())
                                  .arg(seams.now().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")));
    const QString path = seams.chooseSaveFile(QStringLiteral("Save the log"), suggested);
    if (path.isEmpty())
        return;
    // A long log is partly in files: it goes a piece at a time.
    constexpr qint64 kPiece = qint64(1) << 20;
    const qint64 size = ch.view.logSize();
    qint64 at = 0;
    const QString error = replaceWholeFile(path, [&] {
        const QByteArray piece = ch.view.logSlice(at, std::min(size, at + kPiece));
        at += piece.size();
        return piece;
    });
    if (!error.isEmpty())
        seams.messageBox(kMessageTitle, QStringLiteral("The log could not be saved to %1: %2")
                                            .arg(QDir::toNativeSeparators(path), error));
}
