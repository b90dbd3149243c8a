#include "ModemLines.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

LineSnapshot readModemLines(QSerialPort& port) {
    LineSnapshot s;
    if (!port.isOpen())
        return s;
#ifdef Q_OS_UNIX
    const int fd = int(port.handle());
    int bits = 0;
    if (::ioctl(fd, TIOCMGET, &bits) == 0) {
        s.readable = true;
        s.cts = bits & TIOCM_CTS;
        s.dsr = bits & TIOCM_DSR;
        s.dcd = bits & TIOCM_CAR;
        s.ri = bits & TIOCM_RNG;
    }
#ifdef Q_OS_LINUX
    serial_icounter_struct counters{};
    if (::ioctl(fd, TIOCGICOUNT, &counters) == 0) {
        s.hasCounters = true;
        s.ctsChanges = quint32(counters.cts);
        s.dsrChanges = quint32(counters.dsr);
        s.dcdChanges = quint32(counters.dcd);
        s.rings = quint32(counters.rng);
    }
#endif
#else
    const QSerialPort::PinoutSignals pins = port.pinoutSignals();
    s.readable = port.error() == QSerialPort::NoError;
    port.clearError();
    s.cts = pins & QSerialPort::ClearToSendSignal;
    s.dsr = pins & QSerialPort::DataSetReadySignal;
    s.dcd = pins & QSerialPort::DataCarrierDetectSignal;
    s.ri = pins & QSerialPort::RingIndicatorSignal;
#endif
    return s;
}
