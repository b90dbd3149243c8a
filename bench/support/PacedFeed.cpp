#include "PacedFeed.h"

#include "ModemText.h"
#include "PtyPair.h"

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <unistd.h>

namespace {
constexpr auto kPeriod = std::chrono::milliseconds(5);
}

PacedFeed::PacedFeed(PtyPair& first, PtyPair& second, double bytesPerSecond, qint64 total)
    : m_links{&first, &second}, m_rate(bytesPerSecond), m_total(total) {}

PacedFeed::~PacedFeed() {
    stop();
}

void PacedFeed::start() {
    m_thread = std::thread([this] { run(); });
}

void PacedFeed::stop() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void PacedFeed::run() {
    // Whole lines, so that the text stays lines where it wraps round.
    const QByteArray text = modemLines(1 << 20, 99);
    const auto start = std::chrono::steady_clock::now();
    std::array<qint64, 2> offset{0, 0};
    char discard[65536];
    for (auto next = start; !m_stop; next += kPeriod) {
        std::this_thread::sleep_until(next);
        const double seconds = std::chrono::duration<double>(next + kPeriod - start).count();
        const qint64 due = std::min(m_total, qint64(seconds * m_rate));
        bool finished = true;
        for (size_t d = 0; d < 2; ++d) {
            const int master = m_links[d]->master();
            while (::read(master, discard, sizeof discard) > 0) {
            }
            while (m_sent[d] < due) {
                const qint64 at = offset[d] % text.size();
                const qint64 size = std::min(due - m_sent[d], text.size() - at);
                const ssize_t n = ::write(master, text.constData() + at, size_t(size));
                if (n <= 0)
                    break;
                m_sent[d] += n;
                offset[d] += n;
            }
            m_largestBacklog = std::max<qint64>(m_largestBacklog, due - m_sent[d]);
            finished = finished && m_sent[d] >= m_total;
        }
        if (finished)
            break;
    }
}
