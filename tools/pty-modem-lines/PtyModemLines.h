#pragma once

// Modem lines for pseudo-terminals in tests.
//
// A pty has no CTS, DSR, DCD or RI and refuses TIOCMGET and friends. libptymodemlines.so,
// preloaded into the process that opens the pty slave, answers TIOCMGET, TIOCMSET, TIOCMBIS,
// TIOCMBIC, TIOCGICOUNT and TIOCMIWAIT on /dev/pts/N from a small state file shared by every
// process that names it. This class is the test's side of that file:
//
//     PtyModemLines lines;                       // a fresh temporary state file
//     const int pty = PtyModemLines::indexOfMaster(masterFd);
//     env: LD_PRELOAD=<PtyModemLines::libraryPath()> PTY_MODEM_LINES=<lines.stateFile()>
//     lines.setInputs(pty, /*cts*/ true, /*dsr*/ true, /*dcd*/ false);
//     lines.ring(pty);                           // one RI pulse
//     QVERIFY(lines.outputs(pty).rts);           // as last written by the program
//
// For a child process, put both variables in its environment. For the test process itself,
// LD_PRELOAD must be set before it starts (e.g. through CTest's ENVIRONMENT property), while
// PTY_MODEM_LINES may be set with setenv() at any time before the ioctl in question. Without
// PTY_MODEM_LINES, or for other fds and requests, the kernel answers. The library does not
// raise DTR and RTS on open nor drop them on close, and pty numbers from kMaxPtys up are left
// to the kernel.

#include "ModemLineState.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

#include <dlfcn.h>
#include <sys/ioctl.h>

class PtyModemLines {
public:
    static constexpr const char* kStateFileVariable = "PTY_MODEM_LINES";

    struct Outputs {
        bool rts = false;
        bool dtr = false;
    };
    struct Counters {
        unsigned cts = 0;
        unsigned dsr = 0;
        unsigned dcd = 0;
        unsigned rng = 0;
    };

    // Without a path, makes a temporary state file that the destructor removes.
    explicit PtyModemLines(std::string stateFile = {}) : m_path(std::move(stateFile)) {
        if (m_path.empty()) {
            const char* dir = std::getenv("TMPDIR");
            std::string name = std::string(dir && *dir ? dir : "/tmp") + "/pty-modem-lines-XXXXXX";
            const int fd = ::mkstemp(name.data());
            if (fd < 0)
                return;
            ::close(fd);
            m_path = name;
            m_owned = true;
        }
        m_records = ptymodemlines::mapStateFile(m_path.c_str());
    }
    ~PtyModemLines() {
        if (m_records)
            ::munmap(m_records, ptymodemlines::kStateFileSize);
        if (m_owned)
            ::unlink(m_path.c_str());
    }
    PtyModemLines(const PtyModemLines&) = delete;
    PtyModemLines& operator=(const PtyModemLines&) = delete;

    bool isValid() const { return m_records != nullptr; }
    const std::string& stateFile() const { return m_path; }

    static const char* libraryPath() {
#ifdef PTY_MODEM_LINES_LIBRARY
        return PTY_MODEM_LINES_LIBRARY;
#else
        return "";
#endif
    }

    // How many modem-line requests this process has made, whatever the fd, while the library
    // is preloaded; -1 without it.
    static long requestsSoFar() {
        using Counter = unsigned long (*)();
        const auto counter =
            reinterpret_cast<Counter>(::dlsym(RTLD_DEFAULT, "ptyModemLineRequests"));
        return counter ? long(counter()) : -1;
    }

    // -1 when not a pty slave or beyond the numbers the state file holds.
    static int indexOfSlave(const std::string& path) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
            return -1;
        return ptymodemlines::ptyIndexOf(st.st_rdev);
    }
    static int indexOfMaster(int masterFd) {
        unsigned number = 0;
        if (::ioctl(masterFd, TIOCGPTN, &number) != 0 ||
            number >= unsigned(ptymodemlines::kMaxPtys))
            return -1;
        return int(number);
    }

    // A pty number is reused once closed: start each test from all lines low, counters zero.
    bool reset(int pty) {
        auto* line = record(pty);
        if (!line)
            return false;
        line->inputs = 0;
        line->outputs = 0;
        line->cts = line->dsr = line->dcd = line->rng = 0;
        ptymodemlines::announceChange(*line);
        return true;
    }

    // Counts a change on each line that actually moved.
    bool setInputs(int pty, bool cts, bool dsr, bool dcd) {
        auto* line = record(pty);
        if (!line)
            return false;
        const std::uint32_t levels =
            (cts ? TIOCM_CTS : 0) | (dsr ? TIOCM_DSR : 0) | (dcd ? TIOCM_CAR : 0);
        std::uint32_t before = line->inputs.load();
        while (!line->inputs.compare_exchange_weak(before, (before & TIOCM_RNG) | levels)) {
        }
        // Levels first, counters after: a program woken by a count then reads the new level.
        const std::uint32_t changed = before ^ ((before & TIOCM_RNG) | levels);
        if (changed & TIOCM_CTS)
            ++line->cts;
        if (changed & TIOCM_DSR)
            ++line->dsr;
        if (changed & TIOCM_CAR)
            ++line->dcd;
        if (changed)
            ptymodemlines::announceChange(*line);
        return true;
    }

    // Like a UART, a ring is counted on the trailing edge of RI.
    bool setRing(int pty, bool on) {
        auto* line = record(pty);
        if (!line)
            return false;
        if (on)
            line->inputs.fetch_or(TIOCM_RNG);
        else if (line->inputs.fetch_and(~std::uint32_t(TIOCM_RNG)) & TIOCM_RNG)
            ++line->rng;
        ptymodemlines::announceChange(*line);
        return true;
    }
    // One pulse. Pulses from several threads at once overlap into fewer, as on a wire.
    bool ring(int pty, std::chrono::milliseconds high = std::chrono::milliseconds(0)) {
        if (!setRing(pty, true))
            return false;
        std::this_thread::sleep_for(high);
        return setRing(pty, false);
    }

    Outputs outputs(int pty) const {
        const auto* line = record(pty);
        const std::uint32_t bits = line ? line->outputs.load() : 0;
        return {(bits & TIOCM_RTS) != 0, (bits & TIOCM_DTR) != 0};
    }
    Counters counters(int pty) const {
        const auto* line = record(pty);
        if (!line)
            return {};
        return {line->cts.load(), line->dsr.load(), line->dcd.load(), line->rng.load()};
    }

private:
    ptymodemlines::LineRecord* record(int pty) const {
        return m_records && pty >= 0 && pty < ptymodemlines::kMaxPtys ? &m_records[pty] : nullptr;
    }

    std::string m_path;
    bool m_owned = false;
    ptymodemlines::LineRecord* m_records = nullptr;
};
