#include "cli/CliOptions.h"

#include "KorvaneVersion.h"

#include <QFileInfo>

#include <algorithm>

#include <optional>

namespace korvane::cli {

namespace {

struct CommandName {
    const char* name;
    Command cmd;
};

constexpr CommandName Commands[] = {
    {"identify", Command::Identify}, {"scan", Command::Scan}, {"read", Command::Read},
    {"write", Command::Write},       {"diff", Command::Diff}, {"set-address", Command::SetAddress},
    {"schedule", Command::Schedule},
};

#if defined(_WIN32)
#define ScanDefaultPorts                                                                           \
    "--port to every COM port Windows knows (--all changes nothing here), all\n"
#else
#define ScanDefaultPorts                                                                           \
    "--port to every /dev/ttyUSB* and /dev/ttyACM* (with --all also /dev/ttyS*), all\n"
#endif

const char* const ProgramHelp =
    "Usage: korvanectl [OPTION]... COMMAND [ARGS]\n"
    "\n"
    "Runs the Korvane device procedures from the command line, on every port given at\n"
    "once, each port on its own thread.\n"
    "\n"
    "Options:\n"
    "  --port P         a port: COM3, ttyUSB0, /dev/ttyUSB0, a pty path; repeat it for\n"
    "                   several devices\n"
    "  --baud N         bit rate (default 9600), 8 data bits, no parity, 1 stop bit\n"
    "  --settings FILE  every line setting (and CommName, ChannelFile) from a KORVANE.INI\n"
    "  --remote         the device is remotely controlled: pause between writes\n"
    "  --json           results as JSON on standard output\n"
    "  --verbose        trace ports, frames, procedure steps and files on standard error\n"
    "  -h, --help       this help; after a command, that command's help\n"
    "  --version        the version of korvanectl\n"
    "\n"
    "Commands:\n"
    "  identify                     the model of each device\n"
    "  scan [--all]                 which ports have a Korvane on them\n"
    "  read [-o PATH]               read everything; print it or save it\n"
    "  write FILE [--channels CHN] [--no-schedule]\n"
    "                               write a configuration file, then read it back\n"
    "  diff FILE                    print how each device differs from FILE\n"
    "  set-address --serial N --address M\n"
    "                               give the device with serial N the address M\n"
    "  schedule --channels CHN      send the timing schedule alone\n"
    "\n"
    "Exit status: 0 every port succeeded; 1 a device did not answer, failed a check or\n"
    "differs; 2 bad usage, an unreadable or invalid file, or a port that cannot be opened.\n";

QString CommandHelp(Command command) {
    switch (command) {
    case Command::Identify:
        return QStringLiteral(
            "Usage: korvanectl --port P... identify\n"
            "Probes each device and prints one line per port: the port and the model.\n");
    case Command::Scan:
        return QStringLiteral(
            "Usage: korvanectl [--port P]... scan [--all]\n"
            "Sends the identification probe (never a write) to every port given, or "
            "without\n" ScanDefaultPorts
            "at once. Prints the port and the model of each port that answered; busy or\n"
            "silent ports are skipped quietly. Exit status 0 when one answered, else 1.\n");
    case Command::Read:
        return QStringLiteral(
            "Usage: korvanectl --port P... read [-o PATH]\n"
            "Reads address, serial number, port table, GPS, trunk and delay. With -o saves\n"
            "them as a configuration file: with one port PATH is the file, with several a\n"
            "folder holding <serial>.krv per device. Without -o prints them (--json: JSON).\n");
    case Command::Write:
        return QStringLiteral(
            "Usage: korvanectl --port P... write FILE [--channels CHN] [--no-schedule]\n"
            "Loads the configuration file FILE and writes everything to each device, the\n"
            "timing schedule included (the .sch beside CHN, else SchedulingFile.dat in the\n"
            "current folder), then reads the device back. Succeeds only when the read-back\n"
            "matches what was sent.\n");
    case Command::Diff:
        return QStringLiteral(
            "Usage: korvanectl --port P... diff FILE\n"
            "Reads each device and prints every difference from the configuration file FILE,\n"
            "one per line. Exit status 1 when any device differs.\n");
    case Command::SetAddress:
        return QStringLiteral(
            "Usage: korvanectl --port P... set-address --serial N --address M\n"
            "Gives the device with serial number N the address M (1 to 16777215). Numbers\n"
            "are decimal, or hexadecimal after 0x.\n");
    case Command::Schedule:
        return QStringLiteral(
            "Usage: korvanectl --port P... schedule --channels CHN\n"
            "Reads the device's port table, then sends the timing schedule beside CHN alone.\n");
    case Command::None:
        break;
    }
    return QString::fromUtf8(ProgramHelp);
}

std::optional<std::uint64_t> ParseNumber(const QString& text) {
    bool ok = false;
    const std::uint64_t value = text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)
                                    ? text.mid(2).toULongLong(&ok, 16)
                                    : text.toULongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

QString helpText(Command command) {
    return CommandHelp(command);
}

Options parseOptions(const QStringList& arguments) {
    Options o;
    bool help = false;
    bool version = false;
    bool portsGiven = false;
    bool baudGiven = false;
    QString settings;
    QStringList positional;
    QStringList usedOptions;

    const auto fail = [&o](const QString& message) {
        o.result = Options::Outcome::Error;
        o.text = QStringLiteral("korvanectl: %1\n\n%2").arg(message, CommandHelp(o.cmd));
        return o;
    };

    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        std::optional<QString> inlineValue;
        if (arg.startsWith(QStringLiteral("--")) && arg.contains(u'=')) {
            inlineValue = arg.section(u'=', 1);
            arg = arg.section(u'=', 0, 0);
        }
        const auto value = [&](QString& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= arguments.size())
                return false;
            out = arguments[++i];
            return true;
        };
        const auto flag = [&](bool& out) {
            out = true;
            return !inlineValue.has_value();
        };
        QString v;
        bool ok = true;
        if (arg == QStringLiteral("-h") || arg == QStringLiteral("--help")) {
            help = true;
        } else if (arg == QStringLiteral("--version")) {
            version = true;
        } else if (arg == QStringLiteral("--port")) {
            ok = value(v);
            if (ok && v.trimmed().isEmpty())
                return fail(QStringLiteral("--port needs a port name"));
            o.ports.append(v.trimmed());
            portsGiven = true;
        } else if (arg == QStringLiteral("--baud")) {
            ok = value(v);
            const auto n = ParseNumber(v);
            if (ok && (!n || *n == 0 || *n > 4000000))
                return fail(QStringLiteral("--baud needs a positive bit rate, not '%1'").arg(v));
            o.line.baudRate = n ? std::uint32_t(*n) : 0;
            baudGiven = true;
        } else if (arg == QStringLiteral("--settings")) {
            ok = value(settings);
        } else if (arg == QStringLiteral("--remote")) {
            ok = flag(o.remote);
        } else if (arg == QStringLiteral("--json")) {
            ok = flag(o.json);
        } else if (arg == QStringLiteral("--verbose")) {
            ok = flag(o.verbose);
        } else if (arg == QStringLiteral("--all")) {
            ok = flag(o.allPorts);
        } else if (arg == QStringLiteral("--no-schedule")) {
            ok = flag(o.noSchedule);
        } else if (arg == QStringLiteral("-o") || arg == QStringLiteral("--output")) {
            ok = value(o.output);
        } else if (arg == QStringLiteral("--channels")) {
            ok = value(o.channels);
        } else if (arg == QStringLiteral("--serial") || arg == QStringLiteral("--address")) {
            ok = value(v);
            const auto n = ParseNumber(v);
            const bool serial = arg == QStringLiteral("--serial");
            const std::uint64_t max = serial ? 0xFFFFFFFFu : 0xFFFFFFu;
            if (ok && (!n || *n == 0 || *n > max))
                return fail(QStringLiteral("%1 needs a number from 1 to %2, not '%3'")
                                .arg(arg)
                                .arg(max)
                                .arg(v));
            (serial ? o.serial : o.address) = n ? std::uint32_t(*n) : 0;
        } else if (arg.startsWith(u'-') && arg.size() > 1) {
            return fail(QStringLiteral("unknown option %1").arg(arg));
        } else {
            positional.append(arg);
            continue;
        }
        if (!ok)
            return fail(inlineValue ? QStringLiteral("%1 takes no value").arg(arg)
                                    : QStringLiteral("%1 needs a value").arg(arg));
        usedOptions.append(arg);
    }

    if (!positional.isEmpty()) {
        for (const CommandName& c : Commands) {
            if (positional.first() == QLatin1String(c.name))
                o.cmd = c.cmd;
        }
        if (o.cmd == Command::None)
            return fail(QStringLiteral("unknown command '%1'").arg(positional.first()));
        positional.removeFirst();
    }
    if (version) {
        o.result = Options::Outcome::Help;
        o.text = QStringLiteral("korvanectl " KORVANE_VERSION "\n");
        return o;
    }
    if (help) {
        o.result = Options::Outcome::Help;
        o.text = CommandHelp(o.cmd);
        return o;
    }
    if (o.cmd == Command::None)
        return fail(QStringLiteral("no command given"));

    // Options that belong to one command only.
    const struct {
        const char* option;
        std::initializer_list<Command> commands;
    } owners[] = {
        {"--all", {Command::Scan}},           {"-o", {Command::Read}},
        {"--output", {Command::Read}},        {"--channels", {Command::Write, Command::Schedule}},
        {"--no-schedule", {Command::Write}},  {"--serial", {Command::SetAddress}},
        {"--address", {Command::SetAddress}},
    };
    for (const auto& owner : owners) {
        if (usedOptions.contains(QLatin1String(owner.option)) &&
            std::find(owner.commands.begin(), owner.commands.end(), o.cmd) == owner.commands.end())
            return fail(QStringLiteral("%1 does not go with this command").arg(owner.option));
    }

    const bool takesFile = o.cmd == Command::Write || o.cmd == Command::Diff;
    if (takesFile) {
        if (positional.isEmpty())
            return fail(QStringLiteral("a configuration file is needed"));
        o.file = positional.takeFirst();
    }
    if (!positional.isEmpty())
        return fail(QStringLiteral("unexpected argument '%1'").arg(positional.first()));

    if (!settings.isEmpty()) {
        const QFileInfo info(settings);
        if (!info.isFile() || !info.isReadable())
            return fail(QStringLiteral("cannot read the settings file %1").arg(settings));
        const SessionSettings session = SessionSettings::readFile(settings);
        const PortSettings& stored = session.port;
        if (!portsGiven && session.portNamed)
            o.ports.append(stored.commName);
        if (!baudGiven && static_cast<std::int32_t>(stored.baudRate) <= 0)
            return fail(QStringLiteral("the settings file's BaudRate %1 is not a bit rate")
                            .arg(static_cast<std::int32_t>(stored.baudRate)));
        const std::uint32_t baudRate = baudGiven ? o.line.baudRate : stored.baudRate;
        o.line = stored;
        o.line.baudRate = baudRate;
        if (o.channels.isEmpty() && (o.cmd == Command::Write || o.cmd == Command::Schedule))
            o.channels = session.channelFile;
    }

    if (o.ports.isEmpty() && o.cmd != Command::Scan)
        return fail(QStringLiteral("no port given (--port)"));
    if (o.ports.removeDuplicates() > 0)
        return fail(QStringLiteral("a port is given twice"));
    if (o.cmd == Command::SetAddress && (o.serial == 0 || o.address == 0))
        return fail(QStringLiteral("set-address needs --serial and --address"));
    if (o.cmd == Command::Schedule && o.channels.isEmpty())
        return fail(QStringLiteral("schedule needs --channels"));
    if (o.cmd == Command::Read && o.output.isEmpty() &&
        (usedOptions.contains(QStringLiteral("-o")) ||
         usedOptions.contains(QStringLiteral("--output"))))
        return fail(QStringLiteral("-o needs a path"));
    o.result = Options::Outcome::Run;
    return o;
}

} // namespace korvane::cli
