#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QtSerialControl;

// Notes when a serial control gives its port up as lost, and the device error that made it,
// errno included.
class PortLossWatch : public QObject {
    Q_OBJECT
public:
    PortLossWatch(QtSerialControl& control, const QString& name);

    bool lost() const { return m_lostAfterMs >= 0; }
    // "port 1 lost after 1.2 s: ResourceError (errno 11, ...)", or an empty text.
    QString account() const;

private:
    QString m_name;
    QElapsedTimer m_since;
    qint64 m_lostAfterMs = -1;
    QString m_lastError;
};
