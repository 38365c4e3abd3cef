#pragma once
// The command line of korvanectl: global options, the command and its arguments.

#include "session/PortSettings.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace korvane::cli {

enum class Command { None, Identify, Scan, Read, Write, Diff, SetAddress, Schedule };

struct Options {
    enum class Outcome { Run, Help, Error };
    Outcome result = Outcome::Error;
    QString text; // Help: the help or version text; Error: what is wrong, then the usage

    Command cmd = Command::None;
    QStringList ports; // as given, or the settings file's commName
    PortSettings line; // every port's line settings; the name is each port's own
    bool remote = false;
    bool json = false;
    bool verbose = false;  // the traces of the link, the procedures and the files
    bool allPorts = false; // scan: the on-board ports too
    QString output;        // read -o
    QString file;          // write, diff
    QString channels;      // write, schedule; else the settings file's ChannelFile
    bool noSchedule = false;
    std::uint32_t serial = 0;
    std::uint32_t address = 0;
};

// arguments[0] is the program name. Reads the --settings file, if any.
Options parseOptions(const QStringList& arguments);

// The help of the program (Command::None) or of one command.
QString helpText(Command command);

} // namespace korvane::cli
