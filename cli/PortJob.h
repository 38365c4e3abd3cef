// SPDX-License-Identifier: MIT
#pragma once
// One port's share of a korvanectl command. A job creates, uses and destroys its port
// and transport on the thread it runs on; runPortJobs gives every job a thread of its
// own, so that one device's time-outs or failures never hold up or touch another's.

#include "cli/CliOptions.h"
#include "cli/ConfigurationReport.h"
#include "cli/InputCheck.h"
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
    Command cmd = Command::None;
    QString port;
    PortSettings line; // the line settings; the name is Port
    bool remote = false;
    bool quiet = false;                    // scan: say nothing
    bool successLines = true;              // say what succeeded
    std::optional<ConfigurationFile> file; // write, diff: the file, or
    QString filePath;                      // (- standard input)
    // a backup folder's files, each device taking the one of its serial number
    std::shared_ptr<const std::vector<InputFile>> folder;
    QString folderPath;
    QString channels;
    bool noSchedule = false;
    std::uint32_t serial = 0;
    std::uint32_t address = 0;
    bool addressFromDevice = false; // write: the frames go to the address the device has
    int timeoutMs = 0;              // 0: the transport's own time limit
    bool dryRun = false;            // write: what would change, nothing sent
    bool settingsOnly = false;      // diff: without serial number and address
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
