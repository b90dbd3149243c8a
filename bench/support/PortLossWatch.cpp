#include "PortLossWatch.h"

#include "serial/QtSerialControl.h"

#include <QMetaEnum>
#include <QSerialPort>

#include <cerrno>
#include <cstring>

PortLossWatch::PortLossWatch(QtSerialControl& control, const QString& name) : m_name(name) {
    m_since.start();
    // The control's device is its child; its errors are heard here after the control's own
    // handler, with errno still that of the failed call.
    if (auto* device = control.findChild<QSerialPort*>()) {
        connect(
            device, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
                const int code = errno;
                if (error == QSerialPort::NoError ||
                    error == QSerialPort::UnsupportedOperationError)
                    return;
                m_lastError =
                    QStringLiteral("%1 (errno %2, %3)")
                        .arg(QLatin1String(
                            QMetaEnum::fromType<QSerialPort::SerialPortError>().valueToKey(error)))
                        .arg(code)
                        .arg(QString::fromLocal8Bit(std::strerror(code)));
            });
    }
    connect(&control, &SerialControl::portLost, this, [this] {
        if (m_lostAfterMs < 0)
            m_lostAfterMs = m_since.elapsed();
    });
}

QString PortLossWatch::account() const {
    if (!lost())
        return {};
    return QStringLiteral("%1 lost after %2 s: %3")
        .arg(m_name, QString::number(double(m_lostAfterMs) / 1000, 'f', 1),
             m_lastError.isEmpty() ? QStringLiteral("no device error seen") : m_lastError);
}
