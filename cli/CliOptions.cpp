// SPDX-License-Identifier: MIT
#include "cli/CliOptions.h"

#include "KorvaneVersion.h"

#include "cli/Command.h"
#include "cli/PortListFile.h"
#include "link/NetworkPortName.h"

#include <QFileInfo>

#include <algorithm>

#include <optional>

namespace korvane::cli {

namespace {

const char* const ProgramHelpHead =
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
    "Commands:\n";

const char* const ProgramHelpTail =
    "\n"
    "Results go to standard output, messages (in Chinese, as the device procedures\n"
    "word theirs) to standard error, one line each, prefixed by the port.\n"
    "\n"
    "Exit status, the highest of all ports: 0 done (diff: no difference); 1 the device\n"
    "differs from what was asked (a difference, a read-back that differs, a refusal);\n"
    "2 bad usage or an unusable file, nothing sent; 3 a port that cannot be opened, or a\n"
    "device that does not answer or answers garbage; 130 interrupted.\n";

} // namespace

std::optional<std::uint64_t> parseNumber(const QString& text) {
    bool ok = false;
    const std::uint64_t value = text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)
                                    ? text.mid(2).toULongLong(&ok, 16)
                                    : text.toULongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

QString helpText(const CommandDef* command) {
    if (command != nullptr)
        return command->help();
    QString text = QString::fromUtf8(ProgramHelpHead);
    for (const CommandDef* c : commands())
        text += QString::fromUtf8(c->synopsis);
    return text + QString::fromUtf8(ProgramHelpTail);
}

namespace {

// The options of every command, each once, in the order of the table, with the commands
// that take it.
struct OwnedOption {
    const CommandOption* option;
    std::vector<const CommandDef*> owners;
};

std::vector<OwnedOption> commandOptions() {
    std::vector<OwnedOption> all;
    for (const CommandDef* command : commands()) {
        for (const CommandOption& option : command->options) {
            const auto known = std::find_if(all.begin(), all.end(), [&](const OwnedOption& o) {
                return qstrcmp(o.option->name, option.name) == 0;
            });
            if (known == all.end())
                all.push_back({&option, {command}});
            else
                known->owners.push_back(command);
        }
    }
    return all;
}

bool named(const CommandOption& option, const QString& arg) {
    return arg == QLatin1String(option.name) ||
           (option.alias != nullptr && arg == QLatin1String(option.alias));
}

} // namespace

Options parseOptions(const QStringList& arguments) {
    Options o;
    bool help = false;
    bool version = false;
    bool portsGiven = false;
    bool baudGiven = false;
    QString settings;
    QStringList positional;
    QStringList usedOptions;
    const std::vector<OwnedOption> ownedOptions = commandOptions();

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
        } else if (!arg.startsWith(QStringLiteral("--"))) {
            // A short option's value may follow it at once: -oPATH.
            for (const OwnedOption& owned : ownedOptions) {
                const QLatin1String name(owned.option->name);
                if (owned.option->takesValue && name.size() == 2 && arg.startsWith(name) &&
                    arg.size() > 2) {
                    inlineValue = arg.mid(2);
                    arg = name;
                    break;
                }
            }
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
        } else if (const auto owned = std::find_if(
                       ownedOptions.begin(), ownedOptions.end(),
                       [&](const OwnedOption& known) { return named(*known.option, arg); });
                   owned != ownedOptions.end()) {
            const CommandOption& option = *owned->option;
            if (option.takesValue) {
                ok = value(v);
                if (ok && option.problem != nullptr)
                    if (const QString problem = option.problem(arg, v); !problem.isEmpty())
                        return fail(problem);
            } else {
                v.clear();
                ok = !inlineValue.has_value();
            }
            o.args.values.insert(QLatin1String(option.name), v);
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
        o.command = findCommand(positional.first());
        if (o.command == nullptr)
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
        o.text = helpText(o.command);
        return o;
    }
    if (o.command == nullptr)
        return fail(QStringLiteral("没有给出命令"));

    // Options that belong to other commands.
    for (const OwnedOption& owned : ownedOptions) {
        if (std::find(owned.owners.begin(), owned.owners.end(), o.command) != owned.owners.end())
            continue;
        for (const char* name : {owned.option->name, owned.option->alias})
            if (name != nullptr && usedOptions.contains(QLatin1String(name)))
                return fail(QStringLiteral("%1 不能用于这个命令").arg(QLatin1String(name)));
    }

    if (o.command->takesFile) {
        if (positional.isEmpty())
            return fail(QStringLiteral("需要配置文件"));
        o.args.file = positional.takeFirst();
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
        o.settingsChannelFile = session.channelFile;
    }

    if (o.command->ports == PortUse::None && !o.ports.isEmpty())
        return fail(QStringLiteral("%1 不用端口").arg(QLatin1String(o.command->name)));
    if (o.ports.isEmpty() && o.command->ports == PortUse::Needed)
        return fail(QStringLiteral("没有给出端口（--port）"));
    if (o.ports.removeDuplicates() > 0)
        return fail(QStringLiteral("同一端口给了两次"));
    for (const QString& port : std::as_const(o.ports))
        if (const QString problem = portNameProblem(port); !problem.isEmpty())
            return fail(problem);
    if (o.command->checkOptions != nullptr)
        if (const QString problem = o.command->checkOptions(o); !problem.isEmpty())
            return fail(problem);
    o.result = Options::Outcome::Run;
    return o;
}

} // namespace korvane::cli
