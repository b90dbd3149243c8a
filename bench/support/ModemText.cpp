#include "ModemText.h"

#include <random>

namespace {

QByteArray oneLine(std::mt19937& random) {
    const auto n = [&random](int below) {
        return QByteArray::number(int(random() % below));
    };
    switch (random() % 12) {
    case 0:
        return "AT+CSQ\r\r\n+CSQ: " + n(32) + ",99";
    case 1:
        return "OK";
    case 2:
        return "RING";
    case 3:
        return "CONNECT " + QByteArray::number(2400 << (random() % 6));
    case 4:
        return "NO CARRIER";
    case 5:
        return "+CREG: 0," + n(6);
    case 6:
        return "ATDT555" + n(10000);
    case 7:
        return "+CMTI: \"SM\"," + n(40);
    case 8:
        return "AT+CMGR=" + n(40) + "\r\r\n+CMGR: \"REC UNREAD\",\"+1555" + n(1000000) +
               "\",,\"24/03/01,12:" + n(60) + ":" + n(60) + "+04\"";
    case 9:
        return "Battery level " + n(100) + "%, all systems nominal, temperature " + n(50) + " C";
    case 10:
        return "ERROR";
    default:
        return "ATI3\r\r\nV.92 data/fax modem, firmware 1." + n(100);
    }
}

} // namespace

QByteArray modemLines(qsizetype size, quint32 seed) {
    std::mt19937 random(seed);
    QByteArray text;
    text.reserve(size + 256);
    while (text.size() < size)
        text += oneLine(random) + "\r\n";
    return text;
}
