// SPDX-License-Identifier: MIT
#include "cli/CliOptions.h"

#include "KorvaneVersion.h"

#include "cli/PortListFile.h"
#include "link/NetworkPortName.h"

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
    {"schedule", Command::Schedule}, {"show", Command::Show}, {"ports", Command::Ports},
};

#if defined(_WIN32)
#define ScanDefaultPorts                                                                           \
    "every COM port Windows knows (--all changes\n"                                                \
    "nothing here), all\n"
#else
#define ScanDefaultPorts                                                                           \
    "every port 'korvanectl ports' lists\n"                                                        \
    "but the on-board /dev/ttyS* (--all takes those too), all\n"
#endif

const char* const ProgramHelp =
    "Usage: korvanectl [OPTION]... COMMAND [ARGS]\n"
    "\n"
    "Runs the Korvane device procedures from the command line, on every port given at\n"
    "once, each port on its own thread.\n"
    "\n"
    "Options:\n"
    "  --port P         a port: COM3, ttyUSB0, /dev/ttyUSB0, a pty path, or a network\n"
    "                   serial server's rfc2217://HOST:PORT or socket://HOST:PORT;\n"
    "                   repeat it for several devices\n"
    "  --ports-from F   the ports named in file F, one a line (# starts a comment)\n"
    "  --baud N         bit rate (default 9600), 8 data bits, no parity, 1 stop bit\n"
    "  --settings FILE  every line setting (and CommName, ChannelFile) from a KORVANE.INI\n"
    "  --remote         the device is remotely controlled: pause between writes\n"
    "  --timeout MS     how long to wait for each answer (default 5010)\n"
    "  --json           results as JSON on standard output\n"
    "  --verbose        trace ports, frames, procedure steps and files on standard error\n"
    "  -q, --quiet      no success lines (they are left out, too, when standard output\n"
    "                   is not a terminal: the exit status and --json tell it)\n"
    "  -h, --help       this help; after a command, that command's help\n"
    "  --               ends the options: what follows is the command and its arguments\n"
    "  --version        the version of korvanectl\n"
    "\n"
    "Commands:\n"
    "  identify                     the model of each device\n"
    "  scan [--all]                 which ports have a Korvane on them\n"
    "  read [-o PATH]               read everything; print it or save it (- standard output)\n"
    "  write FILE [--channels CHN] [--no-schedule] [--address-from-device] [--dry-run]\n"
    "                               write a configuration file, then read it back\n"
    "  diff FILE [--settings-only]  print how each device differs from FILE (- standard input)\n"
    "                               (write, diff: FILE may be a folder of <serial>.krv)\n"
    "  set-address --serial N --address M\n"
    "                               give the device with serial N the address M\n"
    "  schedule --channels CHN      send the timing schedule alone\n"
    "  show FILE                    print a configuration file as read prints a device\n"
    "  ports                        the serial ports detected, and running simulators\n"
    "\n"
    "Results go to standard output, messages (in Chinese, as the device procedures\n"
    "word theirs) to standard error, one line each, prefixed by the port.\n"
    "\n"
    "Exit status, the highest of all ports: 0 done (diff: no difference); 1 the device\n"
    "differs from what was asked (a difference, a read-back that differs, a refusal);\n"
    "2 bad usage or an unusable file, nothing sent; 3 a port that cannot be opened, or a\n"
    "device that does not answer or answers garbage; 130 interrupted.\n";

QString commandHelp(Command command) {
    switch (command) {
    case Command::Identify:
        return QStringLiteral(
            "Usage: korvanectl --port P... identify\n"
            "Probes each device and prints one line per port: the port and the model.\n");
    case Command::Scan:
        return QStringLiteral(
            "Usage: korvanectl [--port P]... scan [--all]\n"
            "Sends the identification probe and a serial number read (never a write) to every\n"
            "port given, or without --port to " ScanDefaultPorts
            "at once. Prints the port, the model and the serial number of each port that\n"
            "answered; busy or silent ports are skipped quietly. Exit status 0 when one\n"
            "answered, else 3.\n");
    case Command::Read:
        return QStringLiteral(
            "Usage: korvanectl --port P... read [-o PATH]\n"
            "Reads address, serial number, port table, GPS, trunk and delay. With -o saves\n"
            "them as a configuration file: PATH is a folder holding <serial>.krv per device\n"
            "when it ends in / or is a folder already, or with several ports; else the file\n"
            "(- standard output). Without -o prints them (--json: JSON).\n");
    case Command::Write:
        return QStringLiteral(
            "Usage: korvanectl --port P... write FILE [--channels CHN] [--no-schedule]\n"
            "                  [--address-from-device] [--dry-run]\n"
            "Reads each device, then writes everything the configuration file FILE holds,\n"
            "the timing schedule included (the .sch beside CHN, else SchedulingFile.dat in\n"
            "the current folder), and reads the device back. Succeeds only when the\n"
            "read-back matches what was sent; the success line comes after that.\n"
            "A device takes only frames to its own address: when FILE's address is not the\n"
            "device's, nothing is sent (exit status 2), unless --address-from-device sends\n"
            "them to the address the device has (FILE's address is then left out).\n"
            "FILE (24 port rows, every value one the device holds) and the schedule file\n"
            "are checked before anything is sent; a problem is named by file and line\n"
            "(exit status 2). --dry-run checks, reads each device and prints what would\n"
            "change, as diff does, and sends nothing.\n"
            "FILE may be a backup folder as read -o DIR/ makes it: every .krv in it is\n"
            "checked first (two of one serial number: exit status 2), and each device gets\n"
            "the file of its serial number; a device without one gets nothing (status 2).\n");
    case Command::Diff:
        return QStringLiteral(
            "Usage: korvanectl --port P... diff FILE [--settings-only]\n"
            "Reads each device and prints every difference from the configuration file FILE,\n"
            "one per line. Exit status 1 when any device differs. FILE is checked first, as\n"
            "write checks it (exit status 2). --settings-only leaves out serial number and\n"
            "address: a template written to many devices. FILE may be a backup folder, as\n"
            "for write: each device is compared with the file of its serial number.\n");
    case Command::SetAddress:
        return QStringLiteral(
            "Usage: korvanectl --port P... set-address --serial N --address M\n"
            "Gives the device with serial number N the address M (1 to 16777215), then reads\n"
            "address and serial number back: it succeeds only when the device answers with\n"
            "both (exit status 1 when a device holds other ones, e.g. another serial number).\n"
            "Numbers are decimal, or hexadecimal after 0x.\n");
    case Command::Schedule:
        return QStringLiteral(
            "Usage: korvanectl --port P... schedule --channels CHN\n"
            "Reads the device's port table, then sends the timing schedule beside CHN alone.\n");
    case Command::Show:
        return QStringLiteral(
            "Usage: korvanectl show FILE [--json]\n"
            "Checks the configuration file FILE (- standard input) as write does and prints\n"
            "it as read prints a device, without a port. For git: in .gitattributes\n"
            "'*.krv diff=krv', then 'git config diff.krv.textconv \"korvanectl show\"'.\n");
    case Command::Ports:
        return QStringLiteral(
            "Usage: korvanectl ports [--json]\n"
            "Lists the serial ports the system detects and the links of running simulators,\n"
            "one line each: the port (as --port takes it), its description, the stable\n"
            "/dev/serial/by-id path and the USB vendor:product ids (- where there is none).\n"
            "Sends nothing.\n");
    case Command::None:
        break;
    }
    return QString::fromUtf8(ProgramHelp);
}

std::optional<std::uint64_t> parseNumber(const QString& text) {
    bool ok = false;
    const std::uint64_t value = text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)
                                    ? text.mid(2).toULongLong(&ok, 16)
                                    : text.toULongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

bool outputIsFolder(const Options& o) {
    return o.ports.size() > 1 || o.output.endsWith(u'/') || QFileInfo(o.output).isDir()
#if defined(_WIN32)
           || o.output.endsWith(u'\\')
#endif
        ;
}

QString helpText(Command command) {
    return commandHelp(command);
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
        o.text = message;
        return o;
    };

    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        if (optionsEnded) {
            positional.append(arg);
            continue;
        }
        if (arg == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        std::optional<QString> inlineValue;
        if (arg.startsWith(QStringLiteral("--")) && arg.contains(u'=')) {
            inlineValue = arg.section(u'=', 1);
            arg = arg.section(u'=', 0, 0);
        } else if (arg.startsWith(QStringLiteral("-o")) && arg.size() > 2) {
            inlineValue = arg.mid(2);
            arg = QStringLiteral("-o");
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
                return fail(QStringLiteral("--port 需要端口名"));
            o.ports.append(v.trimmed());
            portsGiven = true;
        } else if (arg == QStringLiteral("--ports-from")) {
            ok = value(v);
            if (ok) {
                QString problem;
                const auto names = readPortListFile(v, &problem);
                if (!names)
                    return fail(problem);
                o.ports.append(*names);
                portsGiven = true;
            }
        } else if (arg == QStringLiteral("--baud")) {
            ok = value(v);
            const auto n = parseNumber(v);
            if (ok && (!n || *n == 0 || *n > 4000000))
                return fail(QStringLiteral("--baud 需要正的波特率，而不是“%1”").arg(v));
            o.line.baudRate = n ? std::uint32_t(*n) : 0;
            baudGiven = true;
        } else if (arg == QStringLiteral("--timeout")) {
            ok = value(v);
            const auto n = parseNumber(v);
            if (ok && (!n || *n == 0 || *n > 600000))
                return fail(
                    QStringLiteral("--timeout 需要1至600000之间的毫秒数，而不是“%1”").arg(v));
            o.timeoutMs = n ? int(*n) : 0;
        } else if (arg == QStringLiteral("--settings")) {
            ok = value(settings);
        } else if (arg == QStringLiteral("--remote")) {
            ok = flag(o.remote);
        } else if (arg == QStringLiteral("--json")) {
            ok = flag(o.json);
        } else if (arg == QStringLiteral("--verbose")) {
            ok = flag(o.verbose);
        } else if (arg == QStringLiteral("--quiet") || arg == QStringLiteral("-q")) {
            ok = flag(o.quiet);
        } else if (arg == QStringLiteral("--all")) {
            ok = flag(o.allPorts);
        } else if (arg == QStringLiteral("--no-schedule")) {
            ok = flag(o.noSchedule);
        } else if (arg == QStringLiteral("--address-from-device")) {
            ok = flag(o.addressFromDevice);
        } else if (arg == QStringLiteral("--dry-run")) {
            ok = flag(o.dryRun);
        } else if (arg == QStringLiteral("--settings-only")) {
            ok = flag(o.settingsOnly);
        } else if (arg == QStringLiteral("-o") || arg == QStringLiteral("--output")) {
            ok = value(o.output);
        } else if (arg == QStringLiteral("--channels")) {
            ok = value(o.channels);
        } else if (arg == QStringLiteral("--serial") || arg == QStringLiteral("--address")) {
            ok = value(v);
            const auto n = parseNumber(v);
            const bool serial = arg == QStringLiteral("--serial");
            const std::uint64_t max = serial ? 0xFFFFFFFFu : 0xFFFFFFu;
            if (ok && (!n || *n == 0 || *n > max))
                return fail(
                    QStringLiteral("%1 需要1至%2之间的数，而不是“%3”").arg(arg).arg(max).arg(v));
            (serial ? o.serial : o.address) = n ? std::uint32_t(*n) : 0;
        } else if (arg.startsWith(u'-') && arg.size() > 1) {
            return fail(QStringLiteral("没有 %1 这个选项").arg(arg));
        } else {
            positional.append(arg);
            continue;
        }
        if (!ok)
            return fail(inlineValue ? QStringLiteral("%1 不带值").arg(arg)
                                    : QStringLiteral("%1 需要一个值").arg(arg));
        usedOptions.append(arg);
    }

    if (!positional.isEmpty()) {
        for (const CommandName& c : Commands) {
            if (positional.first() == QLatin1String(c.name))
                o.cmd = c.cmd;
        }
        if (o.cmd == Command::None)
            return fail(QStringLiteral("没有“%1”这个命令").arg(positional.first()));
        positional.removeFirst();
    }
    if (version) {
        o.result = Options::Outcome::Help;
        o.text = QStringLiteral("korvanectl " KORVANE_VERSION "\n" KORVANE_COPYRIGHT);
        return o;
    }
    if (help) {
        o.result = Options::Outcome::Help;
        o.text = commandHelp(o.cmd);
        return o;
    }
    if (o.cmd == Command::None)
        return fail(QStringLiteral("没有给出命令"));

    // Options that belong to one command only.
    const struct {
        const char* option;
        std::initializer_list<Command> commands;
    } owners[] = {
        {"--all", {Command::Scan}},          {"-o", {Command::Read}},
        {"--output", {Command::Read}},       {"--channels", {Command::Write, Command::Schedule}},
        {"--no-schedule", {Command::Write}}, {"--address-from-device", {Command::Write}},
        {"--dry-run", {Command::Write}},     {"--settings-only", {Command::Diff}},
        {"--serial", {Command::SetAddress}}, {"--address", {Command::SetAddress}},
    };
    for (const auto& owner : owners) {
        if (usedOptions.contains(QLatin1String(owner.option)) &&
            std::find(owner.commands.begin(), owner.commands.end(), o.cmd) == owner.commands.end())
            return fail(QStringLiteral("%1 不能用于这个命令").arg(owner.option));
    }

    const bool takesFile =
        o.cmd == Command::Write || o.cmd == Command::Diff || o.cmd == Command::Show;
    if (takesFile) {
        if (positional.isEmpty())
            return fail(QStringLiteral("需要配置文件"));
        o.file = positional.takeFirst();
    }
    if (!positional.isEmpty())
        return fail(QStringLiteral("多余的参数“%1”").arg(positional.first()));

    if (!settings.isEmpty()) {
        const QFileInfo info(settings);
        if (!info.isFile() || !info.isReadable())
            return fail(QStringLiteral("无法读取设置文件 %1").arg(settings));
        // A value the window would go on without is refused here.
        const SessionSettings session = SessionSettings::readFile(settings);
        if (!portsGiven && !session.portNamed)
            return fail(QStringLiteral("%1：[Setting] 中没有 CommName（或用 --port 给出端口）")
                            .arg(settings));
        if (!session.problems.isEmpty())
            return fail(QStringLiteral("%1：%2").arg(settings, session.problems.first()));
        const PortSettings& stored = session.port;
        if (!portsGiven)
            o.ports.append(stored.commName);
        const std::uint32_t baudRate = baudGiven ? o.line.baudRate : stored.baudRate;
        o.line = stored;
        o.line.baudRate = baudRate;
        if (o.channels.isEmpty() && (o.cmd == Command::Write || o.cmd == Command::Schedule))
            o.channels = session.channelFile;
    }

    if (o.cmd == Command::Show && !o.ports.isEmpty())
        return fail(QStringLiteral("show 不用端口"));
    if (o.cmd == Command::Ports && !o.ports.isEmpty())
        return fail(QStringLiteral("ports 不用端口"));
    if (o.ports.isEmpty() && o.cmd != Command::Scan && o.cmd != Command::Show &&
        o.cmd != Command::Ports)
        return fail(QStringLiteral("没有给出端口（--port）"));
    if (o.ports.removeDuplicates() > 0)
        return fail(QStringLiteral("同一端口给了两次"));
    for (const QString& port : std::as_const(o.ports))
        if (const QString problem = portNameProblem(port); !problem.isEmpty())
            return fail(problem);
    if (o.cmd == Command::SetAddress && (o.serial == 0 || o.address == 0))
        return fail(QStringLiteral("set-address 需要 --serial 和 --address"));
    if (o.cmd == Command::Schedule && o.channels.isEmpty())
        return fail(QStringLiteral("schedule 需要 --channels"));
    if (o.cmd == Command::Read && o.output == QStringLiteral("-") && o.ports.size() > 1)
        return fail(QStringLiteral("-o - 只能用于一个端口"));
    if (o.cmd == Command::Read && o.output.isEmpty() &&
        (usedOptions.contains(QStringLiteral("-o")) ||
         usedOptions.contains(QStringLiteral("--output"))))
        return fail(QStringLiteral("-o 需要路径"));
    o.result = Options::Outcome::Run;
    return o;
}

} // namespace korvane::cli
