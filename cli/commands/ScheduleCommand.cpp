// SPDX-License-Identifier: MIT
// korvanectl schedule: the timing schedule alone.
#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "cli/Interrupt.h"
#include "protocol/DeviceProcedures.h"
#include "session/DeviceSession.h"

#include <utility>

namespace korvane::cli {

namespace {

class ScheduleRun : public CommandRun {
public:
    explicit ScheduleRun(const Options& o) : channels(o.args.value("--channels")) {}

    int runOnPort(DeviceSession& session, ConsoleOperator&, PortResult& result) const override {
        DeviceProcedures& procedures = session.procedures();
        // The schedule names channels; the device's own port table turns them into ports.
        session.configuration().channelFileName = channels;
        result.notWritten = QStringList{QStringLiteral("schedule")};
        if (!procedures.readDevice() || interruptRequested() || !procedures.sendScheduleTable())
            return StatusUnreachable;
        result.written = std::exchange(result.notWritten, {});
        return StatusOk;
    }

    void report(std::vector<PortResult>& results, Console&, QJsonArray& ports) const override {
        for (const PortResult& r : results) {
            QJsonObject obj = portBase(r);
            obj.insert(QStringLiteral("written"), QJsonArray::fromStringList(r.written));
            obj.insert(QStringLiteral("notWritten"), QJsonArray::fromStringList(r.notWritten));
            ports.append(obj);
        }
    }

private:
    QString channels;
};

QString help() {
    return QStringLiteral(
        "Usage: korvanectl --port P... schedule --channels CHN\n"
        "Reads the device's port table, then sends the timing schedule beside CHN alone.\n");
}

constexpr CommandOption options[] = {{.name = "--channels", .takesValue = true}};

QString checkOptions(Options& o) {
    if (o.args.value("--channels").isEmpty() && !o.settingsChannelFile.isEmpty())
        o.args.values.insert(QStringLiteral("--channels"), o.settingsChannelFile);
    if (o.args.value("--channels").isEmpty())
        return QStringLiteral("schedule 需要 --channels");
    return {};
}

Prepared prepare(Options& o, Console& console) {
    if (const std::optional<int> refused = checkSchedule(o.args.value("--channels"), o, console))
        return {nullptr, *refused};
    return {std::make_unique<ScheduleRun>(o)};
}

} // namespace

extern const CommandDef scheduleCommand{
    .name = "schedule",
    .synopsis = "  schedule --channels CHN      send the timing schedule alone\n",
    .help = help,
    .options = options,
    .ports = PortUse::Needed,
    .takesFile = false,
    .checkOptions = checkOptions,
    .prepare = prepare,
};

} // namespace korvane::cli
