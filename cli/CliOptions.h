// SPDX-License-Identifier: MIT
#pragma once
// The command line of korvanectl: global options, the command and its arguments.

#include "session/PortSettings.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace korvane::cli {

struct CommandDef;

// The command's own options, by their first name (a flag's value is empty), and its FILE.
struct CommandArguments {
    QHash<QString, QString> values;
    QString file;

    bool has(const char* option) const { return values.contains(QLatin1String(option)); }
    QString value(const char* option) const { return values.value(QLatin1String(option)); }
};

struct Options {
    enum class Outcome { Run, Help, Error };
    Outcome result = Outcome::Error;
    QString text; // Help: the help or version text; Error: what is wrong, one line

    const CommandDef* command = nullptr;
    CommandArguments args;
    QStringList ports;           // as given, or the settings file's commName
    PortSettings line;           // every port's line settings; the name is each port's own
    QString settingsChannelFile; // the --settings file's ChannelFile
    bool remote = false;
    bool json = false;
    bool verbose = false; // the traces of the link, the procedures and the files
    bool quiet = false;   // no success lines
    int timeoutMs = 0;    // the answer time limit; 0: the transport's own
};

// arguments[0] is the program name. Reads the --settings file, if any.
Options parseOptions(const QStringList& arguments);

// A number in decimal, or hexadecimal after 0x; nothing for anything else.
std::optional<std::uint64_t> parseNumber(const QString& text);

// The help of the program (nullptr) or of one command.
QString helpText(const CommandDef* command);

} // namespace korvane::cli
