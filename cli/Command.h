// SPDX-License-Identifier: MIT
#pragma once
// A korvanectl command: its name, its help, the options it takes, what it checks before
// the first frame, what it does on one port and how it reports. Each command is one
// file in commands/; Commands.cpp lists them. Shared by all: the global options
// (CliOptions), the threads of the ports (PortJob), the console and the JSON document
// (CommandSupport).

#include <QJsonArray>
#include <QString>

#include <memory>
#include <span>
#include <vector>

namespace korvane {
class DeviceSession;
}

namespace korvane::cli {

class Console;
class ConsoleOperator;
struct Options;
struct PortResult;

// An option of one or more commands.
struct CommandOption {
    const char* name;            // as the command line gives it, the key of its value
    const char* alias = nullptr; // another name for it
    bool takesValue = false;
    // What is wrong with a value, or nothing; checked as the option is read.
    QString (*problem)(const QString& option, const QString& value) = nullptr;
};

enum class PortUse { Needed, Optional, None };

// One run of a command once its inputs are checked: shared by the ports' threads, which
// only read it.
class CommandRun {
public:
    virtual ~CommandRun() = default;
    // Ports whose failures are left unsaid (scan).
    virtual bool silentPorts() const { return false; }
    // On the port's own thread; returns the port's exit status.
    virtual int runOnPort(DeviceSession& session, ConsoleOperator& ui,
                          PortResult& result) const = 0;
    // The results in the ports' order: text on the console, the JSON document's ports.
    virtual void report(std::vector<PortResult>& results, Console& console,
                        QJsonArray& json) const = 0;
    // The program's exit status; by default the worst port's.
    virtual int status(const std::vector<PortResult>& results, Console& console) const;
};

// What a command makes of its checked options: a run on the ports, or the exit status of
// a command that is done without them (or refused its input).
struct Prepared {
    std::unique_ptr<CommandRun> run;
    int status = 0;
};

struct CommandDef {
    const char* name;
    const char* synopsis; // its lines under "Commands:" in the program's help
    QString (*help)();
    std::span<const CommandOption> options;
    PortUse ports = PortUse::Needed;
    bool takesFile = false; // one FILE argument
    // After the common checks: what is wrong with the command's own options, or nothing.
    // May complete them (e.g. from the settings file).
    QString (*checkOptions)(Options& options) = nullptr;
    // Checks every input (files, folders) before anything is sent.
    Prepared (*prepare)(Options& options, Console& console);
};

// Every command, in the order the help lists them.
std::span<const CommandDef* const> commands();
const CommandDef* findCommand(const QString& name);

} // namespace korvane::cli
