#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// The real duplink executable, offscreen, with a data folder of its own and its ports 1 and 2
// on two lines of the modem simulator (unless a test points a port elsewhere).
class DuplinkProcess {
public:
    explicit DuplinkProcess(const QStringList& simulatorOptions = {});
    ~DuplinkProcess();

    bool simulatorRunning() const { return m_simulatorLines.size() == 2; }
    // The device simulated line n (1 or 2) is reached at.
    QString simulatorLine(int n) const { return m_simulatorLines.value(n - 1); }
    void setPortDevice(int port, const QString& device);
    void setEnvironment(const QString& name, const QString& value);

    bool start();
    // True once the program holds the device open.
    bool waitUntilHolding(const QString& device, int timeoutMs = 10000) const;
    bool isHolding(const QString& device) const;
    // SIGTERM, then the exit code; -1 when it did not end in time (it is killed then).
    int terminate(int timeoutMs = 5000);

    QString dataFolder() const { return m_root.path() + QStringLiteral("/Duplink v.2.1/"); }
    QString settingsFile() const { return dataFolder() + QStringLiteral("Duplink v.2.1.eng"); }
    QByteArray errorOutput() { return m_errors += m_duplink.readAllStandardError(); }
    qint64 pid() const { return m_duplink.processId(); }

private:
    QTemporaryDir m_root;
    QProcess m_simulator;
    QProcess m_duplink;
    QProcessEnvironment m_environment;
    QStringList m_simulatorLines;
    QByteArray m_errors;
};
