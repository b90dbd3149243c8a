#include "TextConversions.h"

#include "AnsiCodePage.h"

#include <array>
#include <cmath>
#include <string>

namespace {

const std::array<const char*, 32> kControlNames = {
    "NUL (Null)",
    "SOH (Start Of Heading)",
    "STX (Start of Text)",
    "ETX (End of Text)",
    "EOT (End of Transmission)",
    "ENQ (Enquire)",
    "ACK (Acknowledge)",
    "BEL (Bell)",
    "BS (Backspace)",
    "HT (Horizontal Tab)",
    "LF (Line Feed)",
    "VT (Vertical Tab)",
    "FF (Form Feed)",
    "CR (Carriage Return)",
    "SO (Shift Out)",
    "SI (Shift In)",
    "DLE (Data Link Escape)",
    "DC1 (XON)",
    "DC2 (Device Control 2)",
    "DC3 (XOF)",
    "DC4 (Device Control 4)",
    "NAK (Negative Acknowledge)",
    "SYN (Synchronous)",
    "ETB (End of Transmission Block)",
    "CAN (Cancel)",
    "EM (End of Medium)",
    "SUB (Substitution)",
    "ESC (Escape)",
    "FS (File Separator)",
    "GS (Group Separator)",
    "RS (Record Separator)",
    "US (Unit Separator)",
};

const char kHexDigits[] = "0123456789ABCDEF";

QString toHex(const QString& x, bool spaced) {
    const QByteArray bytes = ansi::encode(x);
    QString out;
    out.reserve(bytes.size() * (spaced ? 3 : 2));
    for (const char b : bytes) {
        const auto k = static_cast<unsigned char>(b);
        if (spaced)
            out += QLatin1Char(' ');
        out += QLatin1Char(kHexDigits[k >> 4]);
        out += QLatin1Char(kHexDigits[k & 0xF]);
    }
    return out;
}

bool isSkipped(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The longest leading number of the text with the skipped characters removed, as ASCII.
std::string leadingNumber(const QString& text) {
    QString s;
    s.reserve(text.size());
    for (const QChar c : text) {
        if (!isSkipped(c))
            s += c;
    }
    std::string number;
    qsizetype i = 0;
    auto take = [&](auto accept) {
        while (i < s.size() && accept(s[i]))
            number += char(s[i++].unicode());
    };
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        number += char(s[i++].unicode());
    const std::size_t mantissaStart = number.size();
    take(isDigit);
    if (i < s.size() && s[i] == QLatin1Char('.')) {
        number += '.';
        ++i;
        take(isDigit);
    }
    const bool hasDigits = number.find_first_of("0123456789", mantissaStart) != std::string::npos;
    if (!hasDigits)
        return {};
    if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
            exponent += char(s[j++].unicode());
        const qsizetype digitsStart = j;
        while (j < s.size() && isDigit(s[j]))
            exponent += char(s[j++].unicode());
        if (j > digitsStart)
            number += exponent;
    }
    return number;
}

} // namespace

QString Char_Simbol(qint16 x) {
    if (x < 0 || x > 255)
        return {};
    if (x < 32)
        return QLatin1String(kControlNames[x]);
    if (x == 127)
        return QStringLiteral("DEL (Delete)");
    return ansi::charOf(static_cast<unsigned char>(x));
}

QString StringToHEX(const QString& x) {
    return toHex(x, true);
}

QString StringToHEX_noSP(const QString& x) {
    return toHex(x, false);
}

qint16 CharacterCode(const QString& text) {
    const std::string number = leadingNumber(text);
    if (number.empty())
        return 0;
    bool ok = false;
    double value = std::floor(QByteArray::fromStdString(number).toDouble(&ok));
    if (!ok) {
        // The number is well formed, so the conversion over- or underflowed.
        const bool negative = number[0] == '-';
        const bool tiny = number.find("e-") != std::string::npos;
        value = tiny ? (negative ? -1.0 : 0.0) : (negative ? -32768.0 : 32767.0);
    }
    if (value <= -32768.0)
        return -32768;
    if (value >= 32767.0)
        return 32767;
    return static_cast<qint16>(value);
}

QString CharacterOfCode(qint16 code) {
    if (code < 0 || code > 255)
        return {};
    return ansi::charOf(static_cast<unsigned char>(code));
}

QString CharacterInfoLine(const QString& codeBoxText) {
    const qint16 n = CharacterCode(codeBoxText);
    const QString hex = QString::number(static_cast<quint16>(n), 16).toUpper();
    return QStringLiteral("DEC=") + codeBoxText + QStringLiteral(" HEX=") + hex +
           QStringLiteral(" CHAR=") + Char_Simbol(n);
}
