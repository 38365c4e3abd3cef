// SPDX-License-Identifier: MIT
#include "cli/Korvanectl.h"

#include "cli/CliOptions.h"
#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "cli/Console.h"
#include "cli/PortJob.h"

#include <QLoggingCategory>

namespace korvane::cli {

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
                .arg(o.command == nullptr ? QString() : QLatin1String(o.command->name) + u' '));
        // --json may stand after the mistake that ended the parse.
        if (o.json || arguments.contains(QStringLiteral("--json")))
            printDocument(console, o, StatusUsage, {}, o.text);
        return StatusUsage;
    }

    // Qt's own handler writes the traces to standard error, one line each.
    if (o.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("korvane.*.debug=true"));

    // Everything that can be found wrong without a device is, before anything is sent.
    const Prepared prepared = o.command->prepare(o, console);
    if (!prepared.run)
        return prepared.status;
    const CommandRun& run = *prepared.run;

    std::vector<PortJob> jobs;
    for (const QString& port : std::as_const(o.ports)) {
        PortJob job;
        job.run = &run;
        job.port = port;
        job.line = o.line;
        job.line.commName = port;
        job.remote = o.remote;
        job.quiet = run.silentPorts();
        job.successLines = !o.quiet && console.outIsTerminal();
        job.timeoutMs = o.timeoutMs;
        jobs.push_back(std::move(job));
    }
    std::vector<PortResult> results = runPortJobs(jobs, console);

    QJsonArray json;
    run.report(results, console, json);
    const int status = run.status(results, console);
    if (o.json)
        printDocument(console, o, status, json);
    return status;
}

} // namespace korvane::cli
