// SPDX-License-Identifier: MIT
#include "cli/Korvanectl.h"

#include "cli/CliOptions.h"
#include "cli/ConfigurationReport.h"
#include "cli/Console.h"
#include "cli/InputCheck.h"
#include "cli/Interrupt.h"
#include "cli/JsonWriter.h"
#include "cli/PortJob.h"
#include "cli/PortsCommand.h"
#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "files/ConfigurationFile.h"
#include "files/ScheduleFile.h"
#include "link/PortListing.h"
#include "session/DeviceSession.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSet>

#include <algorithm>
#include <memory>

namespace korvane::cli {

namespace {

// The version of the JSON documents, as korvanectl.schema.json describes them.
constexpr int JsonVersion = 1;

int worst(const std::vector<PortResult>& results) {
    int status = StatusOk;
    for (const PortResult& r : results)
        status = std::max(status, r.status);
    return status;
}

QJsonValue textOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue::Null : QJsonValue(text);
}

QJsonValue commandWord(Command command) {
    switch (command) {
    case Command::Identify:
        return QStringLiteral("identify");
    case Command::Scan:
        return QStringLiteral("scan");
    case Command::Read:
        return QStringLiteral("read");
    case Command::Write:
        return QStringLiteral("write");
    case Command::Diff:
        return QStringLiteral("diff");
    case Command::SetAddress:
        return QStringLiteral("set-address");
    case Command::Schedule:
        return QStringLiteral("schedule");
    case Command::Show:
        return QStringLiteral("show");
    case Command::Ports:
        return QStringLiteral("ports");
    case Command::None:
        break;
    }
    return QJsonValue::Null;
}

// The one JSON document of a run.
void printDocument(Console& console, Command command, int status, const QJsonArray& ports,
                   const QString& error = {}, const QJsonValue& input = QJsonValue::Null) {
    const QJsonObject document{
        {QStringLiteral("version"), JsonVersion},
        {QStringLiteral("command"), commandWord(command)},
        {QStringLiteral("ok"), status == StatusOk},
        {QStringLiteral("error"), textOrNull(error)},
        {QStringLiteral("status"), status},
        {QStringLiteral("input"), input},
        {QStringLiteral("ports"), ports},
    };
    console.out(QString::fromUtf8(jsonText(document)));
}

QJsonObject inputJson(const InputProblem& problem) {
    return {
        {QStringLiteral("file"), problem.file},
        {QStringLiteral("line"), problem.line > 0 ? QJsonValue(problem.line) : QJsonValue::Null},
        {QStringLiteral("problem"), problem.what}};
}

// What every port's result starts with.
QJsonObject portBase(const PortResult& r) {
    QJsonObject o{
        {QStringLiteral("port"), r.port},
        {QStringLiteral("ok"), r.status == StatusOk},
        {QStringLiteral("error"), r.status == StatusOk ? QJsonValue::Null : QJsonValue(r.error)},
        {QStringLiteral("reason"), textOrNull(r.reason)},
        {QStringLiteral("hint"), textOrNull(r.hint)},
        {QStringLiteral("status"), r.status}};
    if (r.configuration)
        o.insert(QStringLiteral("model"), r.configuration->deviceModel == text::ModelUnknown
                                              ? QJsonValue::Null
                                              : QJsonValue(r.configuration->deviceModel));
    return o;
}

QJsonArray differencesJson(const QList<Difference>& differences) {
    QJsonArray array;
    for (const Difference& d : differences)
        array.append(d.json());
    return array;
}

// write and diff take a backup folder as read -o DIR/ makes it.
bool inputIsFolder(const QString& path) {
    return path != QStringLiteral("-") && (path.endsWith(u'/') || QFileInfo(path).isDir()
#if defined(_WIN32)
                                           || path.endsWith(u'\\')
#endif
                                          );
}

QString shown(const QString& port) {
    return portShown(port);
}

void reportIdentify(const Options& o, const std::vector<PortResult>& results, Console& console,
                    QJsonArray& json) {
    const bool scan = o.cmd == Command::Scan;
    for (const PortResult& r : results) {
        QJsonObject obj = portBase(r);
        if (scan)
            obj.insert(QStringLiteral("serialRead"),
                       r.serialRead ? QJsonValue(qint64(*r.serialRead)) : QJsonValue::Null);
        json.append(obj);
        if (o.json || r.status != StatusOk)
            continue;
        QString line = shown(r.port) + u'\t' + r.configuration->deviceModel;
        if (scan)
            line += u'\t' + (r.serialRead ? QString::number(*r.serialRead) : QStringLiteral("-"));
        console.out(line + u'\n');
    }
}

// The file each device's configuration goes to: PATH itself for one port, else
// <serial>.krv in the folder PATH.
void saveReads(const Options& o, std::vector<PortResult>& results, Console& console) {
    QSet<QString> taken;
    for (PortResult& r : results) {
        if (!r.configurationRead)
            continue;
        QString path = o.output;
        if (path == QStringLiteral("-")) {
            try {
                console.outBytes(configurationFileBytes(*r.configuration));
                r.savedFile = path;
            } catch (const KorvaneError& e) {
                r.error = e.message();
                console.err(shown(r.port) + QStringLiteral(": ") + r.error);
                r.status = std::max(r.status, StatusUsage);
            }
            continue;
        }
        if (outputIsFolder(o)) {
            const QString name =
                QString::number(r.configuration->info.serialNumber) + QStringLiteral(".krv");
            path = QDir(o.output).filePath(name);
            if (taken.contains(name)) {
                r.error = QStringLiteral("另一台设备的序列号也是%1，未保存")
                              .arg(r.configuration->info.serialNumber);
                console.err(shown(r.port) + QStringLiteral(": ") + r.error);
                r.status = std::max(r.status, StatusUsage);
                continue;
            }
            taken.insert(name);
        }
        try {
            writeConfigurationFile(path, *r.configuration);
            r.savedFile = path;
        } catch (const KorvaneError& e) {
            r.error = e.message();
            console.err(shown(r.port) + QStringLiteral(": ") + r.error);
            r.status = std::max(r.status, StatusUsage);
        }
    }
}

void reportRead(const Options& o, std::vector<PortResult>& results, Console& console,
                QJsonArray& json) {
    if (!o.output.isEmpty())
        saveReads(o, results, console);
    for (const PortResult& r : results) {
        QJsonObject obj = portBase(r);
        obj.insert(QStringLiteral("configuration"),
                   r.read == ReadPart::Nothing
                       ? QJsonValue::Null
                       : QJsonValue(configurationJson(*r.configuration, {r.read, true})));
        obj.insert(QStringLiteral("file"), textOrNull(r.savedFile));
        json.append(obj);
    }
    if (o.json || !o.output.isEmpty())
        return;
    for (const PortResult& r : results) {
        if (!r.configurationRead)
            continue;
        const bool several = results.size() > 1;
        if (several)
            console.out(QStringLiteral("== %1 ==\n").arg(shown(r.port)));
        console.out(configurationText(*r.configuration) +
                    (several ? QStringLiteral("\n") : QString()));
    }
}

void reportDiff(const Options& o, const std::vector<PortResult>& results, Console& console,
                QJsonArray& json) {
    for (const PortResult& r : results) {
        QJsonObject obj = portBase(r);
        obj.insert(QStringLiteral("input"), textOrNull(r.input));
        // Null unless a comparison completed: an empty list says the device matches.
        obj.insert(QStringLiteral("differences"),
                   r.compared ? QJsonValue(differencesJson(r.differences)) : QJsonValue::Null);
        if (o.cmd == Command::Write)
            obj.insert(QStringLiteral("dryRun"), true);
        json.append(obj);
        if (!o.json) {
            for (const Difference& d : r.differences)
                console.out(shown(r.port) + QStringLiteral(": ") + d.text(QStringLiteral("file")) +
                            u'\n');
        }
    }
}

void reportWrite(const Options& o, const std::vector<PortResult>& results, QJsonArray& json) {
    for (const PortResult& r : results) {
        QJsonObject obj = portBase(r);
        obj.insert(QStringLiteral("written"), QJsonArray::fromStringList(r.written));
        obj.insert(QStringLiteral("notWritten"), QJsonArray::fromStringList(r.notWritten));
        if (o.cmd == Command::Write) {
            obj.insert(QStringLiteral("input"), textOrNull(r.input));
            obj.insert(QStringLiteral("dryRun"), false);
            obj.insert(QStringLiteral("differences"),
                       r.compared ? QJsonValue(differencesJson(r.differences)) : QJsonValue::Null);
        }
        json.append(obj);
    }
}

void reportSetAddress(const Options& o, const std::vector<PortResult>& results, QJsonArray& json) {
    const auto number = [](const std::optional<std::uint32_t>& n) {
        return n ? QJsonValue(qint64(*n)) : QJsonValue::Null;
    };
    for (const PortResult& r : results) {
        QJsonObject obj = portBase(r);
        obj.insert(QStringLiteral("serial"), qint64(o.serial));
        obj.insert(QStringLiteral("address"), qint64(o.address));
        obj.insert(QStringLiteral("serialRead"), number(r.serialRead));
        obj.insert(QStringLiteral("addressRead"), number(r.addressRead));
        json.append(obj);
    }
}

// A configuration file as read prints a device: no model (null in the JSON), no carrier
// level.
int show(const Options& o, const ConfigurationFile& file, Console& console) {
    DeviceConfiguration config;
    file.applyTo(config);
    if (o.json) {
        const QJsonObject document{
            {QStringLiteral("version"), JsonVersion},
            {QStringLiteral("command"), commandWord(o.cmd)},
            {QStringLiteral("ok"), true},
            {QStringLiteral("error"), QJsonValue::Null},
            {QStringLiteral("status"), StatusOk},
            {QStringLiteral("input"), QJsonValue::Null},
            {QStringLiteral("ports"), QJsonArray()},
            {QStringLiteral("file"), o.file},
            {QStringLiteral("model"), QJsonValue::Null},
            {QStringLiteral("configuration"), configurationJson(config, {ReadPart::Delay, false})},
        };
        console.out(QString::fromUtf8(jsonText(document)));
    } else {
        console.out(configurationText(config));
    }
    return StatusOk;
}

} // namespace

int runKorvanectl(const QStringList& arguments, Console& console) {
    Options o = parseOptions(arguments);
    if (o.result == Options::Outcome::Help) {
        console.out(o.text);
        return StatusOk;
    }
    if (o.result == Options::Outcome::Error) {
        console.err(QStringLiteral("korvanectl: ") + o.text);
        console.err(
            QStringLiteral("用法见 'korvanectl %1--help'。")
                .arg(o.cmd == Command::None ? QString() : commandWord(o.cmd).toString() + u' '));
        // --json may stand after the mistake that ended the parse.
        if (o.json || arguments.contains(QStringLiteral("--json")))
            printDocument(console, o.cmd, StatusUsage, {}, o.text);
        return StatusUsage;
    }

    // Qt's own handler writes the traces to standard error, one line each.
    if (o.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("korvane.*.debug=true"));

    // Everything that can be found wrong without a device is, before anything is sent.
    std::optional<ConfigurationFile> file;
    std::shared_ptr<const std::vector<InputFile>> folder;
    const auto refuseInput = [&](const auto& problem) {
        console.err(problem.text());
        if (o.json)
            printDocument(console, o.cmd, StatusUsage, {}, problem.text(), inputJson(problem));
        return StatusUsage;
    };
    if ((o.cmd == Command::Write || o.cmd == Command::Diff) && inputIsFolder(o.file)) {
        CheckedFolder checked = readCheckedFolder(o.file);
        if (checked.problem)
            return refuseInput(*checked.problem);
        folder = std::make_shared<const std::vector<InputFile>>(std::move(checked.files));
    } else if (o.cmd == Command::Write || o.cmd == Command::Diff || o.cmd == Command::Show) {
        CheckedConfiguration checked =
            o.file == QStringLiteral("-")
                ? checkedConfiguration(QStringLiteral("-"), console.readIn())
                : readCheckedConfiguration(o.file);
        if (checked.problem)
            return refuseInput(*checked.problem);
        file = std::move(checked.file);
    }
    if (o.cmd == Command::Show)
        return show(o, *file, console);
    if (o.cmd == Command::Ports) {
        const QList<DetectedPort> ports = detectedPorts();
        if (ports.isEmpty())
            console.err(QStringLiteral("korvanectl: 没有检测到串口，也没有运行中的模拟器"));
        if (o.json)
            printDocument(console, o.cmd, StatusOk, portsJson(ports));
        else
            console.out(portsText(ports));
        return StatusOk;
    }
    const bool sendsSchedule =
        (o.cmd == Command::Write && !o.noSchedule && !o.dryRun) || o.cmd == Command::Schedule;
    if (sendsSchedule) {
        if (const std::optional<InputProblem> problem = checkScheduleInput(o.channels)) {
            console.err(problem->text());
            if (o.json)
                printDocument(console, o.cmd, StatusUsage, {}, problem->text(),
                              inputJson(*problem));
            return StatusUsage;
        }
    }
    if (o.cmd == Command::Read && !o.output.isEmpty() && o.output != QStringLiteral("-") &&
        outputIsFolder(o) && !QDir().mkpath(o.output)) {
        const InputProblem problem{o.output, 0, QStringLiteral("无法建立这个文件夹")};
        console.err(problem.text());
        if (o.json)
            printDocument(console, o.cmd, StatusUsage, {}, problem.text(), inputJson(problem));
        return StatusUsage;
    }
    if (o.cmd == Command::Scan && o.ports.isEmpty())
        o.ports = candidatePorts(o.allPorts);

    std::vector<PortJob> jobs;
    for (const QString& port : o.ports) {
        PortJob job;
        job.cmd = o.cmd;
        job.port = port;
        job.line = o.line;
        job.line.commName = port;
        job.remote = o.remote;
        job.quiet = o.cmd == Command::Scan;
        job.successLines = !o.quiet && console.outIsTerminal();
        job.file = file;
        job.filePath = o.file;
        job.folder = folder;
        job.folderPath = o.file;
        job.channels = o.channels;
        job.noSchedule = o.noSchedule;
        job.addressFromDevice = o.addressFromDevice;
        job.timeoutMs = o.timeoutMs;
        job.dryRun = o.dryRun;
        job.settingsOnly = o.settingsOnly;
        job.serial = o.serial;
        job.address = o.address;
        jobs.push_back(std::move(job));
    }
    std::vector<PortResult> results = runPortJobs(jobs, console);

    QJsonArray json;
    switch (o.cmd) {
    case Command::Identify:
    case Command::Scan:
        reportIdentify(o, results, console, json);
        break;
    case Command::Read:
        reportRead(o, results, console, json);
        break;
    case Command::Diff:
        reportDiff(o, results, console, json);
        break;
    case Command::Write:
        if (o.dryRun)
            reportDiff(o, results, console, json);
        else
            reportWrite(o, results, json);
        break;
    case Command::Schedule:
        reportWrite(o, results, json);
        break;
    case Command::SetAddress:
        reportSetAddress(o, results, json);
        break;
    case Command::Show: // shown before any port
    case Command::Ports:
    case Command::None:
        break;
    }
    int status = worst(results);
    // A scan succeeds when any port has a Korvane on it.
    if (o.cmd == Command::Scan)
        status = std::any_of(results.begin(), results.end(),
                             [](const PortResult& r) { return r.status == StatusOk; })
                     ? StatusOk
                     : std::max(StatusUnreachable, interruptRequested() ? StatusInterrupted : 0);
    if (o.cmd == Command::Scan && status == StatusUnreachable)
        console.err(
            results.empty()
                ? QStringLiteral("korvanectl: 没有可试的端口（检测到的端口见 korvanectl ports）")
                : QStringLiteral("korvanectl: %1个端口上都没有找到 Korvane").arg(results.size()));
    if (o.json)
        printDocument(console, o.cmd, status, json);
    return status;
}

} // namespace korvane::cli
