#pragma once

// Layout of the state file shared by the preloaded library and the tests' control API. The
// file is a plain array of records indexed by pty number; all zero is a valid state, so a new
// file needs no initialisation beyond ftruncate.

#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <unistd.h>

namespace ptymodemlines {

// /dev/pts/N with N at or above this bound is left to the kernel.
constexpr int kMaxPtys = 4096;

struct LineRecord {
    std::atomic<std::uint32_t> inputs;  // TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RNG
    std::atomic<std::uint32_t> outputs; // TIOCM_RTS | TIOCM_DTR
    std::atomic<std::uint32_t> cts;
    std::atomic<std::uint32_t> dsr;
    std::atomic<std::uint32_t> dcd;
    std::atomic<std::uint32_t> rng;
    // Bumped after every change of the inputs; a waiting TIOCMIWAIT sleeps on it (a futex).
    std::atomic<std::uint32_t> changes;
    std::uint32_t unused;
};

// Processes share these through the file, so they must not fall back to a lock.
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);
static_assert(sizeof(LineRecord) == 32);
static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));

// Wakes every process waiting on the line's changes. The mapping is shared between processes,
// so the futex is not a private one.
inline void announceChange(LineRecord& line) {
    line.changes.fetch_add(1);
    ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&line.changes), FUTEX_WAKE, INT_MAX,
              nullptr, nullptr, 0);
}

constexpr std::size_t kStateFileSize = sizeof(LineRecord) * kMaxPtys;

// Unix98 pty slaves: majors 136..143 with 256 minors each, or a large minor under 136.
inline int ptyIndexOf(dev_t device) {
    const unsigned maj = major(device);
    if (maj < 136 || maj > 143)
        return -1;
    const unsigned long index = (maj - 136) * 256ul + minor(device);
    return index < unsigned(kMaxPtys) ? int(index) : -1;
}

// Creates or extends the file as needed; several processes may race here harmlessly since
// growing only ever adds zeroes.
inline LineRecord* mapStateFile(const char* path) {
    const int fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    void* map = MAP_FAILED;
    if (::fstat(fd, &st) == 0 &&
        (st.st_size >= off_t(kStateFileSize) || ::ftruncate(fd, off_t(kStateFileSize)) == 0))
        map = ::mmap(nullptr, kStateFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    return map == MAP_FAILED ? nullptr : static_cast<LineRecord*>(map);
}

} // namespace ptymodemlines
