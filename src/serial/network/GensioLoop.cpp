#include "GensioLoop.h"

#include <gensio/gensio.h>
#include <gensio/gensio_unix.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#include <vector>

namespace {

// gensio logs problems it also reports through its results; those are what the user sees.
void ignoreLog(gensio_os_funcs*, gensio_log_levels, const char*, va_list) {}

// How long the destructor lets closes in flight finish before it gives up on them.
constexpr auto kCloseWait = std::chrono::seconds(2);

// gensio keeps the first OS handler it is given in process-wide state and goes on using it
// for every gensio of every handler, so a handler is never freed: one a loop is done with
// waits here for the next loop. The list itself outlives every static, as the handlers do.
std::mutex idleHandlersMutex;
auto& idleHandlers = *new std::vector<gensio_os_funcs*>;

int takeHandler(gensio_os_funcs** os) {
    {
        const std::lock_guard<std::mutex> lock(idleHandlersMutex);
        if (!idleHandlers.empty()) {
            *os = idleHandlers.back();
            idleHandlers.pop_back();
            return 0;
        }
    }
    // No wake signal: no other thread ever waits in gensio.
    return gensio_unix_funcs_alloc(nullptr, 0, os);
}

void giveBackHandler(gensio_os_funcs* os) {
    const std::lock_guard<std::mutex> lock(idleHandlersMutex);
    idleHandlers.push_back(os);
}

} // namespace

GensioLoop::GensioLoop() {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        m_problem = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_wakeRead = fds[0];
    m_wakeWrite = fds[1];
    int err = takeHandler(&m_os);
    if (!err) {
        gensio_os_funcs_set_vlog(m_os, ignoreLog);
        err = m_os->add_iod(m_os, GENSIO_IOD_PIPE, m_wakeRead, &m_wakeIod);
    }
    if (!err)
        err = m_os->set_fd_handlers(m_wakeIod, this, onWake, nullptr, nullptr, onWakeCleared);
    if (err) {
        m_problem = QString::fromUtf8(gensio_err_to_str(err));
        return;
    }
    m_os->set_read_handler(m_wakeIod, true);
    m_thread = std::thread([this] { run(); });
}

GensioLoop::~GensioLoop() {
    bool leftOpen = false;
    if (m_thread.joinable()) {
        post([this] {
            m_stopping = true;
            hold();
            m_os->clear_fd_handlers(m_wakeIod);
        });
        m_thread.join();
        leftOpen = m_holds > 0;
        if (m_timer && !leftOpen) {
            gensio_os_funcs_stop_timer(m_os, m_timer);
            gensio_os_funcs_free_timer(m_os, m_timer);
        }
    } else if (m_wakeIod) {
        m_os->clear_fd_handlers_norpt(m_wakeIod);
    }
    if (m_wakeIod && !leftOpen)
        m_os->release_iod(m_wakeIod);
    // gensio objects still closing need the handler: better leave it to them than crash.
    if (m_os && !leftOpen)
        giveBackHandler(m_os);
    for (const int fd : {m_wakeRead, m_wakeWrite}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void GensioLoop::post(std::function<void()> task) {
    if (!m_thread.joinable())
        return;
    bool wake = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(std::move(task));
        wake = !m_wakePending;
        m_wakePending = true;
    }
    if (wake) {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(m_wakeWrite, &byte, 1);
    }
}

void GensioLoop::after(int ms, std::function<void()> task) {
    if (!m_timer)
        m_timer = gensio_os_funcs_alloc_timer(m_os, onTimer, this);
    m_timed.emplace(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms),
                    std::move(task));
    armTimer();
}

void GensioLoop::armTimer() {
    if (!m_timer || m_timed.empty())
        return;
    gensio_os_funcs_stop_timer(m_os, m_timer);
    const auto wait = std::max(std::chrono::nanoseconds(0),
                               m_timed.begin()->first - std::chrono::steady_clock::now());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    gensio_time timeout{seconds.count(), int((wait - seconds).count())};
    gensio_os_funcs_start_timer(m_os, m_timer, &timeout);
}

void GensioLoop::onTimer(gensio_timer*, void* self) {
    auto* loop = static_cast<GensioLoop*>(self);
    auto& timed = loop->m_timed;
    while (!timed.empty() && timed.begin()->first <= std::chrono::steady_clock::now()) {
        const std::function<void()> task = std::move(timed.begin()->second);
        timed.erase(timed.begin());
        task();
    }
    loop->armTimer();
}

void GensioLoop::run() {
    // A write to a connection the far end dropped then fails with EPIPE instead of ending the
    // program.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    std::chrono::steady_clock::time_point giveUp{};
    while (!m_stopping || m_holds > 0) {
        if (!m_stopping) {
            gensio_os_funcs_service(m_os, nullptr);
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (giveUp == std::chrono::steady_clock::time_point{})
            giveUp = now + kCloseWait;
        else if (now > giveUp)
            break;
        gensio_time slice{0, 50 * 1000 * 1000};
        gensio_os_funcs_service(m_os, &slice);
        // The pipe is no longer watched; what the closes post runs from here.
        runPosted();
    }
}

void GensioLoop::runPosted() {
    std::deque<std::function<void()>> tasks;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        tasks.swap(m_tasks);
        m_wakePending = false;
    }
    for (auto& task : tasks)
        task();
}

void GensioLoop::onWake(gensio_iod*, void* self) {
    auto* loop = static_cast<GensioLoop*>(self);
    char bytes[64];
    while (::read(loop->m_wakeRead, bytes, sizeof bytes) > 0) {
    }
    loop->runPosted();
}

void GensioLoop::onWakeCleared(gensio_iod*, void* self) {
    static_cast<GensioLoop*>(self)->release();
}
