#pragma once

#include <string>

// One pseudo-terminal of the simulator, with its optional symbolic link. The simulator keeps
// the slave end open itself, so the master never sees a hang-up when a client closes the
// device, and a client can open it again later.
class PtyLine {
public:
    // Throws std::runtime_error when the pty or the link cannot be made.
    explicit PtyLine(const std::string& linkPath);
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    int masterFd() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }

    // What the client has written since the last call; empty when nothing is waiting.
    std::string readAvailable();
    void queue(const std::string& bytes);
    bool hasPending() const { return !m_pending.empty(); }
    std::size_t pendingSize() const { return m_pending.size(); }
    // Writes as much of the queue as the pty takes now.
    void flush();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_link;
    std::string m_pending;
};
