#pragma once
// The command line of korvanectl: global options, the command and its arguments.

#include "session/PortSettings.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace korvane::cli {

enum class Command { None, Identify, Scan, Read, Write, Diff, SetAddress, Schedule, Show };

struct Options {
    enum class Outcome { Run, Help, Error };
    Outcome Result = Outcome::Error;
    QString Text; // Help: the help or version text; Error: what is wrong, one line

    Command Cmd = Command::None;
    QStringList Ports; // as given, or the settings file's commName
    PortSettings Line; // every port's line settings; the name is each port's own
    bool Remote = false;
    bool Json = false;
    bool Verbose = false;  // the traces of the link, the procedures and the files
    bool Quiet = false;    // no success lines
    bool AllPorts = false; // scan: the on-board ports too
    QString Output;        // read -o
    QString File;          // write, diff
    QString Channels;      // write, schedule; else the settings file's ChannelFile
    bool NoSchedule = false;
    bool AddressFromDevice = false; // write
    bool DryRun = false;            // write: check, read and compare, send nothing
    bool SettingsOnly = false;      // diff: serial number and address left out
    int TimeoutMs = 0;              // the answer time limit; 0: the transport's own
    std::uint32_t Serial = 0;
    std::uint32_t Address = 0;
};

// arguments[0] is the program name. Reads the --settings file, if any.
Options parseOptions(const QStringList& arguments);

// read -o PATH is a folder of <serial>.krv: for several ports, a PATH ending in a
// separator, or a folder that exists.
bool outputIsFolder(const Options& options);

// The help of the program (Command::None) or of one command.
QString helpText(Command command);

} // namespace korvane::cli
