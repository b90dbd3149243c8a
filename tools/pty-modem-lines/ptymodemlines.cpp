// Preloaded into a process under test, this answers the modem-line ioctls on pty slaves from
// the state file named by PTY_MODEM_LINES, so tests can play a device with CTS, DSR, DCD and RI
// and watch RTS and DTR. Anything else goes to the real ioctl. It counts the modem-line requests
// it sees, served or not, so that a test can tell a program that keeps asking.

#include "ModemLineState.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <linux/serial.h>
#include <pthread.h>
#include <sys/ioctl.h>

using namespace ptymodemlines;

namespace {

using IoctlFunction = int (*)(int, unsigned long, ...);

std::atomic<IoctlFunction> realIoctl{nullptr};
std::atomic<unsigned long> requestsSeen{0};

int callReal(int fd, unsigned long request, void* arg) {
    IoctlFunction real = realIoctl.load(std::memory_order_acquire);
    if (!real) {
        // Racing threads all get the same answer, so there is nothing to guard.
        real = reinterpret_cast<IoctlFunction>(::dlsym(RTLD_NEXT, "ioctl"));
        if (!real) {
            errno = ENOSYS;
            return -1;
        }
        realIoctl.store(real, std::memory_order_release);
    }
    return real(fd, request, arg);
}

// A test may point PTY_MODEM_LINES at another file while running, so the mapping is looked up
// by path. Replaced mappings stay alive: another thread may still be using them.
struct Mapping {
    char* path;
    LineRecord* records;
};

std::atomic<Mapping*> currentMapping{nullptr};
pthread_mutex_t mappingLock = PTHREAD_MUTEX_INITIALIZER;

LineRecord* recordsFor(const char* path) {
    Mapping* mapping = currentMapping.load(std::memory_order_acquire);
    if (mapping && std::strcmp(mapping->path, path) == 0)
        return mapping->records;
    ::pthread_mutex_lock(&mappingLock);
    mapping = currentMapping.load(std::memory_order_acquire);
    if (!mapping || std::strcmp(mapping->path, path) != 0) {
        LineRecord* records = mapStateFile(path);
        auto* fresh = static_cast<Mapping*>(std::malloc(sizeof(Mapping)));
        char* copy = ::strdup(path);
        if (records && fresh && copy) {
            *fresh = Mapping{copy, records};
            currentMapping.store(fresh, std::memory_order_release);
            mapping = fresh;
        } else {
            if (records)
                ::munmap(records, kStateFileSize);
            std::free(fresh);
            std::free(copy);
            mapping = nullptr;
        }
    }
    ::pthread_mutex_unlock(&mappingLock);
    return mapping ? mapping->records : nullptr;
}

bool isServed(unsigned long request) {
    switch (request) {
    case TIOCMGET:
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCGICOUNT:
    case TIOCMIWAIT:
        return true;
    default:
        return false;
    }
}

LineRecord* recordFor(int fd) {
    const char* path = std::getenv("PTY_MODEM_LINES");
    if (!path || !*path)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return nullptr;
    const int index = ptyIndexOf(st.st_rdev);
    if (index < 0)
        return nullptr;
    LineRecord* records = recordsFor(path);
    return records ? &records[index] : nullptr;
}

bool sameCounts(const LineRecord& line, unsigned long mask, const std::uint32_t (&counts)[4]) {
    return (!(mask & TIOCM_CTS) || line.cts.load() == counts[0]) &&
           (!(mask & TIOCM_DSR) || line.dsr.load() == counts[1]) &&
           (!(mask & TIOCM_CAR) || line.dcd.load() == counts[2]) &&
           (!(mask & TIOCM_RNG) || line.rng.load() == counts[3]);
}

// As the driver does: returns once a line in `mask` has changed since the call, or with EINTR
// when a signal comes.
int waitForChange(LineRecord& line, unsigned long mask) {
    const std::uint32_t counts[4] = {line.cts.load(), line.dsr.load(), line.dcd.load(),
                                     line.rng.load()};
    for (;;) {
        const std::uint32_t changes = line.changes.load();
        if (!sameCounts(line, mask, counts))
            return 0;
        if (::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&line.changes), FUTEX_WAIT,
                      changes, nullptr, nullptr, 0) != 0 &&
            errno == EINTR)
            return -1;
    }
}

int serve(LineRecord& line, unsigned long request, void* arg) {
    constexpr std::uint32_t settable = TIOCM_RTS | TIOCM_DTR;
    if (request == TIOCMIWAIT)
        return waitForChange(line, reinterpret_cast<unsigned long>(arg));
    if (!arg) {
        errno = EFAULT;
        return -1;
    }
    auto* bits = static_cast<int*>(arg);
    switch (request) {
    case TIOCMGET:
        *bits = int(line.inputs.load() | line.outputs.load());
        break;
    case TIOCMSET:
        line.outputs.store(std::uint32_t(*bits) & settable);
        break;
    case TIOCMBIS:
        line.outputs.fetch_or(std::uint32_t(*bits) & settable);
        break;
    case TIOCMBIC:
        line.outputs.fetch_and(~(std::uint32_t(*bits) & settable));
        break;
    case TIOCGICOUNT: {
        auto* counts = static_cast<serial_icounter_struct*>(arg);
        std::memset(counts, 0, sizeof *counts);
        counts->cts = int(line.cts.load());
        counts->dsr = int(line.dsr.load());
        counts->dcd = int(line.dcd.load());
        counts->rng = int(line.rng.load());
        break;
    }
    }
    return 0;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int ioctl(int fd, unsigned long request,
                                                            ...) noexcept {
    // Every ioctl takes at most one argument, pointer-sized or smaller.
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);

    if (isServed(request)) {
        requestsSeen.fetch_add(1, std::memory_order_relaxed);
        if (LineRecord* line = recordFor(fd))
            return serve(*line, request, arg);
    }
    return callReal(fd, request, arg);
}

extern "C" __attribute__((visibility("default"))) unsigned long ptyModemLineRequests() noexcept {
    return requestsSeen.load(std::memory_order_relaxed);
}
