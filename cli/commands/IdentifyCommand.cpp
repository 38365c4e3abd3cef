// SPDX-License-Identifier: MIT
// korvanectl identify: the model of each device.
#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "cli/Console.h"
#include "protocol/DeviceProcedures.h"
#include "session/DeviceSession.h"

namespace korvane::cli {

namespace {

class IdentifyRun : public CommandRun {
public:
    explicit IdentifyRun(const Options& o) : json(o.json) {}

    int runOnPort(DeviceSession& session, ConsoleOperator&, PortResult&) const override {
        return session.procedures().ensureIdentified() ? StatusOk : StatusUnreachable;
    }

    void report(std::vector<PortResult>& results, Console& console,
                QJsonArray& ports) const override {
        for (const PortResult& r : results) {
            ports.append(portBase(r));
            if (json || r.status != StatusOk)
                continue;
            console.out(portShown(r.port) + u'\t' + r.configuration->deviceModel + u'\n');
        }
    }

private:
    bool json;
};

QString help() {
    return QStringLiteral(
        "Usage: korvanectl --port P... identify\n"
        "Probes each device and prints one line per port: the port and the model.\n");
}

Prepared prepare(Options& options, Console&) {
    return {std::make_unique<IdentifyRun>(options)};
}

} // namespace

extern const CommandDef identifyCommand{
    .name = "identify",
    .synopsis = "  identify                     the model of each device\n",
    .help = help,
    .options = {},
    .ports = PortUse::Needed,
    .takesFile = false,
    .checkOptions = nullptr,
    .prepare = prepare,
};

} // namespace korvane::cli
