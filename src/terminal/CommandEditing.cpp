#include "CommandEditing.h"

#include "ChannelView.h"
#include "TerminalChannel.h"
#include "text/TextConversions.h"

void Text4_Change(TerminalChannel& ch) {
    ch.view.setCommandHex(StringToHEX_noSP(ch.view.commandText()));
}

void Command8_Click(TerminalChannel& ch) {
    const qint16 n = CharacterCode(ch.view.insertCodeText());
    ch.view.setCommandText(ch.view.commandText() + CharacterOfCode(n));
}
