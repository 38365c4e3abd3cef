// SPDX-License-Identifier: MIT
#pragma once
// The command line of korvanectl: global options, the command and its arguments.

#include "session/PortSettings.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace korvane::cli {

enum class Command { None, Identify, Scan, Read, Write, Diff, SetAddress, Schedule, Show, Ports };

struct Options {
    enum class Outcome { Run, Help, Error };
    Outcome result = Outcome::Error;
    QString text; // Help: the help or version text; Error: what is wrong, one line

    Command cmd = Command::None;
    QStringList ports; // as given, or the settings file's commName
    PortSettings line; // every port's line settings; the name is each port's own
    bool remote = false;
    bool json = false;
    bool verbose = false;  // the traces of the link, the procedures and the files
    bool quiet = false;    // no success lines
    bool allPorts = false; // scan: the on-board ports too
    QString output;        // read -o
    QString file;          // write, diff
    QString channels;      // write, schedule; else the settings file's ChannelFile
    bool noSchedule = false;
    bool addressFromDevice = false; // write
    bool dryRun = false;            // write: check, read and compare, send nothing
    bool settingsOnly = false;      // diff: serial number and address left out
    int timeoutMs = 0;              // the answer time limit; 0: the transport's own
    std::uint32_t serial = 0;
    std::uint32_t address = 0;
};

// arguments[0] is the program name. Reads the --settings file, if any.
Options parseOptions(const QStringList& arguments);

// read -o PATH is a folder of <serial>.krv: for several ports, a PATH ending in a
// separator, or a folder that exists.
bool outputIsFolder(const Options& options);

// The help of the program (Command::None) or of one command.
QString helpText(Command command);

} // namespace korvane::cli
