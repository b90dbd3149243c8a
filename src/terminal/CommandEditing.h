#pragma once

#include <QByteArray>

struct Seams;
struct TerminalChannel;

// "Run": the command and its end character echoed into the log (when "Show entered command" is
// ticked) and left pending for the poll loop, which sends the boxes as they are then.
void Command3_Click(TerminalChannel& ch);

// The echo of a command sent on the channel, when "Show entered command" is ticked: a new line,
// "PROG: " and the command without its ending (or in hex with it, with "HEX Format"), a new
// line, then the port's "COMn: " that the answer follows.
void echoCommand(TerminalChannel& ch, const QByteArray& command, const QByteArray& ending);

// "Clear": empties the log; a pending command stays pending.
void Command4_Click(TerminalChannel& ch);

// "*": empties the command box and gives it the focus.
void Command11_Click(TerminalChannel& ch);

// "Insert Char 0-255": appends the character whose code the code box holds to the command
// box, wherever the caret is. A code that names no character inserts nothing.
void Command8_Click(TerminalChannel& ch);

// Up and Down: the older or newer command sent from the channel replaces the command box's
// text as typing would, so Terminal 1's hex box follows. Nothing happens past either end.
void recallOlderCommand(TerminalChannel& ch);
void recallNewerCommand(TerminalChannel& ch);

// Terminal 1's hex box shows its command box in hex, whoever changed the command.
void Text4_Change(TerminalChannel& ch);

// The log's "Save as...": its bytes exactly as held, into the file the user chooses, replacing
// it whole or not at all; a failure is told in a message naming the file and the reason.
void saveLogAs(TerminalChannel& ch, const Seams& seams);
