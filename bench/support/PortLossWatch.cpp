#include "PortLossWatch.h"

#include "serial/SerialControl.h"

PortLossWatch::PortLossWatch(SerialControl& control, const QString& name) : m_name(name) {
    m_since.start();
    connect(&control, &SerialControl::portLost, this, [this](const QString& reason) {
        if (m_lostAfterMs >= 0)
            return;
        m_lostAfterMs = m_since.elapsed();
        m_reason = reason;
    });
}

QString PortLossWatch::account() const {
    if (!lost())
        return {};
    return QStringLiteral("%1 lost after %2 s: %3")
        .arg(m_name, QString::number(double(m_lostAfterMs) / 1000, 'f', 1), m_reason);
}
