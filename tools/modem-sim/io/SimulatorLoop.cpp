#include "SimulatorLoop.h"

#include "Exchange.h"
#include "LineSignals.h"
#include "PtyLine.h"
#include "SignalPipe.h"
#include "SimulatorOptions.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <memory>
#include <poll.h>
#include <stdexcept>
#include <vector>

namespace {

Millis monotonicMillis() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return Millis(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

constexpr std::size_t kBacklog = 16 * 1024;

int pollTimeout(const Exchange& exchange, Millis now) {
    const auto due = exchange.nextDeadline();
    if (!due)
        return -1;
    const Millis wait = *due - now;
    return wait <= 0 ? 0 : int(std::min<Millis>(wait, INT_MAX));
}

void appendToFile(const std::string& path, const std::string& bytes) {
    if (std::FILE* file = std::fopen(path.c_str(), "ab")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

} // namespace

int runSimulator(const SimulatorOptions& options) {
    const SignalPipe signals;
    std::vector<std::unique_ptr<PtyLine>> ptys;
    for (std::size_t i = 0; i < options.lines.size(); ++i)
        ptys.push_back(
            std::make_unique<PtyLine>(i < options.links.size() ? options.links[i] : std::string()));
    for (const auto& pty : ptys)
        std::printf("%s\n", pty->slavePath().c_str());
    std::fflush(stdout);

    Exchange exchange(options.lines, options.ringInterval);
    LineSignals lineSignals(ptys);
    std::vector<pollfd> fds(ptys.size() + 1);
    fds.back() = {signals.fd(), POLLIN, 0};
    for (;;) {
        const Millis now = monotonicMillis();
        exchange.advance(now);
        lineSignals.update(exchange);
        for (std::size_t i = 0; i < ptys.size(); ++i) {
            ptys[i]->queue(exchange.takeOutput(i));
            ptys[i]->flush();
        }
        for (std::size_t i = 0; i < ptys.size(); ++i) {
            // Like a cable with flow control: what a line sends waits while the other end is
            // behind with taking it, rather than being dropped.
            const int peer = exchange.peerOf(i);
            const bool peerBehind = peer >= 0 && ptys[std::size_t(peer)]->pendingSize() >= kBacklog;
            fds[i] = {ptys[i]->masterFd(),
                      short((peerBehind ? 0 : POLLIN) | (ptys[i]->hasPending() ? POLLOUT : 0)), 0};
        }
        if (::poll(fds.data(), fds.size(), pollTimeout(exchange, now)) < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("poll failed");
        }
        if (fds.back().revents & POLLIN)
            return 0;
        for (std::size_t i = 0; i < ptys.size(); ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            const std::string received = ptys[i]->readAvailable();
            if (received.empty())
                continue;
            if (!options.lines[i].recordFile.empty())
                appendToFile(options.lines[i].recordFile, received);
            exchange.receive(i, received, monotonicMillis());
        }
    }
}
