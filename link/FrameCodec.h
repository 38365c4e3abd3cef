// SPDX-License-Identifier: MIT
#pragma once
// Device frame codec: pure functions on byte buffers, no state, no allocation
// except where a function returns a new array.
//
// A frame is 0x7E, command byte, [three address bytes, low first], payload with
// 0x7C/0x7E/0x7F escaped as 0x7C (b ^ 0xAA), 0x7F. The command and address bytes
// are never escaped.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace korvane {

// The payload type of every command: a growable array of bytes.
using ByteBuffer = std::vector<std::uint8_t>;

inline constexpr std::uint8_t FrameStart = 0x7E;
inline constexpr std::uint8_t FrameEnd = 0x7F;
inline constexpr std::uint8_t FrameEscape = 0x7C;
inline constexpr std::uint8_t FrameEscapeMask = 0xAA;

// Received frames are judged only up to this raw length.
inline constexpr std::size_t MaxReceivedFrameLength = 300;

// True when the payload byte must travel escaped (one bit lookup in a 256-bit table).
bool isEscaped(std::uint8_t value) noexcept;

// Worst case frame length for a payload of count bytes: every byte escaped.
constexpr std::size_t maxFrameLength(std::size_t count, bool addressed) noexcept {
    return (addressed ? 6 : 3) + 2 * count;
}

// Exact frame length for the first count bytes of payload.
std::size_t frameLength(std::span<const std::uint8_t> payload, bool addressed) noexcept;

// Write the plain frame for the first count bytes of payload into destination.
// Returns the frame length, or -1 (writing nothing) when count is negative or larger
// than the payload, or the frame does not fit destination.
int buildPlainFrame(std::uint8_t code, const ByteBuffer& payload, int count,
                    std::span<std::uint8_t> destination) noexcept;

// A device address on the wire: bits 0-7, 8-15, 16-23. The addressed frames, the
// set-address command and the schedule blocks carry it so.
inline constexpr std::size_t AddressLength = 3;
std::array<std::uint8_t, AddressLength> addressBytes(std::uint32_t address) noexcept;

// Addressed form: the address bytes follow the command byte.
int buildAddressedFrame(std::uint32_t address, std::uint8_t code,
                        std::span<std::uint8_t> destination, int count,
                        const ByteBuffer& payload) noexcept;

// Convenience forms sized from the input; they cannot overrun.
ByteBuffer plainFrame(std::uint8_t code, std::span<const std::uint8_t> payload);
ByteBuffer addressedFrame(std::uint32_t address, std::uint8_t code,
                          std::span<const std::uint8_t> payload);

// True when byte 0 is 0x7E and the last byte is 0x7F (length 0 is false).
bool checkFrame(const std::uint8_t* data, std::size_t length) noexcept;

// checkFrame plus the raw length limit of received frames.
bool isAcceptableFrame(std::span<const std::uint8_t> raw) noexcept;

// Unescape everything between the first and the last byte. The destination needs
// length bytes at most. Returns the unescaped length (start and end byte included).
std::size_t unescapeFrame(const std::uint8_t* source, std::uint8_t* destination,
                          std::size_t length) noexcept;
ByteBuffer unescapeFrame(std::span<const std::uint8_t> raw);

} // namespace korvane
