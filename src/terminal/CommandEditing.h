#pragma once

struct TerminalChannel;

// Terminal 1's hex box shows its command box in hex, whoever changed the command.
void Text4_Change(TerminalChannel& ch);

// "Insert Char 0-255": appends the character whose code the code box holds to the command
// box, wherever the caret is. A code that names no character inserts nothing.
void Command8_Click(TerminalChannel& ch);
