#pragma once
// One port's share of a korvanectl command. A job creates, uses and destroys its port
// and transport on the thread it runs on; runPortJobs gives every job a thread of its
// own, so that one device's time-outs or failures never hold up or touch another's.

#include "cli/CliOptions.h"
#include "config/DeviceConfiguration.h"
#include "files/ConfigurationFile.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace korvane::cli {

class Console;

// Exit statuses, from best to worst.
inline constexpr int StatusOk = 0;
inline constexpr int StatusFailed = 1;
inline constexpr int StatusUsage = 2;

struct PortJob {
    Command cmd = Command::None;
    QString port;
    PortSettings line; // the line settings; the name is Port
    bool remote = false;
    bool quiet = false;                    // scan: say nothing
    std::optional<ConfigurationFile> file; // write, diff
    QString channels;
    bool noSchedule = false;
    std::uint32_t serial = 0;
    std::uint32_t address = 0;
};

struct PortResult {
    QString port;
    int status = StatusOk;
    QString error; // the last error shown, for --json
    // Handed to the thread that collects the results once the job is over.
    std::unique_ptr<DeviceConfiguration> configuration;
    bool configurationRead = false; // a whole device read succeeded
    QStringList differences;        // diff
};

// Runs on the calling thread, which needs an event dispatcher (any QThread has one).
PortResult runPortJob(const PortJob& job, Console& console);

// Runs every job at once, each on a thread of its own; results in the jobs' order.
std::vector<PortResult> runPortJobs(const std::vector<PortJob>& jobs, Console& console);

} // namespace korvane::cli
