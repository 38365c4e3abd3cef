// SPDX-License-Identifier: MIT
#pragma once
// Everything the simulator is started with, and the command line of korvane-sim that
// fills it in.

#include "sim/DeviceEngine.h"
#include "sim/DeviceState.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <set>

namespace korvane::sim {

struct SimulatorOptions {
    DeviceState state;      // the device as it comes up
    SimulatorFaults faults; // can be changed while running
    QString logFile;        // empty: no log file; else one line per frame, flushed
    QString linkPath;       // empty: none; else a symlink to the slave, removed on stop
    int replyDelayMs = 0;   // pause between a request's end byte and its answer
    int baud = 0;           // 0: answers written at once; else paced at 10 bits a byte
};

struct ParsedArguments {
    enum class Outcome { Run, Help, Error };
    Outcome outcome = Outcome::Error;
    SimulatorOptions options; // Run: ready to start
    QString text;             // Help: the help or version text; Error: what is wrong
};

// arguments[0] is the program name. Reads the --state file, if any.
ParsedArguments parseArguments(const QStringList& arguments);

// Comma-separated hex codes, each with or without 0x ("28,0x38"); nothing on error.
std::optional<std::set<std::uint8_t>> parseCodeList(const QString& text);

} // namespace korvane::sim
