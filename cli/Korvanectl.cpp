#include "cli/Korvanectl.h"

#include "cli/CliOptions.h"
#include "cli/ConfigurationReport.h"
#include "cli/Console.h"
#include "cli/InputCheck.h"
#include "cli/PortJob.h"
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

int Worst(const std::vector<PortResult>& results) {
    int status = StatusOk;
    for (const PortResult& r : results)
        status = std::max(status, r.Status);
    return status;
}

void PrintJson(Console& console, const QJsonArray& array) {
    console.out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
}

QJsonObject ErrorPart(const PortResult& r, QJsonObject o) {
    if (r.Status != StatusOk)
        o.insert(QStringLiteral("error"), r.Error);
    return o;
}

int ReportIdentify(const Options& o, const std::vector<PortResult>& results, Console& console) {
    QJsonArray array;
    for (const PortResult& r : results) {
        if (o.Json) {
            QJsonObject obj{{QStringLiteral("port"), r.Port},
                            {QStringLiteral("model"), r.Configuration->DeviceModel}};
            array.append(ErrorPart(r, obj));
        } else if (r.Status == StatusOk) {
            console.out(r.Port + u'\t' + r.Configuration->DeviceModel + u'\n');
        }
    }
    if (o.Json)
        PrintJson(console, array);
    return Worst(results);
}

int ReportScan(const Options& o, const std::vector<PortResult>& results, Console& console) {
    QJsonArray array;
    bool any = false;
    for (const PortResult& r : results) {
        if (r.Status != StatusOk)
            continue;
        any = true;
        if (o.Json)
            array.append(QJsonObject{{QStringLiteral("port"), r.Port},
                                     {QStringLiteral("model"), r.Configuration->DeviceModel}});
        else
            console.out(r.Port + u'\t' + r.Configuration->DeviceModel + u'\n');
    }
    if (o.Json)
        PrintJson(console, array);
    return any ? StatusOk : StatusUnreachable;
}

// The file each device's configuration goes to: PATH itself for one port, else
// <serial>.krv in the folder PATH.
int SaveReads(const Options& o, std::vector<PortResult>& results, Console& console) {
    QSet<QString> taken;
    for (PortResult& r : results) {
        if (!r.ConfigurationRead)
            continue;
        QString path = o.Output;
        if (o.Ports.size() > 1) {
            const QString name =
                QString::number(r.Configuration->Info.SerialNumber) + QStringLiteral(".krv");
            path = QDir(o.Output).filePath(name);
            if (taken.contains(name)) {
                r.Error = QStringLiteral("another device has the serial number %1; not saved")
                              .arg(r.Configuration->Info.SerialNumber);
                console.err(r.Port + QStringLiteral(": ") + r.Error);
                r.Status = std::max(r.Status, StatusUsage);
                continue;
            }
            taken.insert(name);
        }
        try {
            writeConfigurationFile(path, *r.Configuration);
        } catch (const KorvaneError& e) {
            r.Error = e.message();
            console.err(r.Port + QStringLiteral(": ") + r.Error);
            r.Status = StatusUsage;
        }
    }
    return Worst(results);
}

int ReportRead(const Options& o, std::vector<PortResult>& results, Console& console) {
    if (!o.Output.isEmpty())
        SaveReads(o, results, console);
    if (o.Json) {
        QJsonArray array;
        for (const PortResult& r : results) {
            QJsonObject obj =
                r.ConfigurationRead
                    ? configurationJson(*r.Configuration)
                    : QJsonObject{{QStringLiteral("model"), r.Configuration->DeviceModel}};
            obj.insert(QStringLiteral("port"), r.Port);
            array.append(ErrorPart(r, obj));
        }
        PrintJson(console, array);
    } else if (o.Output.isEmpty()) {
        for (const PortResult& r : results) {
            if (!r.ConfigurationRead)
                continue;
            const bool several = results.size() > 1;
            if (several)
                console.out(QStringLiteral("== %1 ==\n").arg(r.Port));
            console.out(configurationText(*r.Configuration) +
                        (several ? QStringLiteral("\n") : QString()));
        }
    }
    return Worst(results);
}

int ReportDiff(const Options& o, std::vector<PortResult>& results, Console& console) {
    QJsonArray array;
    for (PortResult& r : results) {
        if (o.Json) {
            QJsonObject obj{
                {QStringLiteral("port"), r.Port},
                {QStringLiteral("differences"), QJsonArray::fromStringList(r.Differences)}};
            array.append(ErrorPart(r, obj));
        } else {
            for (const QString& line : r.Differences)
                console.out(r.Port + QStringLiteral(": ") + line + u'\n');
        }
    }
    if (o.Json)
        PrintJson(console, array);
    return Worst(results);
}

int ReportOthers(const Options& o, const std::vector<PortResult>& results, Console& console) {
    if (o.Json) {
        QJsonArray array;
        for (const PortResult& r : results)
            array.append(ErrorPart(r, QJsonObject{{QStringLiteral("port"), r.Port},
                                                  {QStringLiteral("ok"), r.Status == StatusOk}}));
        PrintJson(console, array);
    }
    return Worst(results);
}

} // namespace

int runKorvanectl(const QStringList& arguments, Console& console) {
    Options o = parseOptions(arguments);
    if (o.Result == Options::Outcome::Help) {
        console.out(o.Text);
        return StatusOk;
    }
    if (o.Result == Options::Outcome::Error) {
        console.err(o.Text.trimmed().split(u'\n').first());
        for (const QString& line : o.Text.trimmed().split(u'\n').mid(1))
            console.err(line);
        return StatusUsage;
    }

    // Qt's own handler writes the traces to standard error, one line each.
    if (o.Verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("korvane.*.debug=true"));

    // Everything that can be found wrong without a device is, before anything is sent.
    std::optional<ConfigurationFile> file;
    if (o.Cmd == Command::Write || o.Cmd == Command::Diff) {
        CheckedConfiguration checked = readCheckedConfiguration(o.File);
        if (checked.Problem) {
            console.err(checked.Problem->text());
            return StatusUsage;
        }
        file = std::move(checked.File);
    }
    const bool sendsSchedule =
        (o.Cmd == Command::Write && !o.NoSchedule && !o.DryRun) || o.Cmd == Command::Schedule;
    if (sendsSchedule) {
        if (const std::optional<InputProblem> problem = checkScheduleInput(o.Channels)) {
            console.err(problem->text());
            return StatusUsage;
        }
    }
    if (o.Cmd == Command::Read && o.Ports.size() > 1 && !o.Output.isEmpty() &&
        !QDir().mkpath(o.Output)) {
        console.err(o.Output + QStringLiteral(": not a folder that can be made"));
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
        job.File = file;
        job.Channels = o.Channels;
        job.NoSchedule = o.NoSchedule;
        job.AddressFromDevice = o.AddressFromDevice;
        job.TimeoutMs = o.TimeoutMs;
        job.DryRun = o.DryRun;
        job.Serial = o.Serial;
        job.Address = o.Address;
        jobs.push_back(std::move(job));
    }
    std::vector<PortResult> results = runPortJobs(jobs, console);

    switch (o.Cmd) {
    case Command::Identify:
        return ReportIdentify(o, results, console);
    case Command::Scan:
        return ReportScan(o, results, console);
    case Command::Read:
        return ReportRead(o, results, console);
    case Command::Diff:
        return ReportDiff(o, results, console);
    case Command::Write:
        return o.DryRun ? ReportDiff(o, results, console) : ReportOthers(o, results, console);
    default:
        return ReportOthers(o, results, console);
    }
}

} // namespace korvane::cli
