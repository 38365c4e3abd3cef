// SPDX-License-Identifier: MIT
#pragma once
// The CPU time an open serial port costs while nothing happens on it.

#include <QString>

#include <cstdint>

namespace korvane::bench {

struct IdleCpu {
    double userMs = 0;
    double systemMs = 0;
    double wallMs = 0;
    long contextSwitches = 0; // of every thread: each is a sleep or a preemption
    QString error;            // empty when the port opened
    double cpuMs() const { return userMs + systemMs; }
};

// Opens a port on path, lets its threads start, then runs the event loop for idleMs
// doing nothing and returns the process's CPU time over that stretch (every thread,
// the port's included).
IdleCpu measureIdlePortCpu(const QString& path, std::uint32_t baud, int idleMs);

} // namespace korvane::bench
