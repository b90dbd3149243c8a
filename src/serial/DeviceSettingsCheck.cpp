#include "DeviceSettingsCheck.h"

#ifdef Q_OS_UNIX
#include <termios.h>

namespace {

struct StandardSpeed {
    qint32 speed;
    speed_t code;
};

const StandardSpeed kSpeeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400},
};

bool parityMatches(tcflag_t cflag, QChar parity) {
    const bool enabled = cflag & PARENB;
    const bool odd = cflag & PARODD;
#ifdef CMSPAR
    const bool stick = cflag & CMSPAR;
#else
    const bool stick = false;
#endif
    switch (parity.toLatin1()) {
    case 'n':
        return !enabled;
    case 'e':
        return enabled && !odd && !stick;
    case 'o':
        return enabled && odd && !stick;
    case 's':
        return enabled && !odd && stick;
    case 'm':
        return enabled && odd && stick;
    default:
        return false;
    }
}

tcflag_t sizeFlag(int dataBits) {
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

} // namespace

QString settingsRefusedByDevice(qintptr handle, const LineSettings& wanted) {
    termios t{};
    if (::tcgetattr(int(handle), &t) != 0)
        return {};
    for (const StandardSpeed& s : kSpeeds) {
        if (s.speed == wanted.speed && cfgetospeed(&t) != s.code)
            return QStringLiteral("the speed %1").arg(wanted.speed);
    }
    if (!parityMatches(t.c_cflag, wanted.parity))
        return QStringLiteral("the parity %1").arg(wanted.parity);
    if ((t.c_cflag & CSIZE) != sizeFlag(wanted.dataBits))
        return QStringLiteral("%1 data bits").arg(wanted.dataBits);
    if (bool(t.c_cflag & CSTOPB) != (wanted.stopBits == 2))
        return QStringLiteral("%1 stop bits").arg(wanted.stopBits);
    return {};
}

#else

QString settingsRefusedByDevice(qintptr, const LineSettings&) {
    return {};
}

#endif
