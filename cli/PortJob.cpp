// SPDX-License-Identifier: MIT
#include "cli/PortJob.h"

#include "cli/ConfigurationReport.h"
#include "cli/Console.h"
#include "cli/ConsoleOperator.h"
#include "cli/Interrupt.h"
#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "link/CommandTransport.h"
#include "link/SerialPort.h"
#include "protocol/Commands.h"
#include "protocol/DeviceProcedures.h"
#include "protocol/PortTableCodec.h"
#include "protocol/SectionCodecs.h"
#include "session/DeviceSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <functional>

namespace korvane::cli {

namespace {

// A remotely controlled device may still be applying what it got: the read-back waits
// as long as the procedures pause after a section.
constexpr int RemoteReadBackPauseMs = 3000;
// The pauses a remotely controlled device needs after each section, as write-all makes them.
constexpr int SectionPauseMs = 3000;
constexpr int GpsPauseMs = 300;

// While the line settles after opening, bytes are handed over a millisecond after they
// arrive, and the line counts as quiet after this long without one: time for a device
// still working on an earlier program's request to start its answer, and longer than
// ten bytes take at the line's rate.
constexpr std::uint32_t SettleReadIntervalMs = 1;
constexpr int QuietMsAtLeast = 80;
// A line that never falls quiet is used after this long anyway.
constexpr int SettleMsAtMost = 2000;

const QString WriteFailed = QStringLiteral("写入失败！");
const QString WriteSucceeded = QStringLiteral("祝贺你，写入成功！");

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

// The file for the device just read: the one given, or the backup folder's file of the
// device's serial number. Nothing when the folder has none; the port then says so.
const ConfigurationFile* fileFor(const PortJob& job, const DeviceConfiguration& device,
                                 ConsoleOperator& ui, PortResult& result) {
    if (!job.folder) {
        result.input = job.filePath;
        return &*job.file;
    }
    for (const InputFile& input : *job.folder) {
        if (static_cast<std::uint32_t>(input.file.serialNumber) == device.info.serialNumber) {
            result.input = input.path;
            return &input.file;
        }
    }
    ui.fail(QStringLiteral("%1 中没有序列号为%2的配置文件；什么也没有发送")
                .arg(job.folderPath)
                .arg(device.info.serialNumber));
    return nullptr;
}

// The address a write's frames carry must be the device's, or nothing it sends is taken.
int refuseForeignAddress(const PortJob& job, const ConfigurationFile& file,
                         std::uint32_t deviceAddress, ConsoleOperator& ui) {
    const auto fileAddress = static_cast<std::uint32_t>(file.address);
    if (job.addressFromDevice || fileAddress == deviceAddress)
        return StatusOk;
    ui.fail(QStringLiteral("文件的地址%1不是设备的地址%2，设备不会接受发往%1的参数；什么也没有发送"
                           "（--address-from-device 发往设备的地址）")
                .arg(fileAddress)
                .arg(deviceAddress));
    return StatusUsage;
}

// Writes every section, then the schedule, and reads the device back: a success only
// when the read-back holds what was sent.
int runWrite(const PortJob& job, DeviceSession& session, ConsoleOperator& ui, PortResult& result) {
    DeviceConfiguration& config = session.configuration();
    DeviceProcedures& procedures = session.procedures();
    // In the order write-all sends them, each with the pause a remotely controlled
    // device needs after it.
    struct Section {
        const char* name; // in the JSON
        QString shown;
        std::function<bool()> send;
        int pauseMs;
    };
    std::vector<Section> sections{
        {"ports", QStringLiteral("端口参数"), [&] { return procedures.writePortSection(false); },
         SectionPauseMs},
        {"trunk", QStringLiteral("干线参数"),
         [&] { return procedures.writeTrunkAttributeSection(false); }, SectionPauseMs},
        {"gps", QStringLiteral("GPS参数"), [&] { return procedures.writeGpsSection(false); },
         GpsPauseMs},
        {"delay", QStringLiteral("干线延时参数"),
         [&] { return procedures.writeTrunkDelaySection(false); }, SectionPauseMs},
    };
    if (!job.noSchedule)
        sections.push_back({"schedule", QStringLiteral("时序表"),
                            [&] { return procedures.sendScheduleTable(); }, 0});
    // Nothing is written until the sections go out, one by one.
    if (!job.dryRun) {
        for (const Section& section : sections)
            result.notWritten.append(QLatin1String(section.name));
    }
    // The device's model and address first: the port table's encoding needs the one,
    // the frames the other.
    if (!procedures.readDevice()) {
        if (!interruptRequested())
            return StatusUnreachable;
        ui.fail(QStringLiteral("已中断：写入前读取设备时，什么也没有写入"));
        return StatusInterrupted;
    }
    const std::uint32_t deviceAddress = config.info.address;
    const DeviceValues before = DeviceValues::of(config);
    const ConfigurationFile* file = fileFor(job, config, ui, result);
    if (file == nullptr)
        return StatusUsage;
    if (const int refused = refuseForeignAddress(job, *file, deviceAddress, ui))
        return refused;
    session.applyConfiguration(*file);
    if (job.addressFromDevice)
        config.info.address = deviceAddress;
    config.channelFileName = job.channels;
    const PortTableEncoding encoding = encodeWritePortParams(config.ports, config.deviceModel);
    if (!encoding.isOk()) {
        ui.fail(encoding.error->text);
        return StatusUsage;
    }
    const DeviceValues sent = DeviceValues::of(config);
    if (job.dryRun) {
        // What a write would change: the serial number is never written, the carrier
        // level stays the device's.
        DeviceValues wanted = sent;
        wanted.serialNumber = before.serialNumber;
        result.differences = differences(before, wanted, config.deviceModel);
        result.compared = true;
        return result.differences.isEmpty() ? StatusOk : StatusDiffers;
    }

    QStringList written;
    QStringList notWritten;
    bool ok = true;
    for (const Section& section : sections) {
        ok = ok && !interruptRequested() && section.send();
        if (ok) {
            result.written.append(result.notWritten.takeFirst());
            written.append(section.shown);
            if (config.controlMode && section.pauseMs > 0 && &section != &sections.back())
                ui.pause(section.pauseMs);
        } else {
            notWritten.append(section.shown);
        }
    }
    if (interruptRequested()) {
        ui.fail(
            QStringLiteral("已中断：%1未写入：%2")
                .arg(written.isEmpty()
                         ? QString()
                         : QStringLiteral("部分写入：%1；").arg(written.join(QStringLiteral("、"))),
                     notWritten.isEmpty() ? QStringLiteral("无（未读回核对）")
                                          : notWritten.join(QStringLiteral("、"))));
        return StatusInterrupted;
    }
    if (!ok) {
        ui.say(WriteFailed);
        return StatusUnreachable;
    }

    if (config.controlMode)
        ui.pause(RemoteReadBackPauseMs);
    if (!procedures.readDevice()) {
        if (interruptRequested()) {
            ui.fail(QStringLiteral("已中断：全部写入，未读回核对"));
            return StatusInterrupted;
        }
        ui.say(WriteFailed);
        return StatusUnreachable;
    }
    DeviceValues readBack = DeviceValues::of(config);
    readBack.serialNumber = sent.serialNumber; // not written
    result.differences = differences(readBack, sent, config.deviceModel, {true, true});
    result.compared = true;
    if (!result.differences.isEmpty()) {
        for (const Difference& difference : result.differences)
            ui.say(QStringLiteral("读回的参数不同：") + difference.text(QStringLiteral("sent")));
        ui.fail(WriteFailed);
        return StatusDiffers;
    }
    ui.succeed(WriteSucceeded);
    return StatusOk;
}

// One read command's checked answer; nothing, with the reason told, when it fails.
std::optional<ByteBuffer> readOne(DeviceSession& session, ConsoleOperator& ui, std::uint8_t code) {
    const QString& model = session.configuration().deviceModel;
    const auto answer = session.procedures().transact(readRequest(code));
    const ReadResponse r = answer ? checkReadResponse(code, model, std::span(*answer))
                                  : checkReadResponse(code, model, std::nullopt);
    if (!r.isOk()) {
        ui.fail(r.error->text);
        return std::nullopt;
    }
    return r.frame;
}

// The identification probe, then the serial number: reads only.
int runScan(DeviceSession& session, ConsoleOperator& ui, PortResult& result) {
    DeviceConfiguration& config = session.configuration();
    config.deviceModel = session.procedures().identifyDevice();
    if (config.deviceModel == text::ModelUnknown)
        return StatusUnreachable;
    if (const auto serial = readOne(session, ui, command::ReadSerialNumber))
        result.serialRead = decodeReadSerialNumber(*serial);
    return StatusOk;
}

// Gives the device named by its serial number the new address, then reads address and
// serial number back: only a device that now answers with both has taken it.
int runSetAddress(const PortJob& job, DeviceSession& session, ConsoleOperator& ui,
                  PortResult& result) {
    DeviceConfiguration& config = session.configuration();
    DeviceProcedures& procedures = session.procedures();
    config.info.serialNumber = job.serial;
    config.info.address = job.address;
    ui.holdSuccess(true);
    const bool answered = procedures.setAddress();
    ui.holdSuccess(false);
    if (!answered)
        return StatusUnreachable;
    const auto read = [&](std::uint8_t code) {
        return readOne(session, ui, code);
    };
    const auto address = read(command::ReadAddress);
    const auto serial = address ? read(command::ReadSerialNumber) : std::nullopt;
    if (!serial)
        return StatusUnreachable;
    const std::uint32_t addressNow = decodeReadAddress(*address).value_or(0);
    const std::uint32_t serialNow = decodeReadSerialNumber(*serial).value_or(0);
    result.addressRead = addressNow;
    result.serialRead = serialNow;
    if (addressNow != job.address || serialNow != job.serial) {
        ui.fail(QStringLiteral("设备没有接受新地址：序列号%1、地址%2（要求序列号%3的设备取地址%4）")
                    .arg(serialNow)
                    .arg(addressNow)
                    .arg(job.serial)
                    .arg(job.address));
        return StatusDiffers;
    }
    ui.releaseHeld();
    return StatusOk;
}

int runCommand(const PortJob& job, DeviceSession& session, ConsoleOperator& ui,
               PortResult& result) {
    DeviceConfiguration& config = session.configuration();
    DeviceProcedures& procedures = session.procedures();
    switch (job.cmd) {
    case Command::Identify:
        return procedures.ensureIdentified() ? StatusOk : StatusUnreachable;
    case Command::Scan:
        return runScan(session, ui, result);
    case Command::Read:
        result.configurationRead = procedures.readDevice();
        return result.configurationRead ? StatusOk : StatusUnreachable;
    case Command::Diff: {
        if (!(result.configurationRead = procedures.readDevice()))
            return StatusUnreachable;
        const ConfigurationFile* file = fileFor(job, config, ui, result);
        if (file == nullptr)
            return StatusUsage;
        DeviceConfiguration fromFile;
        file->applyTo(fromFile);
        result.differences = differences(DeviceValues::of(config), DeviceValues::of(fromFile),
                                         config.deviceModel, {false, !job.settingsOnly});
        result.compared = true;
        return result.differences.isEmpty() ? StatusOk : StatusDiffers;
    }
    case Command::Write:
        return runWrite(job, session, ui, result);
    case Command::SetAddress:
        return runSetAddress(job, session, ui, result);
    case Command::Schedule:
        // The schedule names channels; the device's own port table turns them into ports.
        config.channelFileName = job.channels;
        result.notWritten = QStringList{QStringLiteral("schedule")};
        if (!procedures.readDevice() || interruptRequested() || !procedures.sendScheduleTable())
            return StatusUnreachable;
        result.written = std::exchange(result.notWritten, {});
        return StatusOk;
    case Command::Show: // no port
    case Command::Ports:
    case Command::None:
        break;
    }
    return StatusUsage;
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
                interruptRequested() ? StatusInterrupted : runCommand(job, session, ui, result);
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
