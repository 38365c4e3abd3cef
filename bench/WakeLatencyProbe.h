// SPDX-License-Identifier: MIT
#pragma once
// A bare thread that sleeps 100 ms in poll() over and over and notes how late it
// wakes: the machine's own scheduling delay, to set beside the transaction times.

#include <atomic>
#include <thread>
#include <vector>

namespace korvane::bench {

class WakeLatencyProbe {
public:
    static constexpr int SleepMs = 100;

    WakeLatencyProbe() = default;
    ~WakeLatencyProbe(); // stops
    WakeLatencyProbe(const WakeLatencyProbe&) = delete;
    WakeLatencyProbe& operator=(const WakeLatencyProbe&) = delete;

    // False when no stop event or thread could be had.
    bool start();
    void stop();

    // Valid after stop(): how late each wake-up came, in ms.
    const std::vector<double>& lateMs() const noexcept { return m_lateMs; }

private:
    void run();

    int m_stopFd = -1;
    std::thread m_thread;
    std::vector<double> m_lateMs;
};

} // namespace korvane::bench
