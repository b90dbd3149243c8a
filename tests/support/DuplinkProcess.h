#pragma once

#include "ModemSimulator.h"

#include <QProcess>
#include <QTemporaryDir>

#include <memory>

#include <csignal>

// The real duplink executable, offscreen, with a data folder of its own and its ports 1 and 2
// on lines 1 and 2 of a modem simulator, or 1 and 3 of one with four lines (unless a test points
// a port elsewhere).
class DuplinkProcess {
public:
    explicit DuplinkProcess(const QStringList& simulatorOptions = {}, int lines = 2);
    ~DuplinkProcess();

    const ModemSimulator& simulator() const { return *m_simulator; }
    // Takes the simulated modems away (their devices vanish) and brings them back at the same
    // names.
    void stopSimulator() { m_simulator.reset(); }
    void startSimulator();
    void setPortDevice(int port, const QString& device);

    bool start(const QStringList& arguments = {});
    // True once the program holds the device open.
    bool waitUntilHolding(const QString& device, int timeoutMs = 10000) const;
    bool isHolding(const QString& device) const;
    // A signal (SIGTERM unless told), then the exit code; -1 when it did not end in time (it is
    // killed then) or did not end normally.
    int terminate(int timeoutMs = 5000, int signal = SIGTERM);
    // The exit code once it ends by itself; -1 when it did not in time (it is killed then).
    int waitForExit(int timeoutMs);

    QString dataFolder() const { return m_root.path() + QStringLiteral("/Duplink v.2.1/"); }
    QString settingsFile() const { return dataFolder() + QStringLiteral("Duplink v.2.1.eng"); }
    QByteArray errorOutput() { return m_errors += m_duplink.readAllStandardError(); }
    qint64 pid() const { return m_duplink.processId(); }

private:
    QTemporaryDir m_root;
    QStringList m_simulatorOptions;
    int m_lines;
    std::unique_ptr<ModemSimulator> m_simulator;
    QProcess m_duplink;
    QProcessEnvironment m_environment;
    QByteArray m_errors;
};
