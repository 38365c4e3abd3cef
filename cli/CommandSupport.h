// SPDX-License-Identifier: MIT
#pragma once
// What the commands share: the JSON document and the parts of a port's result every
// command reports, the refusal of an input before anything is sent, the configuration
// file or backup folder a command takes, and a checked read of one value.

#include "cli/CliOptions.h"
#include "cli/InputCheck.h"
#include "cli/PortJob.h"
#include "link/FrameCodec.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace korvane {
class DeviceSession;
}

namespace korvane::cli {

class Console;
class ConsoleOperator;

// The version of the JSON documents, as korvanectl.schema.json describes them.
inline constexpr int JsonVersion = 1;

QJsonValue textOrNull(const QString& text);
// The command's name in the JSON document; null without a command.
QJsonValue commandWord(const Options& options);

// The one JSON document of a run.
void printDocument(Console& console, const Options& options, int status, const QJsonArray& ports,
                   const QString& error = {}, const QJsonValue& input = QJsonValue::Null);

// Says what is wrong with an input (and, with --json, the document); the exit status.
int refuseInput(Console& console, const Options& options, const InputProblem& problem);

// What every port's result starts with.
QJsonObject portBase(const PortResult& result);
QJsonArray differencesJson(const QList<Difference>& differences);

// The configuration file a command compares or writes (- standard input), or a backup
// folder as read -o DIR/ makes it, checked before the first frame.
struct InputConfiguration {
    std::optional<ConfigurationFile> file;
    std::shared_ptr<const std::vector<InputFile>> folder;
    QString path;

    // The file for the device just read: the one given, or the folder's file of the
    // device's serial number. Nothing when the folder has none; the port then says so.
    const ConfigurationFile* fileFor(const DeviceConfiguration& device, ConsoleOperator& ui,
                                     PortResult& result) const;
};
// Reads and checks options.args.file; a folder only when allowed. The exit status when
// it is refused.
std::optional<int> readInput(InputConfiguration& input, Options& options, Console& console,
                             bool folderAllowed);

// The schedule a command sends, checked; the exit status when it is refused.
std::optional<int> checkSchedule(const QString& channels, Options& options, Console& console);

// One read command's checked answer; nothing, with the reason told, when it fails.
std::optional<ByteBuffer> readOne(DeviceSession& session, ConsoleOperator& ui, std::uint8_t code);

} // namespace korvane::cli
