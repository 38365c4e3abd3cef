// SPDX-License-Identifier: MIT
#include "bench/WakeLatencyProbe.h"

#include <chrono>
#include <cstdint>
#include <system_error>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace korvane::bench {

WakeLatencyProbe::~WakeLatencyProbe() {
    stop();
}

bool WakeLatencyProbe::start() {
    if (m_thread.joinable())
        return true;
    m_lateMs.clear();
    m_stopFd = ::eventfd(0, EFD_CLOEXEC);
    if (m_stopFd < 0)
        return false;
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        ::close(m_stopFd);
        m_stopFd = -1;
        return false;
    }
    return true;
}

void WakeLatencyProbe::stop() {
    if (!m_thread.joinable())
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_stopFd, &one, sizeof one);
    m_thread.join();
    ::close(m_stopFd);
    m_stopFd = -1;
}

void WakeLatencyProbe::run() {
    using Clock = std::chrono::steady_clock;
    for (;;) {
        pollfd stop{m_stopFd, POLLIN, 0};
        const Clock::time_point before = Clock::now();
        const int ready = ::poll(&stop, 1, SleepMs);
        if (ready != 0)
            return; // stopped, or poll itself failed
        const std::chrono::duration<double, std::milli> slept = Clock::now() - before;
        m_lateMs.push_back(slept.count() - SleepMs);
    }
}

} // namespace korvane::bench
