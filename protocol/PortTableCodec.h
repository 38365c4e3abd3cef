// SPDX-License-Identifier: MIT
#pragma once
// The port parameter payload: WritePortParams request, ReadPortParams response.
// 89 bytes for "KORVANE", 161 for "KORVANEA/B", which adds a 24-bit delay per port.

#include "config/DeviceConfiguration.h"
#include "link/FrameCodec.h"
#include "protocol/Commands.h"

#include <cstddef>
#include <optional>
#include <span>

namespace korvane {

inline constexpr int PortCount = 24;
inline constexpr std::uint32_t MaxPortDelay = 0xFFFFFF;

// Payload length for a model; throws KorvaneError for an unknown model.
std::size_t portParamsPayloadSize(const QString& model);

// Outcome of encodeWritePortParams: the payload, or why the table cannot be sent.
struct PortTableEncoding {
    ByteBuffer payload; // empty when refused
    std::optional<ErrorBox> error;
    bool isOk() const { return !error.has_value(); }
};

// Encodes the rows, which are expected in ascending port order: ports are walked 1 to
// 24 with a cursor on the rows, and a row out of order leaves the ports it skips
// unassigned. An assigned port sent must have a channel 1 to 256, a rate its rate
// words can carry and, for "KORVANEA/B", a delay of at most FFFFFF; otherwise the
// whole table is refused with a message naming the port and the field, so that
// nothing is sent. A delay text that is not hexadecimal is sent as 0.
// Throws KorvaneError for an unknown model.
PortTableEncoding encodeWritePortParams(const PortTable& rows, const QString& model);

// Decodes an unescaped ReadPortParams response (start and end bytes included) into
// 24 rows, ports 1 to 24. Nothing when the length is not the model's.
// Throws KorvaneError for an unknown model.
std::optional<PortTable> decodeReadPortParams(std::span<const std::uint8_t> frame,
                                              const QString& model);

} // namespace korvane
