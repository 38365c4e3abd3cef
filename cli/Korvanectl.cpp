#include "cli/Korvanectl.h"

#include "cli/CliOptions.h"
#include "cli/ConfigurationReport.h"
#include "cli/Console.h"
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
        status = std::max(status, r.status);
    return status;
}

void PrintJson(Console& console, const QJsonArray& array) {
    console.out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
}

QJsonObject ErrorPart(const PortResult& r, QJsonObject o) {
    if (r.status != StatusOk)
        o.insert(QStringLiteral("error"), r.error);
    return o;
}

int ReportIdentify(const Options& o, const std::vector<PortResult>& results, Console& console) {
    QJsonArray array;
    for (const PortResult& r : results) {
        if (o.json) {
            QJsonObject obj{{QStringLiteral("port"), r.port},
                            {QStringLiteral("model"), r.configuration->deviceModel}};
            array.append(ErrorPart(r, obj));
        } else if (r.status == StatusOk) {
            console.out(r.port + u'\t' + r.configuration->deviceModel + u'\n');
        }
    }
    if (o.json)
        PrintJson(console, array);
    return Worst(results);
}

int ReportScan(const Options& o, const std::vector<PortResult>& results, Console& console) {
    QJsonArray array;
    bool any = false;
    for (const PortResult& r : results) {
        if (r.status != StatusOk)
            continue;
        any = true;
        if (o.json)
            array.append(QJsonObject{{QStringLiteral("port"), r.port},
                                     {QStringLiteral("model"), r.configuration->deviceModel}});
        else
            console.out(r.port + u'\t' + r.configuration->deviceModel + u'\n');
    }
    if (o.json)
        PrintJson(console, array);
    return any ? StatusOk : StatusFailed;
}

// The file each device's configuration goes to: PATH itself for one port, else
// <serial>.krv in the folder PATH.
int SaveReads(const Options& o, std::vector<PortResult>& results, Console& console) {
    QSet<QString> taken;
    for (PortResult& r : results) {
        if (!r.configurationRead)
            continue;
        QString path = o.output;
        if (o.ports.size() > 1) {
            const QString name =
                QString::number(r.configuration->info.serialNumber) + QStringLiteral(".krv");
            path = QDir(o.output).filePath(name);
            if (taken.contains(name)) {
                r.error = QStringLiteral("another device has the serial number %1; not saved")
                              .arg(r.configuration->info.serialNumber);
                console.err(r.port + QStringLiteral(": ") + r.error);
                r.status = std::max(r.status, StatusFailed);
                continue;
            }
            taken.insert(name);
        }
        try {
            writeConfigurationFile(path, *r.configuration);
        } catch (const KorvaneError& e) {
            r.error = e.message();
            console.err(r.port + QStringLiteral(": ") + r.error);
            r.status = StatusUsage;
        }
    }
    return Worst(results);
}

int ReportRead(const Options& o, std::vector<PortResult>& results, Console& console) {
    if (!o.output.isEmpty())
        SaveReads(o, results, console);
    if (o.json) {
        QJsonArray array;
        for (const PortResult& r : results) {
            QJsonObject obj =
                r.configurationRead
                    ? configurationJson(*r.configuration)
                    : QJsonObject{{QStringLiteral("model"), r.configuration->deviceModel}};
            obj.insert(QStringLiteral("port"), r.port);
            array.append(ErrorPart(r, obj));
        }
        PrintJson(console, array);
    } else if (o.output.isEmpty()) {
        for (const PortResult& r : results) {
            if (!r.configurationRead)
                continue;
            const bool several = results.size() > 1;
            if (several)
                console.out(QStringLiteral("== %1 ==\n").arg(r.port));
            console.out(configurationText(*r.configuration) +
                        (several ? QStringLiteral("\n") : QString()));
        }
    }
    return Worst(results);
}

int ReportDiff(const Options& o, std::vector<PortResult>& results, Console& console) {
    QJsonArray array;
    for (PortResult& r : results) {
        if (!r.differences.isEmpty())
            r.status = std::max(r.status, StatusFailed);
        if (o.json) {
            QJsonObject obj{
                {QStringLiteral("port"), r.port},
                {QStringLiteral("differences"), QJsonArray::fromStringList(r.differences)}};
            array.append(ErrorPart(r, obj));
        } else {
            for (const QString& line : r.differences)
                console.out(r.port + QStringLiteral(": ") + line + u'\n');
        }
    }
    if (o.json)
        PrintJson(console, array);
    return Worst(results);
}

int ReportOthers(const Options& o, const std::vector<PortResult>& results, Console& console) {
    if (o.json) {
        QJsonArray array;
        for (const PortResult& r : results)
            array.append(ErrorPart(r, QJsonObject{{QStringLiteral("port"), r.port},
                                                  {QStringLiteral("ok"), r.status == StatusOk}}));
        PrintJson(console, array);
    }
    return Worst(results);
}

} // namespace

int runKorvanectl(const QStringList& arguments, Console& console) {
    Options o = parseOptions(arguments);
    if (o.result == Options::Outcome::Help) {
        console.out(o.text);
        return StatusOk;
    }
    if (o.result == Options::Outcome::Error) {
        console.err(o.text.trimmed().split(u'\n').first());
        for (const QString& line : o.text.trimmed().split(u'\n').mid(1))
            console.err(line);
        return StatusUsage;
    }

    // Qt's own handler writes the traces to standard error, one line each.
    if (o.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("korvane.*.debug=true"));

    // Everything that can be found wrong without a device is, before anything is sent.
    std::optional<ConfigurationFile> file;
    if (o.cmd == Command::Write || o.cmd == Command::Diff) {
        try {
            file = DeviceSession::readConfigurationFile(o.file);
        } catch (const KorvaneError& e) {
            console.err(o.file + QStringLiteral(": ") + e.message());
            return StatusUsage;
        }
    }
    if (o.cmd == Command::Write || o.cmd == Command::Schedule) {
        if (!o.channels.isEmpty() && !QFileInfo(o.channels).isFile()) {
            console.err(o.channels + QStringLiteral(": no such channel file"));
            return StatusUsage;
        }
        const QString schedule = scheduleFilePath(o.channels);
        if (!o.noSchedule && !QFileInfo(schedule).isFile()) {
            console.err(scheduleFileMissingMessage(schedule));
            return StatusUsage;
        }
    }
    if (o.cmd == Command::Read && o.ports.size() > 1 && !o.output.isEmpty() &&
        !QDir().mkpath(o.output)) {
        console.err(o.output + QStringLiteral(": not a folder that can be made"));
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
        job.file = file;
        job.channels = o.channels;
        job.noSchedule = o.noSchedule;
        job.serial = o.serial;
        job.address = o.address;
        jobs.push_back(std::move(job));
    }
    std::vector<PortResult> results = runPortJobs(jobs, console);

    switch (o.cmd) {
    case Command::Identify:
        return ReportIdentify(o, results, console);
    case Command::Scan:
        return ReportScan(o, results, console);
    case Command::Read:
        return ReportRead(o, results, console);
    case Command::Diff:
        return ReportDiff(o, results, console);
    default:
        return ReportOthers(o, results, console);
    }
}

} // namespace korvane::cli
