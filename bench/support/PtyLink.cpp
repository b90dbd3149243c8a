#include "PtyLink.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyLink::PtyLink() {
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    for (const int fd : {m_master, m_slave}) {
        termios raw{};
        ::tcgetattr(fd, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(fd, TCSANOW, &raw);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyLink::~PtyLink() {
    for (const int fd : {m_master, m_slave}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void PtyLink::drain() {
    char buffer[65536];
    while (::read(m_master, buffer, sizeof buffer) > 0) {
    }
}

bool PtyLink::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        pollfd p{m_master, POLLOUT, 0};
        ::poll(&p, 1, 100);
    }
    return true;
}
