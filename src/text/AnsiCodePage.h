#pragma once

#include <QByteArray>
#include <QString>

// The program's 8-bit character set (Windows-1251): one byte per character in both directions.
// Every byte value maps to a character and back, so received data survives a round trip.
namespace ansi {

// The character with the given code (0 to 255).
QChar charOf(unsigned char code);

// The code of a character, or -1 when the character set has none for it.
int codeOf(QChar c);

// Characters the set cannot hold become '?'.
QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);

} // namespace ansi
