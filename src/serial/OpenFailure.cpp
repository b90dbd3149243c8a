#include "OpenFailure.h"

namespace {

bool mentions(const QString& text, const char* word) {
    return text.contains(QLatin1String(word), Qt::CaseInsensitive);
}

} // namespace

QString openFailureReason(QSerialPort::SerialPortError error, const QString& qtText) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("No such device");
    case QSerialPort::PermissionError:
        // The lock file, an exclusive open elsewhere, or (on Windows) any other holder.
        if (mentions(qtText, "lock") || mentions(qtText, "busy"))
            return QStringLiteral("in use by another program");
#ifdef Q_OS_WIN
        return QStringLiteral("in use by another program");
#else
        return QStringLiteral("Permission denied (add your user to the dialout group: "
                              "sudo usermod -aG dialout $USER, then log in again)");
#endif
    default:
        if (mentions(qtText, "busy"))
            return QStringLiteral("in use by another program");
        return qtText;
    }
}
