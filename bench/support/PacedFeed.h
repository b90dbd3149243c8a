#pragma once

#include <QtGlobal>

#include <array>
#include <atomic>
#include <thread>

class PtyPair;

// Two devices sending modem text at a steady rate, each into its pty master, until each has
// sent `total` bytes; whatever the program sends back is read and thrown away. A program that
// does not keep up makes the pty refuse bytes, which are owed and sent as soon as it takes them.
class PacedFeed {
public:
    PacedFeed(PtyPair& first, PtyPair& second, double bytesPerSecond, qint64 total);
    ~PacedFeed();
    PacedFeed(const PacedFeed&) = delete;
    PacedFeed& operator=(const PacedFeed&) = delete;

    void start();
    void stop();
    qint64 sent(int device) const { return m_sent[size_t(device)]; }
    // The most bytes a device ever owed because its pty was full.
    qint64 largestBacklog() const { return m_largestBacklog; }

private:
    void run();

    std::array<PtyPair*, 2> m_links;
    double m_rate;
    qint64 m_total;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::array<std::atomic<qint64>, 2> m_sent{};
    std::atomic<qint64> m_largestBacklog{0};
};
