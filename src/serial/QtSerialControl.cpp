#include "QtSerialControl.h"

#include "DeviceInfo.h"
#include "DeviceSettingsCheck.h"
#include "FreedMemory.h"
#include "ModemLines.h"
#include "OpenFailure.h"
#include "PortDevice.h"
#include "SerialError.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <termios.h>
#endif

QtSerialControl::QtSerialControl(QObject* parent) : SerialControlBase(parent), m_port(this) {
    m_lineWatch.setInterval(kLineWatchMs);
    connect(&m_lineWatch, &QTimer::timeout, this, &QtSerialControl::watchLines);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialControl::onError);
}

QtSerialControl::~QtSerialControl() {
    close();
}

bool QtSerialControl::devicePresent() const {
    const QString device = deviceForPort(m_commPort);
    return !device.isEmpty() && QFileInfo::exists(device);
}

void QtSerialControl::setSettings(const QString& settings) {
    const LineSettings parsed = parsedSettings(settings);
    if (PortOpen()) {
        const QString refused = applyLine(parsed);
        if (!refused.isEmpty()) {
            applyLine(m_settings);
            throw SettingsRefused(refusal(refused));
        }
        m_inForce = parsed;
    }
    m_settings = parsed;
}

void QtSerialControl::setHandshaking(qint32 mode) {
    checkHandshaking(mode);
    if (PortOpen()) {
        const QString refused = applyHandshaking(mode);
        if (!refused.isEmpty()) {
            applyHandshaking(m_handshaking);
            throw SerialError(refusal(refused));
        }
        m_handshaking = mode;
        applyOutputLines();
        return;
    }
    m_handshaking = mode;
}

void QtSerialControl::setPortOpen(bool open) {
    if (open == PortOpen())
        return;
    if (open)
        this->open();
    else
        close();
}

void QtSerialControl::open() {
    const QString device = deviceForPort(m_commPort);
    if (device.isEmpty())
        throw SerialError(
            QStringLiteral("COM%1: no device is known for this port").arg(m_commPort));
    // Open with plain settings first, so that a setting the device refuses can be named.
    m_port.setPortName(device);
    m_port.setBaudRate(9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // Past this, what the device sends waits in the system until it is read (a device with flow
    // control is then held back), rather than piling up without end.
    m_port.setReadBufferSize(kReadBufferBytes);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QString reason =
            openFailureReason(m_port.error(), m_port.errorString(), deviceHolder(device));
        m_port.clearError();
        throw SerialError(QStringLiteral("%1: %2").arg(label(), reason));
    }
    // Settings given while the port was closed meet the device only now. Those it refuses
    // give way to the ones it last took, as a refusal while open would.
    QString refused = applyLine(m_settings);
    QString settingsRefused;
    if (!refused.isEmpty() && !(m_settings == m_inForce) && applyLine(m_inForce).isEmpty()) {
        settingsRefused = refused;
        m_settings = m_inForce;
        refused.clear();
    }
    if (refused.isEmpty())
        refused = applyHandshaking(m_handshaking);
    if (!refused.isEmpty()) {
        close();
        throw SerialError(refusal(refused));
    }
    m_inForce = m_settings;
    applyOutputLines();
    startLineWatch();
    if (!settingsRefused.isEmpty())
        throw SettingsRefused(
            refusal(QStringLiteral("%1; it keeps %2").arg(settingsRefused, m_settings.toString())));
}

void QtSerialControl::close() {
    ++m_openings;
    m_lineWait.stop();
    m_lineWatch.stop();
    m_hasLines = false;
    m_parityMarking = false;
    m_parityMarks.reset();
    m_lines = LineSnapshot{};
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
    for (QByteArray& inbox : m_inboxes)
        inbox = QByteArray();
}

QString QtSerialControl::applyLine(const LineSettings& s) {
    static const struct {
        char letter;
        QSerialPort::Parity parity;
    } parities[] = {{'n', QSerialPort::NoParity},
                    {'e', QSerialPort::EvenParity},
                    {'o', QSerialPort::OddParity},
                    {'s', QSerialPort::SpaceParity},
                    {'m', QSerialPort::MarkParity}};
    QSerialPort::Parity parity = QSerialPort::NoParity;
    for (const auto& p : parities) {
        if (s.parity == QLatin1Char(p.letter))
            parity = p.parity;
    }
    QString refused;
    if (!m_port.setBaudRate(s.speed))
        refused = QStringLiteral("the speed %1").arg(s.speed);
    else if (!m_port.setParity(parity))
        refused = QStringLiteral("the parity %1").arg(s.parity);
    else if (!m_port.setDataBits(QSerialPort::DataBits(s.dataBits)))
        refused = QStringLiteral("%1 data bits").arg(s.dataBits);
    else if (!m_port.setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop))
        refused = QStringLiteral("%1 stop bits").arg(s.stopBits);
    if (refused.isEmpty())
        refused = settingsRefusedByDevice(m_port.handle(), s);
    if (refused.isEmpty())
        markParityErrors(s.parity != QLatin1Char('n'));
    m_port.clearError();
    return refused;
}

void QtSerialControl::markParityErrors(bool on) {
    m_parityMarking = false;
    m_parityMarks.reset();
#ifdef Q_OS_UNIX
    // Qt drops bytes with a parity error (IGNPAR); they should arrive as '?' instead, so the
    // kernel is asked to mark them and takeFromPort() replaces the marked bytes.
    termios t{};
    const int fd = int(m_port.handle());
    if (::tcgetattr(fd, &t) != 0)
        return;
    if (on) {
        t.c_iflag &= ~tcflag_t(IGNPAR | ISTRIP);
        t.c_iflag |= INPCK | PARMRK;
    } else {
        t.c_iflag &= ~tcflag_t(INPCK | PARMRK);
    }
    if (::tcsetattr(fd, TCSANOW, &t) == 0)
        m_parityMarking = on;
#else
    Q_UNUSED(on);
#endif
}

QString QtSerialControl::applyHandshaking(qint32 mode) {
    const bool hardware = mode == comRTS || mode == comRTSXOnXOff;
    const auto flow = hardware             ? QSerialPort::HardwareControl
                      : mode == comXOnXoff ? QSerialPort::SoftwareControl
                                           : QSerialPort::NoFlowControl;
    bool ok = m_port.setFlowControl(flow);
#ifdef Q_OS_UNIX
    // Qt has no setting for both at once: add XON/XOFF on top of RTS/CTS by hand.
    if (ok && mode == comRTSXOnXOff) {
        termios t{};
        const int fd = int(m_port.handle());
        ok = ::tcgetattr(fd, &t) == 0;
        t.c_iflag |= IXON | IXOFF;
        ok = ok && ::tcsetattr(fd, TCSANOW, &t) == 0;
    }
#endif
    m_port.clearError();
    return ok ? QString() : QStringLiteral("the flow control %1").arg(mode);
}

void QtSerialControl::applyOutputLines() {
    if (!PortOpen())
        return;
    // A device without modem lines refuses these; the values are kept all the same. Under
    // RTS/CTS flow control the driver owns RTS.
    if (m_port.flowControl() != QSerialPort::HardwareControl)
        m_port.setRequestToSend(m_rts);
    m_port.setDataTerminalReady(m_dtr);
    m_port.clearError();
}

bool QtSerialControl::CTSHolding() const {
    return m_hasLines && readModemLines(m_port).cts;
}

bool QtSerialControl::DSRHolding() const {
    return m_hasLines && readModemLines(m_port).dsr;
}

bool QtSerialControl::CDHolding() const {
    return m_hasLines && readModemLines(m_port).dcd;
}

void QtSerialControl::writeBytes(const QByteArray& bytes) {
    if (!PortOpen() || bytes.isEmpty())
        return;
    // The port keeps what the device has not taken yet in blocks the size of each write. A
    // megabyte block would be fresh memory every time, its pages faulted in as it is filled;
    // blocks of this size are used again.
    constexpr qsizetype kWriteSlice = 64 * 1024;
    for (qsizetype at = 0; at < bytes.size() && PortOpen(); at += kWriteSlice)
        m_port.write(bytes.constData() + at, std::min(kWriteSlice, bytes.size() - at));
    if (PortOpen())
        m_port.flush();
}

QByteArray QtSerialControl::readBytes() {
    QByteArray received = std::exchange(m_unread, {});
    if (PortOpen())
        received += takeFromPort();
    return received;
}

QByteArray QtSerialControl::takeFromPort() {
    const qint64 available = m_port.bytesAvailable();
    if (available < kStreamBytes) {
        // A stream that has ended gives back what it took: the kept buffers, and the port's own
        // blocks of 32 KB around each small read of the device, freed by now but still resident.
        // Not while bytes still come: giving memory back walks the whole heap.
        const bool streamed = !m_inboxes[0].isNull() || !m_inboxes[1].isNull();
        if (streamed && available <= 0) {
            for (QByteArray& inbox : m_inboxes)
                inbox = QByteArray();
            giveFreedMemoryBack();
        }
        if (available <= 0)
            return {};
        const QByteArray raw = m_port.read(available);
        return m_parityMarking ? m_parityMarks.decode(raw) : raw;
    }
    const auto unshared = [](const QByteArray& b) {
        return b.isNull() || b.isDetached();
    };
    QByteArray* inbox = unshared(m_inboxes[0]) ? &m_inboxes[0] : &m_inboxes[1];
    if (!unshared(*inbox))
        *inbox = QByteArray();
    inbox->resize(available);
    inbox->resize(std::max<qint64>(m_port.read(inbox->data(), available), 0));
    return m_parityMarking ? m_parityMarks.decode(*inbox) : *inbox;
}

void QtSerialControl::onError(QSerialPort::SerialPortError error) {
    // A device that went away keeps failing every read; close it once instead. Qt also reports
    // a write the device could not take at once as a resource error: that one passes.
    if ((error == QSerialPort::ReadError || error == QSerialPort::ResourceError) &&
        m_port.isOpen() && deviceGone()) {
        const QString why = m_port.errorString();
        m_unread += takeFromPort();
        close();
        reportLost(label() + QStringLiteral(": the device went away (%1)").arg(why));
    }
}

bool QtSerialControl::deviceGone() const {
#ifdef Q_OS_UNIX
    pollfd p{int(m_port.handle()), POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return true;
    if (!(p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        m_port.clearError();
        return false;
    }
#endif
    return true;
}

void QtSerialControl::startLineWatch() {
    // A device without lines (a pseudo-terminal) reads all off for as long as it is open.
    m_hasLines = readModemLines(m_port).readable;
    m_lines = LineSnapshot{};
    if (!m_hasLines)
        return;
    const quint64 opening = m_openings;
    auto onUiThread = [this, opening](void (QtSerialControl::*step)()) {
        QMetaObject::invokeMethod(
            this,
            [this, opening, step] {
                if (opening == m_openings && PortOpen())
                    (this->*step)();
            },
            Qt::QueuedConnection);
    };
    const bool waiting = m_lineWait.start(
        int(m_port.handle()), [onUiThread] { onUiThread(&QtSerialControl::watchLines); },
        [onUiThread] { onUiThread(&QtSerialControl::pollLines); });
    // Read once the wait has begun: what changes after this, the wait sees.
    m_lines = readModemLines(m_port);
    if (!waiting)
        m_lineWatch.start();
}

void QtSerialControl::pollLines() {
    watchLines();
    m_lineWatch.start();
}

void QtSerialControl::watchLines() {
    const LineSnapshot now = readModemLines(m_port);
    const std::vector<qint16> events = lineEventsBetween(m_lines, now);
    m_lines = now;
    for (const qint16 code : events)
        reportLineEvent(code);
}

#include "moc_QtSerialControl.cpp"
