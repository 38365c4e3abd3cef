// SPDX-License-Identifier: MIT
#include "protocol/SectionCodecs.h"

#include <algorithm>

#include "protocol/ByteOrder.h"
#include "protocol/Commands.h"

namespace korvane {
namespace {

using wire::Byte55;
using wire::ByteAA;

// The payload of a response of exactly the length code expects, or nothing.
std::optional<std::span<const std::uint8_t>>
payloadOf(std::span<const std::uint8_t> frame, std::uint8_t code, const QString& model = {}) {
    if (frame.size() != expectedResponseLength(code, model))
        return std::nullopt;
    return frame.subspan(2, frame.size() - 3);
}

std::uint8_t flag(bool is55) {
    return is55 ? Byte55 : ByteAA;
}

} // namespace

ByteBuffer encodeSetAddress(std::uint32_t serialNumber, std::uint32_t address) {
    ByteBuffer payload(4, 0);
    wire::putLE(payload, serialNumber, 4);
    const auto encoded = addressBytes(address);
    payload.insert(payload.end(), encoded.begin(), encoded.end());
    return payload;
}

std::optional<std::uint32_t> decodeReadAddress(std::span<const std::uint8_t> frame) {
    const auto payload = payloadOf(frame, command::ReadAddress);
    if (!payload)
        return std::nullopt;
    return wire::getLE(*payload, 3);
}

std::optional<std::uint32_t> decodeReadSerialNumber(std::span<const std::uint8_t> frame) {
    const auto payload = payloadOf(frame, command::ReadSerialNumber);
    if (!payload)
        return std::nullopt;
    return wire::getLE(*payload, 4);
}

ByteBuffer encodeWriteGps(const GpsParams& gps) {
    return {flag(gps.gpsEnabled != 0), flag(gps.gpsPolarity == 0)};
}

std::optional<GpsParams> decodeReadGps(std::span<const std::uint8_t> frame) {
    const auto payload = payloadOf(frame, command::ReadGps);
    if (!payload)
        return std::nullopt;
    GpsParams gps;
    gps.gpsEnabled = (*payload)[0] == Byte55 ? 1 : 0;
    gps.gpsPolarity = (*payload)[1] == Byte55 ? 0 : 1;
    return gps;
}

ByteBuffer encodeWriteTrunkAttributes(const TrunkParams& trunk) {
    // The trunk port mode as two marker bytes; any other mode is sent as mode 0.
    const std::uint8_t first = trunk.trunkPort == 1 || trunk.trunkPort == 2 ? ByteAA : Byte55;
    const std::uint8_t second = trunk.trunkPort == 1 ? Byte55 : ByteAA;
    return {first, second, flag(trunk.clockPolarity == 0), flag(trunk.dataPolarity == 0),
            flag(trunk.carrierLevel == 0)};
}

std::optional<TrunkParams> decodeReadTrunkAttributes(std::span<const std::uint8_t> frame,
                                                     const TrunkParams& current) {
    const auto payload = payloadOf(frame, command::ReadTrunkAttributes);
    if (!payload)
        return std::nullopt;
    const auto p = *payload;
    TrunkParams trunk = current;
    trunk.trunkPort = p[0] == Byte55 ? 0 : (p[1] == Byte55 ? 1 : 2);
    trunk.clockPolarity = p[2] == Byte55 ? 0 : 1;
    trunk.dataPolarity = p[3] == Byte55 ? 0 : 1;
    trunk.carrierLevel = p[4] == Byte55 ? 0 : 1;
    return trunk;
}

ByteBuffer encodeWriteTrunkDelay(const TrunkParams& trunk) {
    ByteBuffer payload(7, 0);
    payload[0] = flag(trunk.delayEnabled != 0);
    wire::putLE(std::span(payload).subspan(1), static_cast<std::uint32_t>(trunk.delayCyclesA), 3);
    wire::putLE(std::span(payload).subspan(4), static_cast<std::uint32_t>(trunk.delayCyclesB), 3);
    return payload;
}

std::optional<TrunkParams> decodeReadTrunkDelay(std::span<const std::uint8_t> frame,
                                                const QString& model, const TrunkParams& current) {
    const DeviceLayout layout = layoutOf(model);
    const auto payload = payloadOf(frame, command::ReadTrunkDelay, model);
    if (!payload)
        return std::nullopt;
    const auto p = *payload;
    TrunkParams trunk = current;
    trunk.delayEnabled = p[0] == Byte55 ? 1 : 0;
    trunk.delayCyclesA = static_cast<std::int32_t>(wire::getLE(p.subspan(1), 3));
    if (layout == DeviceLayout::AB)
        trunk.delayCyclesB = static_cast<std::int32_t>(wire::getLE(p.subspan(4), 3));
    return trunk;
}

// The schedule block: its entries after the address and the block number.
std::vector<std::uint8_t> scheduleBlockPayload(std::uint32_t address, int block,
                                               const ScheduleTable& table) {
    std::vector<std::uint8_t> payload(ScheduleBlockPayloadSize, NoScheduleEntry);
    const auto encoded = addressBytes(address);
    std::copy(encoded.begin(), encoded.end(), payload.begin());
    payload[AddressLength] = std::uint8_t(block & 0xFF);
    const qsizetype first = qsizetype(block) * ScheduleBlockEntries;
    for (qsizetype i = 0;
         i < ScheduleBlockEntries && block >= 0 && first + i < qsizetype(table.size()); ++i)
        payload[AddressLength + 1 + std::size_t(i)] = table[std::size_t(first + i)];
    return payload;
}

} // namespace korvane
