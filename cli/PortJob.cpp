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
    switch (job.Cmd) {
    case Command::Identify:
        return procedures.ensureIdentified();
    case Command::Scan:
        config.DeviceModel = procedures.identifyDevice();
        return config.DeviceModel != text::ModelUnknown;
    case Command::Read:
        return result.ConfigurationRead = procedures.readDevice();
    case Command::Diff: {
        if (!(result.ConfigurationRead = procedures.readDevice()))
            return false;
        DeviceConfiguration fromFile;
        job.File->applyTo(fromFile);
        result.Differences = differences(DeviceValues::of(config), DeviceValues::of(fromFile),
                                         QStringLiteral("file"), config.DeviceModel, false);
        return true;
    }
    case Command::Write: {
        session.applyConfiguration(*job.File);
        config.ChannelFileName = job.Channels;
        const DeviceValues sent = DeviceValues::of(config);
        if (!procedures.writeAll(config.Info.SerialNumber, config.Info.Address, !job.NoSchedule))
            return false;
        if (config.ControlMode) {
            ui.pause(RemoteReadBackPauseMs);
            procedures.readDevice();
        }
        // A read-back that failed part way has shown its error box.
        if (!ui.lastError().isEmpty())
            return false;
        DeviceValues readBack = DeviceValues::of(config);
        readBack.SerialNumber = sent.SerialNumber; // not written
        const QStringList found =
            differences(readBack, sent, QStringLiteral("sent"), config.DeviceModel, true);
        for (const QString& line : found)
            ui.say(QStringLiteral("read-back differs: ") + line);
        return found.isEmpty();
    }
    case Command::SetAddress:
        config.Info.SerialNumber = job.Serial;
        config.Info.Address = job.Address;
        return procedures.setAddress();
    case Command::Schedule:
        // The schedule names channels; the device's own port table turns them into ports.
        config.ChannelFileName = job.Channels;
        return procedures.readDevice() && procedures.sendScheduleTable();
    case Command::None:
        break;
    }
    return false;
}

} // namespace

PortResult runPortJob(const PortJob& job, Console& console) {
    PortResult result;
    result.Port = job.Port;
    ConsoleOperator ui(console, job.Port, job.Quiet);
    {
        DeviceSession session(ui);
        session.configuration().ControlMode = job.Remote;
        try {
            session.setPortSettings(job.Line);
            if (!RunCommand(job, session, ui, result))
                result.Status = StatusFailed;
        } catch (const KorvaneError& e) {
            ui.showError(e.message());
            result.Status = e.kind() == KorvaneError::Kind::Port ? StatusUsage : StatusFailed;
        } catch (const std::exception& e) {
            ui.showError(QString::fromUtf8(e.what()));
            result.Status = StatusFailed;
        }
        // The configuration outlives the session, for the collecting thread.
        result.Configuration = session.releaseConfiguration();
    }
    result.Error = ui.lastError();
    if (result.Status != StatusOk && result.Error.isEmpty())
        result.Error = QStringLiteral("failed");
    // The configuration is read by the collecting thread from here on.
    if (QCoreApplication* app = QCoreApplication::instance())
        result.Configuration->moveToThread(app->thread());
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
