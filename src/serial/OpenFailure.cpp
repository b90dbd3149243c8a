#include "OpenFailure.h"

namespace {

bool mentions(const QString& text, const char* word) {
    return text.contains(QLatin1String(word), Qt::CaseInsensitive);
}

QString inUseBy(const QString& holder) {
    if (holder.isEmpty())
        return QStringLiteral("in use by another program");
    QString text = QStringLiteral("in use by ") + holder;
    if (holder.startsWith(QLatin1String("ModemManager")))
        text += QStringLiteral(" (the system's modem manager probes serial ports: stop it with "
                               "\"sudo systemctl stop ModemManager\", or keep it off this "
                               "device with a udev rule setting ENV{ID_MM_DEVICE_IGNORE}=\"1\")");
    return text;
}

} // namespace

QString openFailureReason(QSerialPort::SerialPortError error, const QString& qtText,
                          const QString& holder) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("No such device");
    case QSerialPort::PermissionError:
        // The lock file, an exclusive open elsewhere, or (on Windows) any other holder.
        if (mentions(qtText, "lock") || mentions(qtText, "busy"))
            return inUseBy(holder);
#ifdef Q_OS_WIN
        return inUseBy(holder);
#else
        return QStringLiteral("Permission denied (add your user to the dialout group: "
                              "sudo usermod -aG dialout $USER, then log in again)");
#endif
    default:
        if (mentions(qtText, "busy"))
            return inUseBy(holder);
        return qtText;
    }
}
