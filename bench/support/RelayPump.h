#pragma once

#include <QString>

#include <array>
#include <atomic>
#include <mutex>
#include <thread>

class PtyPair;

// Random bytes, all 256 values, pumped into two pty masters at once as fast as the relay takes
// them, and checked byte for byte as they come out of the other master. Direction 0 goes in at
// the first link and out at the second; direction 1 the other way.
class RelayPump {
public:
    RelayPump(PtyPair& first, PtyPair& second);
    ~RelayPump();
    RelayPump(const RelayPump&) = delete;
    RelayPump& operator=(const RelayPump&) = delete;

    void start();
    // What is on its way is still read and checked.
    void stopWriting();
    void stop();

    qint64 written(int direction) const { return m_written[size_t(direction)]; }
    // Bytes that came out in order and equal to what went in.
    qint64 delivered(int direction) const { return m_delivered[size_t(direction)]; }
    bool allDelivered() const;
    bool intact() const { return m_intact; }
    QString fault() const;

private:
    void run(int side);
    void check(int direction, const char* data, qint64 size);

    std::array<PtyPair*, 2> m_links;
    std::array<std::thread, 2> m_threads;
    std::array<std::atomic<qint64>, 2> m_written{};
    std::array<std::atomic<qint64>, 2> m_delivered{};
    std::atomic<bool> m_writing{false};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_intact{true};
    mutable std::mutex m_faultLock;
    QString m_fault;
};
