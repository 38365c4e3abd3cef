// SPDX-License-Identifier: MIT
#pragma once
// One port's share of a korvanectl command. A job creates, uses and destroys its port
// and transport on the thread it runs on; runPortJobs gives every job a thread of its
// own, so that one device's time-outs or failures never hold up or touch another's.

#include "cli/ConfigurationReport.h"
#include "config/DeviceConfiguration.h"
#include "session/PortSettings.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace korvane::cli {

class CommandRun;
class Console;

// Exit statuses, from best to worst; with several ports the worst one is the program's.
inline constexpr int StatusOk = 0;          // done; diff: no difference
inline constexpr int StatusDiffers = 1;     // the device differs from what was asked
inline constexpr int StatusUsage = 2;       // bad usage or an unusable input, nothing sent
inline constexpr int StatusUnreachable = 3; // no port, no answer, or a garbled one
inline constexpr int StatusInterrupted = 130;

struct PortJob {
    const CommandRun* run = nullptr; // what the command does on the port
    QString port;
    PortSettings line; // the line settings; the name is Port
    bool remote = false;
    bool quiet = false;       // failures left unsaid
    bool successLines = true; // say what succeeded
    int timeoutMs = 0;        // 0: the transport's own time limit
};

struct PortResult {
    QString port;
    int status = StatusOk;
    QString error;  // the last error shown, for --json
    QString reason; // a port that would not open or was lost: why, and what to try
    QString hint;
    // Handed to the thread that collects the results once the job is over.
    std::unique_ptr<DeviceConfiguration> configuration;
    bool configurationRead = false;           // a whole device read succeeded
    ReadPart read = ReadPart::Nothing;        // how far the last device read came
    QList<Difference> differences;            // diff, write: the differences found
    bool compared = false;                    // and a comparison gave them
    QStringList written;                      // write, schedule: the sections the device took
    QStringList notWritten;                   // and those it did not get
    std::optional<std::uint32_t> addressRead; // set-address: what the device answers
    std::optional<std::uint32_t> serialRead;  // set-address, scan
    QString savedFile;                        // read -o: where the configuration went
    QString input;                            // write, diff: the file compared or written
};

// Runs on the calling thread, which needs an event dispatcher (any QThread has one).
PortResult runPortJob(const PortJob& job, Console& console);

// Runs every job at once, each on a thread of its own; results in the jobs' order.
std::vector<PortResult> runPortJobs(const std::vector<PortJob>& jobs, Console& console);

} // namespace korvane::cli
