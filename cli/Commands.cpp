// SPDX-License-Identifier: MIT
// The commands of korvanectl: one line a command, in the order the help lists them. Each
// is defined in commands/, named here.
#define KORVANE_COMMANDS(X)                                                                        \
    X(identifyCommand)                                                                             \
    X(scanCommand)                                                                                 \
    X(readCommand)                                                                                 \
    X(writeCommand)                                                                                \
    X(diffCommand)                                                                                 \
    X(setAddressCommand)                                                                           \
    X(scheduleCommand)                                                                             \
    X(showCommand)                                                                                 \
    X(portsCommand)                                                                                \
    /* the end of the list */

#include "cli/Command.h"

namespace korvane::cli {

#define KORVANE_DECLARE_COMMAND(command) extern const CommandDef command;
KORVANE_COMMANDS(KORVANE_DECLARE_COMMAND)

namespace {
#define KORVANE_LIST_COMMAND(command) &command,
constexpr const CommandDef* commandTable[] = {KORVANE_COMMANDS(KORVANE_LIST_COMMAND)};
} // namespace

std::span<const CommandDef* const> commands() {
    return commandTable;
}

const CommandDef* findCommand(const QString& name) {
    for (const CommandDef* command : commandTable)
        if (name == QLatin1String(command->name))
            return command;
    return nullptr;
}

} // namespace korvane::cli
