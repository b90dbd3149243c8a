#include "ModemLineWait.h"

#include <utility>

#ifdef __linux__
#include <cerrno>
#include <chrono>
#include <csignal>

#include <linux/serial.h>
#include <pthread.h>
#include <sys/ioctl.h>
#endif

#ifdef __linux__

namespace {

// A blocking ioctl is not woken by closing its fd: a signal without SA_RESTART ends it with
// EINTR instead. The handler itself does nothing.
int wakeSignal() {
    static const int signal = [] {
        const int chosen = SIGRTMIN + 1;
        struct sigaction action {};
        action.sa_handler = [](int) {
        };
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        ::sigaction(chosen, &action, nullptr);
        return chosen;
    }();
    return signal;
}

bool readCounters(int fd, serial_icounter_struct& counters) {
    return ::ioctl(fd, TIOCGICOUNT, &counters) == 0;
}

bool sameLineCounts(const serial_icounter_struct& a, const serial_icounter_struct& b) {
    return a.cts == b.cts && a.dsr == b.dsr && a.dcd == b.dcd && a.rng == b.rng;
}

} // namespace

bool ModemLineWait::start(int fd, std::function<void()> changed, std::function<void()> refused) {
    stop();
    wakeSignal();
    m_changed = std::move(changed);
    m_refused = std::move(refused);
    m_stopping = false;
    m_finished = false;
    // The counters are read here, so that a change after start() returns is never missed.
    serial_icounter_struct seen{};
    const bool counted = readCounters(fd, seen);
    m_thread = std::thread([this, fd, counted, seen] { run(fd, counted, seen); });
    return true;
}

void ModemLineWait::stop() {
    if (!m_thread.joinable())
        return;
    m_stopping = true;
    // The signal may land just before the thread enters the wait: send it until it has ended.
    while (!m_finished.load()) {
        ::pthread_kill(m_thread.native_handle(), wakeSignal());
        for (int i = 0; i < 20 && !m_finished.load(); ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    m_thread.join();
}

void ModemLineWait::run(int fd, bool counted, serial_icounter_struct seen) {
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, wakeSignal());
    ::pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);

    // The wait sees only changes after it began: the counters catch those between two waits,
    // where the driver keeps them.
    while (!m_stopping.load()) {
        serial_icounter_struct now{};
        if (counted && readCounters(fd, now) && !sameLineCounts(now, seen)) {
            seen = now;
            m_changed();
            continue;
        }
        const int waited = ::ioctl(fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RNG);
        if (m_stopping.load())
            break;
        if (waited != 0 && errno == EINTR)
            continue;
        if (waited != 0) {
            m_refused();
            break;
        }
        if (!counted)
            m_changed();
    }
    m_finished = true;
}

#else

bool ModemLineWait::start(int, std::function<void()>, std::function<void()>) {
    return false;
}

void ModemLineWait::stop() {}

#endif
