// SPDX-License-Identifier: MIT
#pragma once
// The device's command set: command codes, read requests, the response length each
// read expects for each model, and the check every read response passes before it is
// decoded. Pure functions without I/O; the procedures that talk to the device show
// the ErrorBox values these functions hand back.

#include "link/FrameCodec.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace korvane {

namespace command {
inline constexpr std::uint8_t SetAddress = 0x07;
inline constexpr std::uint8_t ReadAddress = 0x08;
inline constexpr std::uint8_t ReadSerialNumber = 0x18;
inline constexpr std::uint8_t WritePortParams = 0x27;
inline constexpr std::uint8_t ReadPortParams = 0x28;
inline constexpr std::uint8_t WriteGps = 0x37;
inline constexpr std::uint8_t ReadGps = 0x38;
inline constexpr std::uint8_t WriteTrunkAttributes = 0x47;
inline constexpr std::uint8_t ReadTrunkAttributes = 0x48;
inline constexpr std::uint8_t WriteTrunkDelay = 0x57;
inline constexpr std::uint8_t ReadTrunkDelay = 0x58;
inline constexpr std::uint8_t WriteScheduleBlock = 0x87;
} // namespace command

// The six read commands, in the order a full device read sends them.
bool isReadCommand(std::uint8_t code) noexcept;

// The two payload layouts a model label selects.
enum class DeviceLayout { Single, AB };

// Layout of a DeviceModel label. Throws KorvaneError("Korvane 版本错误！") for any
// label other than "KORVANE" and "KORVANEA/B".
DeviceLayout layoutOf(const QString& model);

// The model a ReadPortParams response identifies by its unescaped length alone:
// "KORVANE" for 92, "KORVANEA/B" for 164, "0" for anything else.
QString modelFromPortResponseLength(std::size_t length);

// The model the identification probe's raw answer tells: "0" when it is not an
// acceptable frame, else as modelFromPortResponseLength for its unescaped length.
QString modelFromProbeAnswer(std::span<const std::uint8_t> raw);

// The read request: 0x7E, code, 0x7F, without device address.
ByteBuffer readRequest(std::uint8_t code);

// Unescaped response length (start and end bytes included) a read command expects;
// nothing for a command that accepts any response. ReadPortParams and ReadTrunkDelay
// depend on the model and throw KorvaneError for an unknown one.
std::optional<std::size_t> expectedResponseLength(std::uint8_t code, const QString& model);

// What the operator is told when the device does not answer a command.
inline const QString NoAnswerText =
    QStringLiteral("请检查Korvane是否加电，连线是否连上，通讯端口是否设对？");
// What the operator is told when a write-all did not get through.
inline const QString WriteFailedText = QStringLiteral("写入失败！");

// A message box a device procedure shows with the error icon.
struct ErrorBox {
    QString text;
    QString caption;
    bool operator==(const ErrorBox&) const = default;
};

// Outcome of checkReadResponse: the unescaped frame, or the error to show.
struct ReadResponse {
    ByteBuffer frame; // start and end bytes included; empty when refused
    std::optional<ErrorBox> error;
    bool isOk() const { return !error.has_value(); }
};

// Checks a read response in this order: present, framed and at most 300 raw bytes,
// unescaped length as expected for code and model. raw is nothing when the
// transaction got no response. Throws KorvaneError as expectedResponseLength does,
// but only once a well-formed frame has arrived.
ReadResponse checkReadResponse(std::uint8_t code, const QString& model,
                               std::optional<std::span<const std::uint8_t>> raw);

} // namespace korvane
