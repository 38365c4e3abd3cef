#include "cli/Korvanectl.h"

#include "cli/CliOptions.h"
#include "cli/ConfigurationReport.h"
#include "cli/Console.h"
#include "cli/InputCheck.h"
#include "cli/Interrupt.h"
#include "cli/JsonWriter.h"
#include "cli/PortJob.h"
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

namespace korvane::cli {

namespace {

// The version of the JSON documents, as korvanectl.schema.json describes them.
constexpr int JsonVersion = 1;

int Worst(const std::vector<PortResult>& results) {
    int status = StatusOk;
    for (const PortResult& r : results)
        status = std::max(status, r.Status);
    return status;
}

QJsonValue TextOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue::Null : QJsonValue(text);
}

QJsonValue CommandWord(Command command) {
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
    case Command::None:
        break;
    }
    return QJsonValue::Null;
}

// The one JSON document of a run.
void PrintDocument(Console& console, Command command, int status, const QJsonArray& ports,
                   const QString& error = {}, const QJsonValue& input = QJsonValue::Null) {
    const QJsonObject document{
        {QStringLiteral("version"), JsonVersion},
        {QStringLiteral("command"), CommandWord(command)},
        {QStringLiteral("ok"), status == StatusOk},
        {QStringLiteral("error"), TextOrNull(error)},
        {QStringLiteral("status"), status},
        {QStringLiteral("input"), input},
        {QStringLiteral("ports"), ports},
    };
    console.out(QString::fromUtf8(jsonText(document)));
}

QJsonObject InputJson(const InputProblem& problem) {
    return {
        {QStringLiteral("file"), problem.File},
        {QStringLiteral("line"), problem.Line > 0 ? QJsonValue(problem.Line) : QJsonValue::Null},
        {QStringLiteral("problem"), problem.What}};
}

// What every port's result starts with.
QJsonObject PortBase(const PortResult& r) {
    QJsonObject o{
        {QStringLiteral("port"), r.Port},
        {QStringLiteral("ok"), r.Status == StatusOk},
        {QStringLiteral("error"), r.Status == StatusOk ? QJsonValue::Null : QJsonValue(r.Error)},
        {QStringLiteral("status"), r.Status}};
    if (r.Configuration)
        o.insert(QStringLiteral("model"), r.Configuration->DeviceModel == text::ModelUnknown
                                              ? QJsonValue::Null
                                              : QJsonValue(r.Configuration->DeviceModel));
    return o;
}

QJsonArray DifferencesJson(const QList<Difference>& differences) {
    QJsonArray array;
    for (const Difference& d : differences)
        array.append(d.json());
    return array;
}

QString Shown(const QString& port) {
    return portShown(port);
}

void ReportIdentify(const Options& o, const std::vector<PortResult>& results, Console& console,
                    QJsonArray& json) {
    for (const PortResult& r : results) {
        json.append(PortBase(r));
        if (!o.Json && r.Status == StatusOk)
            console.out(Shown(r.Port) + u'\t' + r.Configuration->DeviceModel + u'\n');
    }
}

// The file each device's configuration goes to: PATH itself for one port, else
// <serial>.krv in the folder PATH.
void SaveReads(const Options& o, std::vector<PortResult>& results, Console& console) {
    QSet<QString> taken;
    for (PortResult& r : results) {
        if (!r.ConfigurationRead)
            continue;
        QString path = o.Output;
        if (path == QStringLiteral("-")) {
            try {
                console.outBytes(configurationFileBytes(*r.Configuration));
                r.SavedFile = path;
            } catch (const KorvaneError& e) {
                r.Error = e.message();
                console.err(Shown(r.Port) + QStringLiteral(": ") + r.Error);
                r.Status = std::max(r.Status, StatusUsage);
            }
            continue;
        }
        if (outputIsFolder(o)) {
            const QString name =
                QString::number(r.Configuration->Info.SerialNumber) + QStringLiteral(".krv");
            path = QDir(o.Output).filePath(name);
            if (taken.contains(name)) {
                r.Error = QStringLiteral("另一台设备的序列号也是%1，未保存")
                              .arg(r.Configuration->Info.SerialNumber);
                console.err(Shown(r.Port) + QStringLiteral(": ") + r.Error);
                r.Status = std::max(r.Status, StatusUsage);
                continue;
            }
            taken.insert(name);
        }
        try {
            writeConfigurationFile(path, *r.Configuration);
            r.SavedFile = path;
        } catch (const KorvaneError& e) {
            r.Error = e.message();
            console.err(Shown(r.Port) + QStringLiteral(": ") + r.Error);
            r.Status = std::max(r.Status, StatusUsage);
        }
    }
}

void ReportRead(const Options& o, std::vector<PortResult>& results, Console& console,
                QJsonArray& json) {
    if (!o.Output.isEmpty())
        SaveReads(o, results, console);
    for (const PortResult& r : results) {
        QJsonObject obj = PortBase(r);
        obj.insert(QStringLiteral("configuration"),
                   r.Read == ReadPart::Nothing
                       ? QJsonValue::Null
                       : QJsonValue(configurationJson(*r.Configuration, {r.Read, true})));
        obj.insert(QStringLiteral("file"), TextOrNull(r.SavedFile));
        json.append(obj);
    }
    if (o.Json || !o.Output.isEmpty())
        return;
    for (const PortResult& r : results) {
        if (!r.ConfigurationRead)
            continue;
        const bool several = results.size() > 1;
        if (several)
            console.out(QStringLiteral("== %1 ==\n").arg(Shown(r.Port)));
        console.out(configurationText(*r.Configuration) +
                    (several ? QStringLiteral("\n") : QString()));
    }
}

void ReportDiff(const Options& o, std::vector<PortResult>& results, Console& console,
                QJsonArray& json) {
    for (PortResult& r : results) {
        if (r.Status == StatusDiffers && r.Error.isEmpty())
            r.Error = QStringLiteral("与文件有%1处不同").arg(r.Differences.size());
        QJsonObject obj = PortBase(r);
        obj.insert(QStringLiteral("differences"), r.ConfigurationRead || o.Cmd == Command::Write
                                                      ? QJsonValue(DifferencesJson(r.Differences))
                                                      : QJsonValue::Null);
        if (o.Cmd == Command::Write)
            obj.insert(QStringLiteral("dryRun"), true);
        json.append(obj);
        if (!o.Json) {
            for (const Difference& d : r.Differences)
                console.out(Shown(r.Port) + QStringLiteral(": ") + d.text(QStringLiteral("file")) +
                            u'\n');
        }
    }
}

void ReportWrite(const Options& o, const std::vector<PortResult>& results, QJsonArray& json) {
    for (const PortResult& r : results) {
        QJsonObject obj = PortBase(r);
        obj.insert(QStringLiteral("written"), QJsonArray::fromStringList(r.Written));
        obj.insert(QStringLiteral("notWritten"), QJsonArray::fromStringList(r.NotWritten));
        if (o.Cmd == Command::Write) {
            obj.insert(QStringLiteral("dryRun"), false);
            obj.insert(QStringLiteral("differences"), DifferencesJson(r.Differences));
        }
        json.append(obj);
    }
}

void ReportSetAddress(const Options& o, const std::vector<PortResult>& results, QJsonArray& json) {
    const auto number = [](const std::optional<std::uint32_t>& n) {
        return n ? QJsonValue(qint64(*n)) : QJsonValue::Null;
    };
    for (const PortResult& r : results) {
        QJsonObject obj = PortBase(r);
        obj.insert(QStringLiteral("serial"), qint64(o.Serial));
        obj.insert(QStringLiteral("address"), qint64(o.Address));
        obj.insert(QStringLiteral("serialRead"), number(r.SerialRead));
        obj.insert(QStringLiteral("addressRead"), number(r.AddressRead));
        json.append(obj);
    }
}

// A configuration file as read prints a device: no model, no carrier level.
int Show(const Options& o, const ConfigurationFile& file, Console& console) {
    DeviceConfiguration config;
    file.applyTo(config);
    if (o.Json) {
        const QJsonObject document{
            {QStringLiteral("version"), JsonVersion},
            {QStringLiteral("command"), CommandWord(o.Cmd)},
            {QStringLiteral("ok"), true},
            {QStringLiteral("error"), QJsonValue::Null},
            {QStringLiteral("status"), StatusOk},
            {QStringLiteral("input"), QJsonValue::Null},
            {QStringLiteral("ports"), QJsonArray()},
            {QStringLiteral("file"), o.File},
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
    if (o.Result == Options::Outcome::Help) {
        console.out(o.Text);
        return StatusOk;
    }
    if (o.Result == Options::Outcome::Error) {
        console.err(QStringLiteral("korvanectl: ") + o.Text);
        console.err(
            QStringLiteral("用法见 'korvanectl %1--help'。")
                .arg(o.Cmd == Command::None ? QString() : CommandWord(o.Cmd).toString() + u' '));
        // --json may stand after the mistake that ended the parse.
        if (o.Json || arguments.contains(QStringLiteral("--json")))
            PrintDocument(console, o.Cmd, StatusUsage, {}, o.Text);
        return StatusUsage;
    }

    // Qt's own handler writes the traces to standard error, one line each.
    if (o.Verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("korvane.*.debug=true"));

    // Everything that can be found wrong without a device is, before anything is sent.
    std::optional<ConfigurationFile> file;
    if (o.Cmd == Command::Write || o.Cmd == Command::Diff || o.Cmd == Command::Show) {
        CheckedConfiguration checked =
            o.File == QStringLiteral("-")
                ? checkedConfiguration(QStringLiteral("-"), console.readIn())
                : readCheckedConfiguration(o.File);
        if (checked.Problem) {
            console.err(checked.Problem->text());
            if (o.Json)
                PrintDocument(console, o.Cmd, StatusUsage, {}, checked.Problem->text(),
                              InputJson(*checked.Problem));
            return StatusUsage;
        }
        file = std::move(checked.File);
    }
    if (o.Cmd == Command::Show)
        return Show(o, *file, console);
    const bool sendsSchedule =
        (o.Cmd == Command::Write && !o.NoSchedule && !o.DryRun) || o.Cmd == Command::Schedule;
    if (sendsSchedule) {
        if (const std::optional<InputProblem> problem = checkScheduleInput(o.Channels)) {
            console.err(problem->text());
            if (o.Json)
                PrintDocument(console, o.Cmd, StatusUsage, {}, problem->text(),
                              InputJson(*problem));
            return StatusUsage;
        }
    }
    if (o.Cmd == Command::Read && !o.Output.isEmpty() && o.Output != QStringLiteral("-") &&
        outputIsFolder(o) && !QDir().mkpath(o.Output)) {
        const InputProblem problem{o.Output, 0, QStringLiteral("无法建立这个文件夹")};
        console.err(problem.text());
        if (o.Json)
            PrintDocument(console, o.Cmd, StatusUsage, {}, problem.text(), InputJson(problem));
        return StatusUsage;
    }
    if (o.Cmd == Command::Scan && o.Ports.isEmpty())
        o.Ports = candidatePorts(o.AllPorts);

    std::vector<PortJob> jobs;
    for (const QString& port : o.Ports) {
        PortJob job;
        job.Cmd = o.Cmd;
        job.Port = port;
        job.Line = o.Line;
        job.Line.commName = port;
        job.Remote = o.Remote;
        job.Quiet = o.Cmd == Command::Scan;
        job.SuccessLines = !o.Quiet && console.outIsTerminal();
        job.File = file;
        job.Channels = o.Channels;
        job.NoSchedule = o.NoSchedule;
        job.AddressFromDevice = o.AddressFromDevice;
        job.TimeoutMs = o.TimeoutMs;
        job.DryRun = o.DryRun;
        job.SettingsOnly = o.SettingsOnly;
        job.Serial = o.Serial;
        job.Address = o.Address;
        jobs.push_back(std::move(job));
    }
    std::vector<PortResult> results = runPortJobs(jobs, console);

    QJsonArray json;
    switch (o.Cmd) {
    case Command::Identify:
    case Command::Scan:
        ReportIdentify(o, results, console, json);
        break;
    case Command::Read:
        ReportRead(o, results, console, json);
        break;
    case Command::Diff:
        ReportDiff(o, results, console, json);
        break;
    case Command::Write:
        if (o.DryRun)
            ReportDiff(o, results, console, json);
        else
            ReportWrite(o, results, json);
        break;
    case Command::Schedule:
        ReportWrite(o, results, json);
        break;
    case Command::SetAddress:
        ReportSetAddress(o, results, json);
        break;
    case Command::Show: // shown before any port
    case Command::None:
        break;
    }
    int status = Worst(results);
    // A scan succeeds when any port has a Korvane on it.
    if (o.Cmd == Command::Scan)
        status = std::any_of(results.begin(), results.end(),
                             [](const PortResult& r) { return r.Status == StatusOk; })
                     ? StatusOk
                     : std::max(StatusUnreachable, interruptRequested() ? StatusInterrupted : 0);
    if (o.Json)
        PrintDocument(console, o.Cmd, status, json);
    return status;
}

} // namespace korvane::cli
