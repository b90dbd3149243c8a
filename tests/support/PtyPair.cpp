#include "PtyPair.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
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
        // Not inherited by the programs a test or benchmark starts.
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair() {
    closeMaster();
}

bool PtyPair::write(const QByteArray& bytes) {
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

qsizetype PtyPair::unreadByProgram() const {
    int waiting = 0;
    return ::ioctl(m_slave, FIONREAD, &waiting) == 0 ? waiting : 0;
}

void PtyPair::drain() {
    char buffer[65536];
    while (::read(m_master, buffer, sizeof buffer) > 0) {
    }
}

QByteArray PtyPair::read(qsizetype count, int timeoutMs) {
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < timeoutMs) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
            continue;
        char buffer[65536];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, n);
    }
    return got;
}

void PtyPair::closeMaster() {
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    // With no end left open the device is gone, as an unplugged one is.
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
}

QByteArray randomBytes(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char& b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

std::array<QByteArray, 2> crossTraffic(PtyPair& a, PtyPair& b, const QByteArray& toB,
                                       const QByteArray& toA, int timeoutMs) {
    std::array<QByteArray, 2> out;
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        a.write(toB);
        ++finished;
    });
    threads.emplace_back([&] {
        b.write(toA);
        ++finished;
    });
    threads.emplace_back([&] {
        out[0] = b.read(toB.size(), timeoutMs);
        ++finished;
    });
    threads.emplace_back([&] {
        out[1] = a.read(toA.size(), timeoutMs);
        ++finished;
    });
    QElapsedTimer clock;
    clock.start();
    while (finished < 4 && clock.elapsed() < timeoutMs + 1000)
        QTest::qWait(10);
    for (std::thread& t : threads)
        t.join();
    return out;
}
