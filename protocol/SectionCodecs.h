// SPDX-License-Identifier: MIT
#pragma once
// Payloads of the small sections: device address, serial number, GPS, trunk
// attributes and trunk delay. Decoders take the unescaped response frame (start
// and end bytes included) and give nothing when its length is not the expected one.
//
// Model integers map to the wire as: 0 is the first state of a field, any other
// value the second (a TrunkPort other than 1 or 2 is sent as automatic).

#include "config/DeviceConfiguration.h"
#include "files/ScheduleFile.h"
#include "link/FrameCodec.h"

#include <cstdint>
#include <optional>
#include <span>

namespace korvane {

// setAddress: the serial number of the device to address, then its new address
// (low 24 bits).
ByteBuffer encodeSetAddress(std::uint32_t serialNumber, std::uint32_t address);
std::optional<std::uint32_t> decodeReadAddress(std::span<const std::uint8_t> frame);
std::optional<std::uint32_t> decodeReadSerialNumber(std::span<const std::uint8_t> frame);

ByteBuffer encodeWriteGps(const GpsParams& gps);
std::optional<GpsParams> decodeReadGps(std::span<const std::uint8_t> frame);

ByteBuffer encodeWriteTrunkAttributes(const TrunkParams& trunk);
// current with TrunkPort, ClockPolarity, DataPolarity and CarrierLevel replaced.
std::optional<TrunkParams> decodeReadTrunkAttributes(std::span<const std::uint8_t> frame,
                                                     const TrunkParams& current);

// Always 7 bytes, cycle B included, whatever the model. Cycles keep their low 24 bits.
ByteBuffer encodeWriteTrunkDelay(const TrunkParams& trunk);
// current with DelayEnabled and DelayCyclesA replaced, and DelayCyclesB for
// "KORVANEA/B" (a "KORVANE" response does not carry it). Throws KorvaneError for an
// unknown model.
std::optional<TrunkParams> decodeReadTrunkDelay(std::span<const std::uint8_t> frame,
                                                const QString& model, const TrunkParams& current);

// An entry past the end of the table.
inline constexpr std::uint8_t NoScheduleEntry = 0xFF;
inline constexpr int ScheduleBlockPayloadSize = int(AddressLength) + 1 + ScheduleBlockEntries;
// Payload of WriteScheduleBlock: the address as 24 bits, low byte first, the block
// number, then the block's 64 entries, 0xFF past the end of the table.
std::vector<std::uint8_t> scheduleBlockPayload(std::uint32_t address, int block,
                                               const ScheduleTable& table);

} // namespace korvane
