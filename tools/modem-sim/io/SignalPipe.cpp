#include "SignalPipe.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

void catchSignal(int signal) {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

} // namespace

SignalPipe::SignalPipe() {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("cannot make the signal pipe");
    catchSignal(SIGTERM);
    catchSignal(SIGHUP);
    struct sigaction previous {};
    ::sigaction(SIGINT, nullptr, &previous);
    if (previous.sa_handler != SIG_IGN)
        catchSignal(SIGINT);
    ::signal(SIGPIPE, SIG_IGN);
}

SignalPipe::~SignalPipe() {
    // Shutting down already: a second signal must not write to a closed descriptor.
    ::signal(SIGTERM, SIG_IGN);
    ::signal(SIGHUP, SIG_IGN);
    ::signal(SIGINT, SIG_IGN);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
}

int SignalPipe::fd() const {
    return g_pipe[0];
}
