#include "cli/PortJob.h"

#include "cli/ConfigurationReport.h"
#include "cli/Console.h"
#include "cli/ConsoleOperator.h"
#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "link/SerialPort.h"
#include "protocol/DeviceProcedures.h"
#include "session/DeviceSession.h"

#include <QCoreApplication>
#include <QThread>

namespace korvane::cli {

namespace {

// A remotely controlled device may still be applying what it got: the read-back waits
// as long as the procedures pause after a section.
constexpr int RemoteReadBackPauseMs = 3000;

bool RunCommand(const PortJob& job, DeviceSession& session, ConsoleOperator& ui,
                PortResult& result) {
    DeviceConfiguration& config = session.configuration();
    DeviceProcedures& procedures = session.procedures();
    switch (job.cmd) {
    case Command::Identify:
        return procedures.ensureIdentified();
    case Command::Scan:
        config.deviceModel = procedures.identifyDevice();
        return config.deviceModel != text::ModelUnknown;
    case Command::Read:
        return result.configurationRead = procedures.readDevice();
    case Command::Diff: {
        if (!(result.configurationRead = procedures.readDevice()))
            return false;
        DeviceConfiguration fromFile;
        job.file->applyTo(fromFile);
        result.differences = differences(DeviceValues::of(config), DeviceValues::of(fromFile),
                                         QStringLiteral("file"), config.deviceModel, false);
        return true;
    }
    case Command::Write: {
        session.applyConfiguration(*job.file);
        config.channelFileName = job.channels;
        const DeviceValues sent = DeviceValues::of(config);
        if (!procedures.writeAll(config.info.serialNumber, config.info.address, !job.noSchedule))
            return false;
        if (config.controlMode) {
            ui.pause(RemoteReadBackPauseMs);
            procedures.readDevice();
        }
        // A read-back that failed part way has shown its error box.
        if (!ui.lastError().isEmpty())
            return false;
        DeviceValues readBack = DeviceValues::of(config);
        readBack.serialNumber = sent.serialNumber; // not written
        const QStringList found =
            differences(readBack, sent, QStringLiteral("sent"), config.deviceModel, true);
        for (const QString& line : found)
            ui.say(QStringLiteral("read-back differs: ") + line);
        return found.isEmpty();
    }
    case Command::SetAddress:
        config.info.serialNumber = job.serial;
        config.info.address = job.address;
        return procedures.setAddress();
    case Command::Schedule:
        // The schedule names channels; the device's own port table turns them into ports.
        config.channelFileName = job.channels;
        return procedures.readDevice() && procedures.sendScheduleTable();
    case Command::None:
        break;
    }
    return false;
}

} // namespace

PortResult runPortJob(const PortJob& job, Console& console) {
    PortResult result;
    result.port = job.port;
    ConsoleOperator ui(console, job.port, job.quiet);
    {
        DeviceSession session(ui);
        session.configuration().controlMode = job.remote;
        try {
            session.setPortSettings(job.line);
            if (!RunCommand(job, session, ui, result))
                result.status = StatusFailed;
        } catch (const KorvaneError& e) {
            ui.showError(e.message());
            result.status = e.kind() == KorvaneError::Kind::Port ? StatusUsage : StatusFailed;
        } catch (const std::exception& e) {
            ui.showError(QString::fromUtf8(e.what()));
            result.status = StatusFailed;
        }
        // The configuration outlives the session, for the collecting thread.
        result.configuration = session.releaseConfiguration();
    }
    result.error = ui.lastError();
    if (result.status != StatusOk && result.error.isEmpty())
        result.error = QStringLiteral("failed");
    // The configuration is read by the collecting thread from here on.
    if (QCoreApplication* app = QCoreApplication::instance())
        result.configuration->moveToThread(app->thread());
    return result;
}

std::vector<PortResult> runPortJobs(const std::vector<PortJob>& jobs, Console& console) {
    std::vector<PortResult> results(jobs.size());
    std::vector<std::unique_ptr<QThread>> threads;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        threads.emplace_back(QThread::create(
            [&results, &jobs, &console, i] { results[i] = runPortJob(jobs[i], console); }));
        threads.back()->start();
    }
    for (auto& thread : threads)
        thread->wait();
    return results;
}

} // namespace korvane::cli
