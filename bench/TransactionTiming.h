// SPDX-License-Identifier: MIT
#pragma once
// Times read transactions of the transport against the simulated device and works
// out, for each, the least time the line allows.

#include "bench/BenchOptions.h"

#include <QString>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvane::sim {
class SimulatorHost;
}

namespace korvane::bench {

// The command set the bench reads: the six read commands in device-read order.
inline constexpr std::uint8_t BenchedCommands[] = {0x08, 0x18, 0x28, 0x38, 0x48, 0x58};

// The least a transaction can take: the request (three bytes) and the raw answer at
// 10 bits a byte, the device's reply delay, and the read interval that ends a read.
double floorMs(std::size_t answerRawLength, const BenchOptions& options,
               std::uint32_t readIntervalMs);

// Where one transaction's time went, in ms, from the simulator's frame log (whole ms,
// so each figure is good to about 1 ms). known is false when the log lacks a frame.
struct TimeSplit {
    bool known = false;
    double request = 0; // Transact called -> the device has the whole request
    double device = 0;  // the device has the request -> its answer's wire time is over
    double port = 0;    // the answer's last byte -> the port's data handler runs
    double handoff = 0; // the data handler runs -> Transact returns (exact)
};

struct TimingRow {
    QString model;
    std::uint8_t code = 0;
    std::size_t rawLength = 0; // raw (escaped) answer length as received
    double floorMs = 0;
    double medianMs = 0;
    double worstMs = 0;
    double worstHandoffMs = 0; // longest time from the data handler to Transact returning
    TimeSplit worstSplit;      // of the slowest transaction
};

struct TimingRun {
    std::vector<TimingRow> rows;
    std::uint32_t readIntervalMs = 0;
    QString error; // empty when every transaction got the answer it should
};

// Runs options.count transactions of every benched command for both models on the
// port named (the simulator's slave path when empty, or a network port in front of it).
// Stops at the first transaction that goes wrong. simulatorStarted is taken just after
// the simulator's start(), the zero of its log.
TimingRun runTransactionTimings(sim::SimulatorHost& simulator, const BenchOptions& options,
                                std::chrono::steady_clock::time_point simulatorStarted,
                                const QString& portName = {});

// Middle value (mean of the two middle ones for an even count); 0 when empty.
double median(std::vector<double> values);

} // namespace korvane::bench
