#pragma once

#include <QByteArray>
#include <QString>

// Conversions shared by the terminal channels. Character codes are codes of the program's
// 8-bit character set.

// The readable name of a character code: names for the control codes and 127, the character
// itself for 32..255, the empty text for codes below 0 or above 255.
QString Char_Simbol(qint16 x);

// Each character as a space and two upper-case hex digits (" 41 54" for "AT").
QString StringToHEX(const QString& x);
// The same for bytes, as ASCII.
QByteArray StringToHEX(const QByteArray& bytes);
// The same put at the end of a buffer, with no copy in between.
void appendHex(QByteArray& out, const QByteArray& bytes);
// The same written at `out`, which has room for 3 bytes a byte; returns the end of what it wrote.
char* writeHex(char* out, const char* bytes, qsizetype size);

// The same without the spaces ("4154" for "AT").
QString StringToHEX_noSP(const QString& x);

// The bytes that hex digits name, two digits a byte, in either case; blanks may stand between
// bytes ("41 54", "4154"). Nothing when the text names no whole bytes or holds anything else.
QByteArray bytesOfHex(const QString& hex);

// The character code of a text: the number it starts with (blanks, tabs and line feeds are
// skipped wherever they stand), rounded down and clamped to the 16-bit range; 0 when there
// is no number.
qint16 CharacterCode(const QString& text);

// The character with the given code, or an empty text when the code names no character.
QString CharacterOfCode(qint16 code);

// A code box's information line: "DEC=<text> HEX=<code> CHAR=<name>".
QString CharacterInfoLine(const QString& codeBoxText);
