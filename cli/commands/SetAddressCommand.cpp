// SPDX-License-Identifier: MIT
// korvanectl set-address: the device of a serial number gets a new address.
#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "cli/ConsoleOperator.h"
#include "protocol/Commands.h"
#include "protocol/DeviceProcedures.h"
#include "protocol/SectionCodecs.h"
#include "session/DeviceSession.h"

namespace korvane::cli {

namespace {

std::uint32_t numberOption(const Options& o, const char* option) {
    return std::uint32_t(parseNumber(o.args.value(option)).value_or(0));
}

class SetAddressRun : public CommandRun {
public:
    explicit SetAddressRun(const Options& o)
        : serial(numberOption(o, "--serial")), address(numberOption(o, "--address")) {}

    // Gives the device named by its serial number the new address, then reads address and
    // serial number back: only a device that now answers with both has taken it.
    int runOnPort(DeviceSession& session, ConsoleOperator& ui, PortResult& result) const override {
        DeviceConfiguration& config = session.configuration();
        DeviceProcedures& procedures = session.procedures();
        config.info.serialNumber = serial;
        config.info.address = address;
        ui.holdSuccess(true);
        const bool answered = procedures.setAddress();
        ui.holdSuccess(false);
        if (!answered)
            return StatusUnreachable;
        const auto read = [&](std::uint8_t code) {
            return readOne(session, ui, code);
        };
        const auto addressAnswer = read(command::ReadAddress);
        const auto serialAnswer = addressAnswer ? read(command::ReadSerialNumber) : std::nullopt;
        if (!serialAnswer)
            return StatusUnreachable;
        const std::uint32_t addressNow = decodeReadAddress(*addressAnswer).value_or(0);
        const std::uint32_t serialNow = decodeReadSerialNumber(*serialAnswer).value_or(0);
        result.addressRead = addressNow;
        result.serialRead = serialNow;
        if (addressNow != address || serialNow != serial) {
            ui.fail(
                QStringLiteral("设备没有接受新地址：序列号%1、地址%2（要求序列号%3的设备取地址%4）")
                    .arg(serialNow)
                    .arg(addressNow)
                    .arg(serial)
                    .arg(address));
            return StatusDiffers;
        }
        ui.releaseHeld();
        return StatusOk;
    }

    void report(std::vector<PortResult>& results, Console&, QJsonArray& ports) const override {
        const auto number = [](const std::optional<std::uint32_t>& n) {
            return n ? QJsonValue(qint64(*n)) : QJsonValue::Null;
        };
        for (const PortResult& r : results) {
            QJsonObject obj = portBase(r);
            obj.insert(QStringLiteral("serial"), qint64(serial));
            obj.insert(QStringLiteral("address"), qint64(address));
            obj.insert(QStringLiteral("serialRead"), number(r.serialRead));
            obj.insert(QStringLiteral("addressRead"), number(r.addressRead));
            ports.append(obj);
        }
    }

private:
    std::uint32_t serial;
    std::uint32_t address;
};

QString help() {
    return QStringLiteral(
        "Usage: korvanectl --port P... set-address --serial N --address M\n"
        "Gives the device with serial number N the address M (1 to 16777215), then reads\n"
        "address and serial number back: it succeeds only when the device answers with\n"
        "both (exit status 1 when a device holds other ones, e.g. another serial number).\n"
        "Numbers are decimal, or hexadecimal after 0x.\n");
}

// 1 to the largest number the device holds.
QString numberProblem(const QString& option, const QString& value) {
    const auto n = parseNumber(value);
    const std::uint64_t max = option == QStringLiteral("--serial") ? 0xFFFFFFFFu : 0xFFFFFFu;
    if (!n || *n == 0 || *n > max)
        return QStringLiteral("%1 需要1至%2之间的数，而不是“%3”").arg(option).arg(max).arg(value);
    return {};
}

constexpr CommandOption options[] = {
    {.name = "--serial", .takesValue = true, .problem = numberProblem},
    {.name = "--address", .takesValue = true, .problem = numberProblem},
};

QString checkOptions(Options& o) {
    if (!o.args.has("--serial") || !o.args.has("--address"))
        return QStringLiteral("set-address 需要 --serial 和 --address");
    return {};
}

Prepared prepare(Options& o, Console&) {
    return {std::make_unique<SetAddressRun>(o)};
}

} // namespace

extern const CommandDef setAddressCommand{
    .name = "set-address",
    .synopsis = "  set-address --serial N --address M\n"
                "                               give the device with serial N the address M\n",
    .help = help,
    .options = options,
    .ports = PortUse::Needed,
    .takesFile = false,
    .checkOptions = checkOptions,
    .prepare = prepare,
};

} // namespace korvane::cli
