#pragma once

#include <atomic>
#include <functional>
#include <thread>

#ifdef __linux__
#include <linux/serial.h>
#endif

// Waits for the input lines of an open device to change, on a thread of its own, where the
// driver can wait for them (Linux TIOCMIWAIT): the port then costs nothing while its lines
// rest. Each change calls `changed` on that thread; a driver that refuses the wait calls
// `refused` once, and the wait ends. stop() returns promptly even while the thread waits in the
// driver.
class ModemLineWait {
public:
    ModemLineWait() = default;
    ~ModemLineWait() { stop(); }
    ModemLineWait(const ModemLineWait&) = delete;
    ModemLineWait& operator=(const ModemLineWait&) = delete;

    // False where the system has no such wait; the caller then looks at the lines itself.
    bool start(int fd, std::function<void()> changed, std::function<void()> refused);
    void stop();

private:
#ifdef __linux__
    void run(int fd, bool counted, struct serial_icounter_struct seen);
#endif

    std::function<void()> m_changed;
    std::function<void()> m_refused;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_finished{false};
};
