#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class SerialControl;

// Notes when a serial control gives its port up as lost, and the reason it gives (the device's
// error included).
class PortLossWatch : public QObject {
    Q_OBJECT
public:
    PortLossWatch(SerialControl& control, const QString& name);

    bool lost() const { return m_lostAfterMs >= 0; }
    // "port 1 lost after 1.2 s: COM1 (...): the device went away (...)", or an empty text.
    QString account() const;

private:
    QString m_name;
    QElapsedTimer m_since;
    qint64 m_lostAfterMs = -1;
    QString m_reason;
};
