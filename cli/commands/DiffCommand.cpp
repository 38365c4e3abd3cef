// SPDX-License-Identifier: MIT
// korvanectl diff: how each device differs from a configuration file (or a backup
// folder's).
#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "cli/ConfigurationReport.h"
#include "cli/Console.h"
#include "protocol/DeviceProcedures.h"
#include "session/DeviceSession.h"

namespace korvane::cli {

namespace {

class DiffRun : public CommandRun {
public:
    DiffRun(const Options& o, InputConfiguration checked)
        : input(std::move(checked)), settingsOnly(o.args.has("--settings-only")), json(o.json) {}

    int runOnPort(DeviceSession& session, ConsoleOperator& ui, PortResult& result) const override {
        DeviceConfiguration& config = session.configuration();
        if (!(result.configurationRead = session.procedures().readDevice()))
            return StatusUnreachable;
        const ConfigurationFile* file = input.fileFor(config, ui, result);
        if (file == nullptr)
            return StatusUsage;
        DeviceConfiguration fromFile;
        file->applyTo(fromFile);
        result.differences = differences(DeviceValues::of(config), DeviceValues::of(fromFile),
                                         config.deviceModel, {false, !settingsOnly});
        result.compared = true;
        return result.differences.isEmpty() ? StatusOk : StatusDiffers;
    }

    void report(std::vector<PortResult>& results, Console& console,
                QJsonArray& ports) const override {
        for (const PortResult& r : results) {
            QJsonObject obj = portBase(r);
            obj.insert(QStringLiteral("input"), textOrNull(r.input));
            // Null unless a comparison completed: an empty list says the device matches.
            obj.insert(QStringLiteral("differences"),
                       r.compared ? QJsonValue(differencesJson(r.differences)) : QJsonValue::Null);
            ports.append(obj);
            if (!json) {
                for (const Difference& d : r.differences)
                    console.out(portShown(r.port) + QStringLiteral(": ") +
                                d.text(QStringLiteral("file")) + u'\n');
            }
        }
    }

private:
    InputConfiguration input;
    bool settingsOnly; // without serial number and address
    bool json;
};

QString help() {
    return QStringLiteral(
        "Usage: korvanectl --port P... diff FILE [--settings-only]\n"
        "Reads each device and prints every difference from the configuration file FILE,\n"
        "one per line. Exit status 1 when any device differs. FILE is checked first, as\n"
        "write checks it (exit status 2). --settings-only leaves out serial number and\n"
        "address: a template written to many devices. FILE may be a backup folder, as\n"
        "for write: each device is compared with the file of its serial number.\n");
}

constexpr CommandOption options[] = {{.name = "--settings-only"}};

Prepared prepare(Options& o, Console& console) {
    InputConfiguration input;
    if (const std::optional<int> refused = readInput(input, o, console, true))
        return {nullptr, *refused};
    return {std::make_unique<DiffRun>(o, std::move(input))};
}

} // namespace

extern const CommandDef diffCommand{
    .name = "diff",
    .synopsis =
        "  diff FILE [--settings-only]  print how each device differs from FILE (- standard "
        "input)\n"
        "                               (write, diff: FILE may be a folder of <serial>.krv)\n",
    .help = help,
    .options = options,
    .ports = PortUse::Needed,
    .takesFile = true,
    .checkOptions = nullptr,
    .prepare = prepare,
};

} // namespace korvane::cli
