#include "RelayPump.h"

#include "PtyPair.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <random>
#include <unistd.h>

namespace {

// Not a power of two, so that a relay that repeats or drops a round block is still caught.
constexpr qint64 kPatternSize = (8 << 20) + 7919;
constexpr qint64 kChunk = 65536;

const QByteArray& pattern(int direction) {
    static const std::array<QByteArray, 2> patterns = [] {
        std::array<QByteArray, 2> made;
        for (int d = 0; d < 2; ++d) {
            std::mt19937 random(quint32(1234 + d));
            made[size_t(d)].resize(kPatternSize);
            for (char& b : made[size_t(d)])
                b = char(random() & 0xff);
        }
        return made;
    }();
    return patterns[size_t(direction)];
}

} // namespace

RelayPump::RelayPump(PtyPair& first, PtyPair& second) : m_links{&first, &second} {
    pattern(0);
}

RelayPump::~RelayPump() {
    stop();
}

void RelayPump::start() {
    m_writing = true;
    for (int side = 0; side < 2; ++side)
        m_threads[size_t(side)] = std::thread([this, side] { run(side); });
}

void RelayPump::stopWriting() {
    m_writing = false;
}

void RelayPump::stop() {
    m_writing = false;
    m_stop = true;
    for (std::thread& t : m_threads) {
        if (t.joinable())
            t.join();
    }
}

bool RelayPump::allDelivered() const {
    return !m_writing && m_delivered[0] == m_written[0] && m_delivered[1] == m_written[1];
}

QString RelayPump::fault() const {
    std::lock_guard<std::mutex> lock(m_faultLock);
    return m_fault;
}

void RelayPump::run(int side) {
    const int master = m_links[size_t(side)]->master();
    const int out = side;
    const int in = 1 - side;
    const QByteArray& outgoing = pattern(out);
    std::vector<char> buffer(kChunk);
    while (!m_stop) {
        const bool writing = m_writing;
        pollfd p{master, short(POLLIN | (writing ? POLLOUT : 0)), 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        if (p.revents & POLLIN) {
            const ssize_t n = ::read(master, buffer.data(), buffer.size());
            if (n > 0)
                check(in, buffer.data(), n);
        }
        if (writing && (p.revents & POLLOUT)) {
            const qint64 offset = m_written[size_t(out)] % kPatternSize;
            const qint64 size = std::min(kChunk, kPatternSize - offset);
            const ssize_t n = ::write(master, outgoing.constData() + offset, size_t(size));
            if (n > 0)
                m_written[size_t(out)] += n;
        }
    }
}

void RelayPump::check(int direction, const char* data, qint64 size) {
    if (!m_intact)
        return;
    const QByteArray& expected = pattern(direction);
    qint64 at = m_delivered[size_t(direction)];
    qint64 done = 0;
    while (done < size) {
        const qint64 offset = at % kPatternSize;
        const qint64 part = std::min(size - done, kPatternSize - offset);
        if (std::memcmp(data + done, expected.constData() + offset, size_t(part)) != 0) {
            qint64 bad = 0;
            while (bad < part && data[done + bad] == expected[offset + bad])
                ++bad;
            std::lock_guard<std::mutex> lock(m_faultLock);
            m_fault = QStringLiteral("direction %1: byte %2 differs from what went in")
                          .arg(direction + 1)
                          .arg(at + bad);
            m_intact = false;
            return;
        }
        at += part;
        done += part;
    }
    m_delivered[size_t(direction)] = at;
}
