#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// The modem simulator as a child process, each of its lines reached through a link in a folder
// of its own. It stops with the object.
class ModemSimulator {
public:
    // The links go into `linkFolder` when given (a simulator started again there takes the
    // same names), else into a folder of its own.
    explicit ModemSimulator(const QStringList& options = {}, int lines = 2,
                            const QString& linkFolder = {});
    ~ModemSimulator();

    bool isRunning() const { return !m_slaves.isEmpty(); }
    // The link to line n (from 1), and the pty device it points at.
    QString link(int n) const { return m_links.value(n - 1); }
    QString device(int n) const { return m_slaves.value(n - 1); }
    // A terminal's frame caption once its simulated modem has answered "ATI3".
    static QString identifiedCaption(int terminal) {
        return QStringLiteral("Terminal %1:    Duplink Simulated Modem 1.0    OK").arg(terminal);
    }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    QStringList m_links;
    QStringList m_slaves;
};
