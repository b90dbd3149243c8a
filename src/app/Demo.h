#pragma once

#include <QProcess>
#include <QTemporaryDir>

// `duplink --demo`: the program on simulated lines, as tools/demo.sh runs it from source. Ports 1
// and 2 go to two simulated modems and port 3 to a simulated device that uses a modem; the
// settings go into a folder of the demo's own, so the demo starts from the defaults and leaves
// the user's alone. The simulator stops when the demo ends, and captures taken meanwhile are
// moved out of the demo's folder before it goes.
class Demo {
public:
    Demo() = default;
    ~Demo();
    Demo(const Demo&) = delete;
    Demo& operator=(const Demo&) = delete;

    // Starts the simulator and points the program's ports and data folder at it; false, with
    // the reason on the standard error, when it cannot.
    bool start();

private:
    void keepCaptures() const;

    QTemporaryDir m_folder;
    QProcess m_simulator;
};
