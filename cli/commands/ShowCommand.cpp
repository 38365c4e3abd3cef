// SPDX-License-Identifier: MIT
// korvanectl show: a configuration file as read prints a device, without a port.
#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "cli/ConfigurationReport.h"
#include "cli/Console.h"
#include "cli/JsonWriter.h"

namespace korvane::cli {

namespace {

QString help() {
    return QStringLiteral(
        "Usage: korvanectl show FILE [--json]\n"
        "Checks the configuration file FILE (- standard input) as write does and prints\n"
        "it as read prints a device, without a port. For git: in .gitattributes\n"
        "'*.krv diff=krv', then 'git config diff.krv.textconv \"korvanectl show\"'.\n");
}

// No model (null in the JSON), no carrier level.
Prepared prepare(Options& o, Console& console) {
    InputConfiguration input;
    if (const std::optional<int> refused = readInput(input, o, console, false))
        return {nullptr, *refused};
    DeviceConfiguration config;
    input.file->applyTo(config);
    if (o.json) {
        const QJsonObject document{
            {QStringLiteral("version"), JsonVersion},
            {QStringLiteral("command"), commandWord(o)},
            {QStringLiteral("ok"), true},
            {QStringLiteral("error"), QJsonValue::Null},
            {QStringLiteral("status"), StatusOk},
            {QStringLiteral("input"), QJsonValue::Null},
            {QStringLiteral("ports"), QJsonArray()},
            {QStringLiteral("file"), o.args.file},
            {QStringLiteral("model"), QJsonValue::Null},
            {QStringLiteral("configuration"), configurationJson(config, {ReadPart::Delay, false})},
        };
        console.out(QString::fromUtf8(jsonText(document)));
    } else {
        console.out(configurationText(config));
    }
    return {nullptr, StatusOk};
}

} // namespace

extern const CommandDef showCommand{
    .name = "show",
    .synopsis =
        "  show FILE                    print a configuration file as read prints a device\n",
    .help = help,
    .options = {},
    .ports = PortUse::None,
    .takesFile = true,
    .checkOptions = nullptr,
    .prepare = prepare,
};

} // namespace korvane::cli
