// SPDX-License-Identifier: MIT
#pragma once
// Little-endian integers and the two yes/no bytes of the device payloads.

#include <cstddef>
#include <cstdint>
#include <span>

namespace korvane::wire {

inline constexpr std::uint8_t Byte55 = 0x55;
inline constexpr std::uint8_t ByteAA = 0xAA;

// Writes the low width bytes of value at out[0..width), low byte first.
inline void putLE(std::span<std::uint8_t> out, std::uint32_t value, std::size_t width) noexcept {
    for (std::size_t i = 0; i < width && i < out.size(); ++i)
        out[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

inline std::uint32_t getLE(std::span<const std::uint8_t> in, std::size_t width) noexcept {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width && i < in.size(); ++i)
        value |= std::uint32_t{in[i]} << (8 * i);
    return value;
}

} // namespace korvane::wire
