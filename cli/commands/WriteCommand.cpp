// SPDX-License-Identifier: MIT
// korvanectl write: a configuration file (or a backup folder's) written to each device,
// then read back; --dry-run tells what would change.
#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "cli/ConfigurationReport.h"
#include "cli/Console.h"
#include "cli/ConsoleOperator.h"
#include "cli/Interrupt.h"
#include "protocol/DeviceProcedures.h"
#include "protocol/PortTableCodec.h"
#include "session/DeviceSession.h"

#include <functional>

namespace korvane::cli {

namespace {

// A remotely controlled device may still be applying what it got: the read-back waits
// as long as the procedures pause after a section.
constexpr int RemoteReadBackPauseMs = 3000;
// The pauses a remotely controlled device needs after each section, as write-all makes them.
constexpr int SectionPauseMs = 3000;
constexpr int GpsPauseMs = 300;

const QString WriteFailed = QStringLiteral("写入失败！");
const QString WriteSucceeded = QStringLiteral("祝贺你，写入成功！");

class WriteRun : public CommandRun {
public:
    WriteRun(const Options& o, InputConfiguration checked)
        : input(std::move(checked)), channels(o.args.value("--channels")),
          noSchedule(o.args.has("--no-schedule")),
          addressFromDevice(o.args.has("--address-from-device")), dryRun(o.args.has("--dry-run")),
          json(o.json) {}

    // Writes every section, then the schedule, and reads the device back: a success only
    // when the read-back holds what was sent.
    int runOnPort(DeviceSession& session, ConsoleOperator& ui, PortResult& result) const override {
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
            {"ports", QStringLiteral("端口参数"),
             [&] { return procedures.writePortSection(false); }, SectionPauseMs},
            {"trunk", QStringLiteral("干线参数"),
             [&] { return procedures.writeTrunkAttributeSection(false); }, SectionPauseMs},
            {"gps", QStringLiteral("GPS参数"), [&] { return procedures.writeGpsSection(false); },
             GpsPauseMs},
            {"delay", QStringLiteral("干线延时参数"),
             [&] { return procedures.writeTrunkDelaySection(false); }, SectionPauseMs},
        };
        if (!noSchedule)
            sections.push_back({"schedule", QStringLiteral("时序表"),
                                [&] { return procedures.sendScheduleTable(); }, 0});
        // Nothing is written until the sections go out, one by one.
        if (!dryRun) {
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
        const ConfigurationFile* file = input.fileFor(config, ui, result);
        if (file == nullptr)
            return StatusUsage;
        if (const int refused = refuseForeignAddress(*file, deviceAddress, ui))
            return refused;
        session.applyConfiguration(*file);
        if (addressFromDevice)
            config.info.address = deviceAddress;
        config.channelFileName = channels;
        const PortTableEncoding encoding = encodeWritePortParams(config.ports, config.deviceModel);
        if (!encoding.isOk()) {
            ui.fail(encoding.error->text);
            return StatusUsage;
        }
        const DeviceValues sent = DeviceValues::of(config);
        if (dryRun) {
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
            ui.fail(QStringLiteral("已中断：%1未写入：%2")
                        .arg(written.isEmpty() ? QString()
                                               : QStringLiteral("部分写入：%1；")
                                                     .arg(written.join(QStringLiteral("、"))),
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
                ui.say(QStringLiteral("读回的参数不同：") +
                       difference.text(QStringLiteral("sent")));
            ui.fail(WriteFailed);
            return StatusDiffers;
        }
        ui.succeed(WriteSucceeded);
        return StatusOk;
    }

    void report(std::vector<PortResult>& results, Console& console,
                QJsonArray& ports) const override {
        for (const PortResult& r : results) {
            QJsonObject obj = portBase(r);
            if (dryRun) {
                obj.insert(QStringLiteral("input"), textOrNull(r.input));
                obj.insert(QStringLiteral("differences"),
                           r.compared ? QJsonValue(differencesJson(r.differences))
                                      : QJsonValue::Null);
                obj.insert(QStringLiteral("dryRun"), true);
            } else {
                obj.insert(QStringLiteral("written"), QJsonArray::fromStringList(r.written));
                obj.insert(QStringLiteral("notWritten"), QJsonArray::fromStringList(r.notWritten));
                obj.insert(QStringLiteral("input"), textOrNull(r.input));
                obj.insert(QStringLiteral("dryRun"), false);
                obj.insert(QStringLiteral("differences"),
                           r.compared ? QJsonValue(differencesJson(r.differences))
                                      : QJsonValue::Null);
            }
            ports.append(obj);
            if (dryRun && !json) {
                for (const Difference& d : r.differences)
                    console.out(portShown(r.port) + QStringLiteral(": ") +
                                d.text(QStringLiteral("file")) + u'\n');
            }
        }
    }

private:
    // The address a write's frames carry must be the device's, or nothing it sends is taken.
    int refuseForeignAddress(const ConfigurationFile& file, std::uint32_t deviceAddress,
                             ConsoleOperator& ui) const {
        const auto fileAddress = static_cast<std::uint32_t>(file.address);
        if (addressFromDevice || fileAddress == deviceAddress)
            return StatusOk;
        ui.fail(
            QStringLiteral("文件的地址%1不是设备的地址%2，设备不会接受发往%1的参数；什么也没有发送"
                           "（--address-from-device 发往设备的地址）")
                .arg(fileAddress)
                .arg(deviceAddress));
        return StatusUsage;
    }

    InputConfiguration input;
    QString channels;
    bool noSchedule;
    bool addressFromDevice;
    bool dryRun; // what would change, nothing sent
    bool json;
};

QString help() {
    return QStringLiteral(
        "Usage: korvanectl --port P... write FILE [--channels CHN] [--no-schedule]\n"
        "                  [--address-from-device] [--dry-run]\n"
        "Reads each device, then writes everything the configuration file FILE holds,\n"
        "the timing schedule included (the .sch beside CHN, else SchedulingFile.dat in\n"
        "the current folder), and reads the device back. Succeeds only when the\n"
        "read-back matches what was sent; the success line comes after that.\n"
        "A device takes only frames to its own address: when FILE's address is not the\n"
        "device's, nothing is sent (exit status 2), unless --address-from-device sends\n"
        "them to the address the device has (FILE's address is then left out).\n"
        "FILE (24 port rows, every value one the device holds) and the schedule file\n"
        "are checked before anything is sent; a problem is named by file and line\n"
        "(exit status 2). --dry-run checks, reads each device and prints what would\n"
        "change, as diff does, and sends nothing.\n"
        "FILE may be a backup folder as read -o DIR/ makes it: every .krv in it is\n"
        "checked first (two of one serial number: exit status 2), and each device gets\n"
        "the file of its serial number; a device without one gets nothing (status 2).\n");
}

constexpr CommandOption options[] = {
    {.name = "--channels", .takesValue = true},
    {.name = "--no-schedule"},
    {.name = "--address-from-device"},
    {.name = "--dry-run"},
};

QString checkOptions(Options& o) {
    if (o.args.value("--channels").isEmpty() && !o.settingsChannelFile.isEmpty())
        o.args.values.insert(QStringLiteral("--channels"), o.settingsChannelFile);
    return {};
}

Prepared prepare(Options& o, Console& console) {
    InputConfiguration input;
    if (const std::optional<int> refused = readInput(input, o, console, true))
        return {nullptr, *refused};
    if (!o.args.has("--no-schedule") && !o.args.has("--dry-run"))
        if (const std::optional<int> refused =
                checkSchedule(o.args.value("--channels"), o, console))
            return {nullptr, *refused};
    return {std::make_unique<WriteRun>(o, std::move(input))};
}

} // namespace

extern const CommandDef writeCommand{
    .name = "write",
    .synopsis =
        "  write FILE [--channels CHN] [--no-schedule] [--address-from-device] [--dry-run]\n"
        "                               write a configuration file, then read it back\n",
    .help = help,
    .options = options,
    .ports = PortUse::Needed,
    .takesFile = true,
    .checkOptions = checkOptions,
    .prepare = prepare,
};

} // namespace korvane::cli
