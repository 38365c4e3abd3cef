// SPDX-License-Identifier: MIT
#include "cli/PortJob.h"

#include "cli/Command.h"
#include "cli/Console.h"
#include "cli/ConsoleOperator.h"
#include "cli/Interrupt.h"
#include "config/KorvaneError.h"
#include "link/CommandTransport.h"
#include "link/SerialPort.h"
#include "session/DeviceSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>

namespace korvane::cli {

namespace {

// While the line settles after opening, bytes are handed over a millisecond after they
// arrive, and the line counts as quiet after this long without one: time for a device
// still working on an earlier program's request to start its answer, and longer than
// ten bytes take at the line's rate.
constexpr std::uint32_t SettleReadIntervalMs = 1;
constexpr int QuietMsAtLeast = 80;
// A line that never falls quiet is used after this long anyway.
constexpr int SettleMsAtMost = 2000;

// Opening the port dropped what its input held. An answer to an earlier program (ended in
// the middle of a transaction) that is still coming in is taken as it arrives and
// dropped, until the line is quiet; a quiet line costs one look of QuietMsAtLeast.
void settleLine(CommandTransport& transport, ConsoleOperator& ui) {
    SerialPort& port = transport.comm();
    const std::uint32_t interval = port.readIntervalTimeout();
    ReceiveDataHandler received = port.dataReceived;
    bool arrived = false;
    // The transport stores the block and traces it; its next send discards it.
    port.dataReceived = [&](const std::uint8_t* data, std::uint16_t length) {
        arrived = true;
        if (received)
            received(data, length);
    };
    port.setReadIntervalTimeout(SettleReadIntervalMs);
    const int quietMs = std::max<int>(
        QuietMsAtLeast, int(10 * 10 * 1000 / std::max<std::uint32_t>(port.baudRate(), 1)) + 1);
    QElapsedTimer settling;
    settling.start();
    do {
        arrived = false;
        ui.pause(quietMs);
    } while (arrived && port.isOpen() && settling.elapsed() < SettleMsAtMost);
    port.setReadIntervalTimeout(interval);
    port.dataReceived = std::move(received);
}

} // namespace

PortResult runPortJob(const PortJob& job, Console& console) {
    PortResult result;
    result.port = job.port;
    ConsoleOperator ui(console, job.port, job.quiet);
    ui.showSuccessLines(job.successLines);
    {
        DeviceSession session(ui);
        ui.observe(session);
        session.configuration().controlMode = job.remote;
        if (job.timeoutMs > 0)
            session.transport().setTimeLimitMs(job.timeoutMs);
        try {
            session.setPortSettings(job.line);
            settleLine(session.transport(), ui);
            session.transport().setSendGate([] { return !interruptRequested(); });
            result.status =
                interruptRequested() ? StatusInterrupted : job.run->runOnPort(session, ui, result);
        } catch (const KorvaneError& e) {
            // A port that will not open or was lost, or an unanswered identification
            // probe.
            ui.showError(e.message(), e.reason(), e.hint());
            result.reason = e.reason();
            result.hint = e.hint();
            result.status = StatusUnreachable;
        } catch (const std::exception& e) {
            ui.showError(QString::fromUtf8(e.what()));
            result.status = StatusUnreachable;
        }
        // The configuration outlives the session, for the collecting thread.
        result.configuration = session.releaseConfiguration();
    }
    if (result.status != StatusOk && interruptRequested()) {
        if (result.status != StatusInterrupted)
            ui.fail(QStringLiteral("已中断"));
        result.status = StatusInterrupted;
    }
    result.read = ui.readPart();
    result.error = ui.lastError();
    if (result.status == StatusDiffers && result.error.isEmpty() && !result.differences.isEmpty())
        result.error = QStringLiteral("与文件有%1处不同").arg(result.differences.size());
    if (result.status != StatusOk && result.error.isEmpty())
        result.error = QStringLiteral("失败");
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
