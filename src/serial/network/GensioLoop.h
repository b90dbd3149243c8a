#pragma once

#include <QString>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

struct gensio_os_funcs;
struct gensio_iod;
struct gensio_timer;

// gensio's event loop on a thread of its own. Every gensio call of the network control is made
// on this thread, so gensio needs no signal to wake it: tasks come in through a pipe.
class GensioLoop {
public:
    GensioLoop();
    // Runs what is posted before, then stops; waits for closes in flight (see hold) up to a
    // couple of seconds.
    ~GensioLoop();
    GensioLoop(const GensioLoop&) = delete;
    GensioLoop& operator=(const GensioLoop&) = delete;

    // Empty when the loop runs; else why it could not start.
    QString problem() const { return m_problem; }

    gensio_os_funcs* os() const { return m_os; }

    // From any thread: runs `task` on the loop's thread, in order.
    void post(std::function<void()> task);

    // On the loop's thread: runs `task` there after `ms`, unless the loop has stopped by then.
    void after(int ms, std::function<void()> task);

    // On the loop's thread: keeps the loop alive for something that finishes later (a close).
    void hold() { ++m_holds; }
    void release() { --m_holds; }

private:
    void run();
    void runPosted();
    static void onWake(gensio_iod* iod, void* self);
    static void onWakeCleared(gensio_iod* iod, void* self);
    static void onTimer(gensio_timer* timer, void* self);
    void armTimer();

    gensio_os_funcs* m_os = nullptr;
    gensio_iod* m_wakeIod = nullptr;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    QString m_problem;

    std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;
    bool m_wakePending = false;

    // Loop thread only.
    gensio_timer* m_timer = nullptr;
    std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> m_timed;
    bool m_stopping = false;
    int m_holds = 0;
    std::thread m_thread;
};
