#pragma once

#include <QProcess>
#include <QTemporaryDir>

// A real ser2net on 127.0.0.1 with a configuration of its own, for tests: each connection
// serves a device on a free TCP port, as RFC 2217 or as raw TCP. It runs with the pty
// modem-line library preloaded when a state file is given, so the lines of ptys behind it can
// be driven.
class Ser2NetServer {
public:
    static bool installed();
    // A TCP port on 127.0.0.1 that nothing listens on at the moment.
    static quint16 freePort();

    explicit Ser2NetServer(const QString& modemLinesStateFile = {});
    ~Ser2NetServer();

    // The port clients reach the device on.
    quint16 serve(const QString& device, bool rfc2217);
    // Starts (or starts again, at the same ports) and waits until it listens.
    bool start();
    void stop();

private:
    QTemporaryDir m_folder;
    QString m_stateFile;
    QByteArray m_config;
    QList<quint16> m_ports;
    QProcess m_process;
};
