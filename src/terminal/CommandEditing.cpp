#include "CommandEditing.h"

#include "ChannelView.h"
#include "TerminalChannel.h"
#include "serial/SerialControl.h"
#include "text/AnsiCodePage.h"
#include "text/TextConversions.h"

void Command3_Click(TerminalChannel& ch) {
    ChannelView& v = ch.view;
    QString t = v.commandText();
    // A code outside 0-255 names no character: nothing is added.
    const QString endCharacter = CharacterOfCode(CharacterCode(v.endCodeText()));
    if (v.endCodeChecked())
        t += endCharacter;
    if (v.showCommandChecked()) {
        const QByteArray shown =
            v.hexFormatChecked() ? StringToHEX(ansi::encode(t)) : ansi::encode(v.commandText());
        v.appendToLog("\r\nPROG: " + shown + "\r\n");
        v.appendToLog("COM" + QByteArray::number(ch.MSComm.CommPort()) + ": ");
    }
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

void Text4_Change(TerminalChannel& ch) {
    ch.view.setCommandHex(StringToHEX_noSP(ch.view.commandText()));
}
