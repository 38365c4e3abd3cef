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
        return procedures.EnsureIdentified();
    case Command::Scan:
        config.DeviceModel = procedures.IdentifyDevice();
        return config.DeviceModel != text::ModelUnknown;
    case Command::Read:
        return result.ConfigurationRead = procedures.ReadDevice();
    case Command::Diff: {
        if (!(result.ConfigurationRead = procedures.ReadDevice()))
            return false;
        DeviceConfiguration fromFile;
        job.File->ApplyTo(fromFile);
        result.Differences = Differences(DeviceValues::Of(config), DeviceValues::Of(fromFile),
                                         QStringLiteral("file"), config.DeviceModel, false);
        return true;
    }
    case Command::Write: {
        session.applyConfiguration(*job.File);
        config.ChannelFileName = job.Channels;
        const DeviceValues sent = DeviceValues::Of(config);
        if (!procedures.WriteAll(config.Info.SerialNumber, config.Info.Address, !job.NoSchedule))
            return false;
        if (config.ControlMode) {
            ui.Pause(RemoteReadBackPauseMs);
            procedures.ReadDevice();
        }
        // A read-back that failed part way has shown its error box.
        if (!ui.LastError().isEmpty())
            return false;
        DeviceValues readBack = DeviceValues::Of(config);
        readBack.SerialNumber = sent.SerialNumber; // not written
        const QStringList differences =
            Differences(readBack, sent, QStringLiteral("sent"), config.DeviceModel, true);
        for (const QString& line : differences)
            ui.Say(QStringLiteral("read-back differs: ") + line);
        return differences.isEmpty();
    }
    case Command::SetAddress:
        config.Info.SerialNumber = job.Serial;
        config.Info.Address = job.Address;
        return procedures.SetAddress();
    case Command::Schedule:
        // The schedule names channels; the device's own port table turns them into ports.
        config.ChannelFileName = job.Channels;
        return procedures.ReadDevice() && procedures.SendScheduleTable();
    case Command::None:
        break;
    }
    return false;
}

} // namespace

PortResult RunPortJob(const PortJob& job, Console& console) {
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
        } catch (const SerialPortError& e) {
            ui.ShowError(QString::fromUtf8(e.what()));
            result.Status = StatusUsage;
        } catch (const KorvaneError& e) {
            ui.ShowError(e.message());
            result.Status = StatusFailed;
        } catch (const std::exception& e) {
            ui.ShowError(QString::fromUtf8(e.what()));
            result.Status = StatusFailed;
        }
        // The configuration outlives the session, for the collecting thread.
        result.Configuration = session.releaseConfiguration();
    }
    result.Error = ui.LastError();
    if (result.Status != StatusOk && result.Error.isEmpty())
        result.Error = QStringLiteral("failed");
    // The configuration is read by the collecting thread from here on.
    if (QCoreApplication* app = QCoreApplication::instance())
        result.Configuration->moveToThread(app->thread());
    return result;
}

std::vector<PortResult> RunPortJobs(const std::vector<PortJob>& jobs, Console& console) {
    std::vector<PortResult> results(jobs.size());
    std::vector<std::unique_ptr<QThread>> threads;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        threads.emplace_back(QThread::create(
            [&results, &jobs, &console, i] { results[i] = RunPortJob(jobs[i], console); }));
        threads.back()->start();
    }
    for (auto& thread : threads)
        thread->wait();
    return results;
}

} // namespace korvane::cli
