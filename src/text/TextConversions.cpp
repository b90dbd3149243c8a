#include "TextConversions.h"

#include "AnsiCodePage.h"

#include <algorithm>
#include <array>
#include <cstring>
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

// Each byte as two upper-case hex digits, with a space before each when spaced.
QByteArray hexOf(const QByteArray& bytes, bool spaced) {
    QByteArray out;
    if (spaced) {
        appendHex(out, bytes);
        return out;
    }
    out.resize(bytes.size() * 2);
    char* o = out.data();
    for (const char b : bytes) {
        const auto k = static_cast<unsigned char>(b);
        *o++ = kHexDigits[k >> 4];
        *o++ = kHexDigits[k & 0xF];
    }
    return out;
}

bool isSkipped(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The number a text starts with, as its decimal digits and where the point stands among them.
struct LeadingNumber {
    bool found = false;
    bool negative = false;
    std::string digits; // integer and fraction digits together
    qint64 pointAt = 0; // how many of the digits stand before the point, after the exponent
};

constexpr qint64 kExponentLimit = 1000000000;

LeadingNumber leadingNumber(const QString& text) {
    QString s;
    s.reserve(text.size());
    for (const QChar c : text) {
        if (!isSkipped(c))
            s += c;
    }
    LeadingNumber n;
    qsizetype i = 0;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        n.negative = s[i++] == QLatin1Char('-');
    while (i < s.size() && isDigit(s[i]))
        n.digits += char(s[i++].unicode());
    n.pointAt = qint64(n.digits.size());
    if (i < s.size() && s[i] == QLatin1Char('.')) {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            n.digits += char(s[i++].unicode());
    }
    n.found = !n.digits.empty();
    if (!n.found || i >= s.size() || (s[i] != QLatin1Char('e') && s[i] != QLatin1Char('E')))
        return n;
    qsizetype j = i + 1;
    bool negativeExponent = false;
    if (j < s.size() && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
        negativeExponent = s[j++] == QLatin1Char('-');
    qint64 exponent = 0;
    const qsizetype exponentStart = j;
    while (j < s.size() && isDigit(s[j]))
        exponent = std::min(exponent * 10 + s[j++].digitValue(), kExponentLimit);
    if (j > exponentStart)
        n.pointAt += negativeExponent ? -exponent : exponent;
    return n;
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
    return QString::fromLatin1(hexOf(ansi::encode(x), true));
}

QByteArray StringToHEX(const QByteArray& bytes) {
    return hexOf(bytes, true);
}

void appendHex(QByteArray& out, const QByteArray& bytes) {
    const qsizetype at = out.size();
    out.resize(at + bytes.size() * 3);
    writeHex(out.data() + at, bytes.constData(), bytes.size());
}

char* writeHex(char* out, const char* bytes, qsizetype size) {
    // A byte's three characters as one word, stored four bytes at a time: the fourth is
    // overwritten by the next byte's, and the last byte is written alone.
    static const auto kSpacedHex = [] {
        std::array<char[4], 256> table{};
        for (int k = 0; k < 256; ++k) {
            table[size_t(k)][0] = ' ';
            table[size_t(k)][1] = kHexDigits[k >> 4];
            table[size_t(k)][2] = kHexDigits[k & 0xF];
        }
        return table;
    }();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    for (qsizetype i = 0; i + 1 < size; ++i, out += 3)
        std::memcpy(out, kSpacedHex[in[i]], 4);
    if (size > 0) {
        std::memcpy(out, kSpacedHex[in[size - 1]], 3);
        out += 3;
    }
    return out;
}

QString StringToHEX_noSP(const QString& x) {
    return QString::fromLatin1(hexOf(ansi::encode(x), false));
}

QByteArray bytesOfHex(const QString& hex) {
    QByteArray bytes;
    int high = -1; // the first digit of a byte, while its second is awaited
    for (const QChar c : hex) {
        if (c.isSpace()) {
            if (high >= 0)
                return {};
            continue;
        }
        const char16_t u = c.unicode();
        int value = -1;
        if (u >= '0' && u <= '9')
            value = u - '0';
        else if (u >= 'A' && u <= 'F')
            value = u - 'A' + 10;
        else if (u >= 'a' && u <= 'f')
            value = u - 'a' + 10;
        if (value < 0)
            return {};
        if (high < 0) {
            high = value;
        } else {
            bytes.append(char(high << 4 | value));
            high = -1;
        }
    }
    return high < 0 ? bytes : QByteArray();
}

qint16 CharacterCode(const QString& text) {
    // Worked on the decimal digits themselves, so that neither a huge nor a tiny number can be
    // mistaken for the other.
    const LeadingNumber n = leadingNumber(text);
    const std::size_t first = n.digits.find_first_not_of('0');
    if (first == std::string::npos)
        return 0;
    const qint64 firstAt = qint64(first);
    bool beyond16Bits = false;
    qint64 whole = 0;
    if (n.pointAt - firstAt > 5) {
        beyond16Bits = true;
    } else {
        for (qint64 k = firstAt; k < n.pointAt; ++k)
            whole = whole * 10 + (k < qint64(n.digits.size()) ? n.digits[size_t(k)] - '0' : 0);
    }
    if (!n.negative)
        return beyond16Bits || whole >= 32767 ? qint16(32767) : qint16(whole);
    // Rounding down takes a negative number with a fraction one further from zero.
    const qint64 fractionFrom = std::max(n.pointAt, firstAt);
    if (fractionFrom < qint64(n.digits.size()) &&
        n.digits.find_first_not_of('0', size_t(fractionFrom)) != std::string::npos)
        ++whole;
    return beyond16Bits || whole >= 32768 ? qint16(-32768) : qint16(-whole);
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
