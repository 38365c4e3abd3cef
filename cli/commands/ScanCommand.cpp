// SPDX-License-Identifier: MIT
// korvanectl scan: which ports have a Korvane on them, by reads only.
#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "cli/Console.h"
#include "cli/ConsoleOperator.h"
#include "cli/Interrupt.h"
#include "config/DisplayTexts.h"
#include "link/PortListing.h"
#include "protocol/Commands.h"
#include "protocol/DeviceProcedures.h"
#include "protocol/SectionCodecs.h"
#include "session/DeviceSession.h"

#include <algorithm>

namespace korvane::cli {

namespace {

#if defined(_WIN32)
#define ScanDefaultPorts                                                                           \
    "every COM port Windows knows (--all changes\n"                                                \
    "nothing here), all\n"
#else
#define ScanDefaultPorts                                                                           \
    "every port 'korvanectl ports' lists\n"                                                        \
    "but the on-board /dev/ttyS* (--all takes those too), all\n"
#endif

class ScanRun : public CommandRun {
public:
    explicit ScanRun(const Options& o) : json(o.json) {}

    // Busy or silent ports are skipped quietly.
    bool silentPorts() const override { return true; }

    // The identification probe, then the serial number: reads only.
    int runOnPort(DeviceSession& session, ConsoleOperator& ui, PortResult& result) const override {
        DeviceConfiguration& config = session.configuration();
        config.deviceModel = session.procedures().identifyDevice();
        if (config.deviceModel == text::ModelUnknown)
            return StatusUnreachable;
        if (const auto serial = readOne(session, ui, command::ReadSerialNumber))
            result.serialRead = decodeReadSerialNumber(*serial);
        return StatusOk;
    }

    void report(std::vector<PortResult>& results, Console& console,
                QJsonArray& ports) const override {
        for (const PortResult& r : results) {
            QJsonObject obj = portBase(r);
            obj.insert(QStringLiteral("serialRead"),
                       r.serialRead ? QJsonValue(qint64(*r.serialRead)) : QJsonValue::Null);
            ports.append(obj);
            if (json || r.status != StatusOk)
                continue;
            console.out(portShown(r.port) + u'\t' + r.configuration->deviceModel + u'\t' +
                        (r.serialRead ? QString::number(*r.serialRead) : QStringLiteral("-")) +
                        u'\n');
        }
    }

    // A scan succeeds when any port has a Korvane on it.
    int status(const std::vector<PortResult>& results, Console& console) const override {
        const int status =
            std::any_of(results.begin(), results.end(),
                        [](const PortResult& r) { return r.status == StatusOk; })
                ? StatusOk
                : std::max(StatusUnreachable, interruptRequested() ? StatusInterrupted : 0);
        if (status == StatusUnreachable)
            console.err(results.empty()
                            ? QStringLiteral(
                                  "korvanectl: 没有可试的端口（检测到的端口见 korvanectl ports）")
                            : QStringLiteral("korvanectl: %1个端口上都没有找到 Korvane")
                                  .arg(results.size()));
        return status;
    }

private:
    bool json;
};

QString help() {
    return QStringLiteral(
        "Usage: korvanectl [--port P]... scan [--all]\n"
        "Sends the identification probe and a serial number read (never a write) to every\n"
        "port given, or without --port to " ScanDefaultPorts
        "at once. Prints the port, the model and the serial number of each port that\n"
        "answered; busy or silent ports are skipped quietly. Exit status 0 when one\n"
        "answered, else 3.\n");
}

constexpr CommandOption options[] = {{.name = "--all"}};

Prepared prepare(Options& o, Console&) {
    if (o.ports.isEmpty())
        o.ports = candidatePorts(o.args.has("--all"));
    return {std::make_unique<ScanRun>(o)};
}

} // namespace

extern const CommandDef scanCommand{
    .name = "scan",
    .synopsis = "  scan [--all]                 which ports have a Korvane on them\n",
    .help = help,
    .options = options,
    .ports = PortUse::Optional,
    .takesFile = false,
    .checkOptions = nullptr,
    .prepare = prepare,
};

} // namespace korvane::cli
