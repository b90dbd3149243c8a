#include "PtyLine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <pty.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// With no client reading, output would pile up for ever (a ringing line rings every couple of
// seconds); beyond this the oldest bytes go.
constexpr std::size_t kMaxPending = 64 * 1024;

std::runtime_error failure(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void makeLink(const std::string& target, const std::string& link) {
    struct stat existing {};
    if (::lstat(link.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) {
            errno = EEXIST;
            throw failure("cannot make link " + link);
        }
        ::unlink(link.c_str());
    }
    if (::symlink(target.c_str(), link.c_str()) != 0)
        throw failure("cannot make link " + link);
}

} // namespace

PtyLine::PtyLine(const std::string& linkPath) {
    if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
        throw failure("cannot open a pseudo-terminal");
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    // A client that sets no modes of its own still gets bytes through unchanged.
    termios modes{};
    ::tcgetattr(m_slave, &modes);
    ::cfmakeraw(&modes);
    ::cfsetispeed(&modes, B9600);
    ::cfsetospeed(&modes, B9600);
    ::tcsetattr(m_slave, TCSANOW, &modes);

    char name[PATH_MAX] = {};
    if (::ttyname_r(m_slave, name, sizeof name) != 0) {
        ::close(m_master);
        ::close(m_slave);
        throw failure("cannot name the pseudo-terminal");
    }
    m_slavePath = name;
    if (!linkPath.empty()) {
        try {
            makeLink(m_slavePath, linkPath);
        } catch (...) {
            ::close(m_master);
            ::close(m_slave);
            throw;
        }
        m_link = linkPath;
    }
}

PtyLine::~PtyLine() {
    if (!m_link.empty())
        ::unlink(m_link.c_str());
    ::close(m_master);
    ::close(m_slave);
}

std::string PtyLine::readAvailable() {
    char buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

void PtyLine::queue(const std::string& bytes) {
    m_pending += bytes;
    if (m_pending.size() > kMaxPending)
        m_pending.erase(0, m_pending.size() - kMaxPending);
}

void PtyLine::flush() {
    while (!m_pending.empty()) {
        const ssize_t n = ::write(m_master, m_pending.data(), m_pending.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        m_pending.erase(0, std::size_t(n));
    }
}
