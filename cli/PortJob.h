#pragma once
// One port's share of a korvanectl command. A job creates, uses and destroys its port
// and transport on the thread it runs on; runPortJobs gives every job a thread of its
// own, so that one device's time-outs or failures never hold up or touch another's.

#include "cli/CliOptions.h"
#include "cli/ConfigurationReport.h"
#include "config/DeviceConfiguration.h"
#include "files/ConfigurationFile.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace korvane::cli {

class Console;

// Exit statuses, from best to worst; with several ports the worst one is the program's.
inline constexpr int StatusOk = 0;          // done; diff: no difference
inline constexpr int StatusDiffers = 1;     // the device differs from what was asked
inline constexpr int StatusUsage = 2;       // bad usage or an unusable input, nothing sent
inline constexpr int StatusUnreachable = 3; // no port, no answer, or a garbled one
inline constexpr int StatusInterrupted = 130;

struct PortJob {
    Command Cmd = Command::None;
    QString Port;
    PortSettings Line; // the line settings; the name is Port
    bool Remote = false;
    bool Quiet = false;                    // scan: say nothing
    bool SuccessLines = true;              // say what succeeded
    std::optional<ConfigurationFile> File; // write, diff
    QString Channels;
    bool NoSchedule = false;
    std::uint32_t Serial = 0;
    std::uint32_t Address = 0;
    bool AddressFromDevice = false; // write: the frames go to the address the device has
    int TimeoutMs = 0;              // 0: the transport's own time limit
    bool DryRun = false;            // write: what would change, nothing sent
    bool SettingsOnly = false;      // diff: without serial number and address
};

struct PortResult {
    QString Port;
    int Status = StatusOk;
    QString Error; // the last error shown, for --json
    // Handed to the thread that collects the results once the job is over.
    std::unique_ptr<DeviceConfiguration> Configuration;
    bool ConfigurationRead = false;           // a whole device read succeeded
    ReadPart Read = ReadPart::Nothing;        // how far the last device read came
    QList<Difference> Differences;            // diff, write: the differences found
    QStringList Written;                      // write, schedule: the sections the device took
    QStringList NotWritten;                   // and those it did not get
    std::optional<std::uint32_t> AddressRead; // set-address: what the device answers
    std::optional<std::uint32_t> SerialRead;
    QString SavedFile; // read -o: where the configuration went
};

// Runs on the calling thread, which needs an event dispatcher (any QThread has one).
PortResult runPortJob(const PortJob& job, Console& console);

// Runs every job at once, each on a thread of its own; results in the jobs' order.
std::vector<PortResult> runPortJobs(const std::vector<PortJob>& jobs, Console& console);

} // namespace korvane::cli
