#include "TerminationSignals.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QWidget>

namespace {

bool g_terminationRequested = false;

// Closes every modal dialog, innermost first, then the window. A window not shown yet is
// still starting: start-up closes it once it is done.
void endNormally(QWidget* window) {
    g_terminationRequested = true;
    for (int guard = 0; guard < 100; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == window)
            break;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (modal->isVisible())
            break;
    }
    if (window && window->isVisible())
        window->close();
}

} // namespace

bool terminationRequested() {
    return g_terminationRequested;
}

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

void onTerminationSignals(QObject* context, std::function<void()> action) {
    if (g_signalPipe[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
            return;
        ::fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK);
        struct sigaction handling {};
        handling.sa_handler = onSignal;
        sigemptyset(&handling.sa_mask);
        handling.sa_flags = SA_RESTART;
        for (const int signal : {SIGTERM, SIGINT, SIGHUP})
            ::sigaction(signal, &handling, nullptr);
    }
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [action = std::move(action)] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
        action();
    });
}

#else

void onTerminationSignals(QObject*, std::function<void()>) {}

#endif

void closeOnTerminationSignals(QWidget* window) {
    QPointer<QWidget> target(window);
    onTerminationSignals(window, [target] { endNormally(target); });
}
