// SPDX-License-Identifier: MIT
#pragma once
// Rate words: the 16-bit divisor codes the device takes for a port's bit rate.
// Port 1 has two words (a base-rate code with a remainder flag in bit 15, and a
// divisor); ports 2 to 24 have one each. 0xFFFF marks an unassigned port, so no
// rate may encode to it; a rate whose word would not fit is refused, never cut.

#include <QString>

#include <cstdint>
#include <optional>

namespace korvane {

inline constexpr std::uint16_t UnassignedRateWord = 0xFFFF;

// The rates whose words fit; outside them encoding refuses.
inline constexpr int MinFirstPortRate = 282;
inline constexpr int MaxFirstPortRate = 6553599;
inline constexpr int MinPortRate = 71;
inline constexpr int MaxPortRate = 4608000;

struct FirstPortRateWords {
    std::uint16_t base;    // rate word 0
    std::uint16_t divisor; // rate word 1
    bool operator==(const FirstPortRateWords&) const = default;
};

// Port 1 at rate bit/s; nothing when a word would not fit or would be 0xFFFF.
std::optional<FirstPortRateWords> encodeFirstPortRate(int rate) noexcept;
// Ports 2 to 24.
std::optional<std::uint16_t> encodePortRate(int rate) noexcept;

// The rate a device reports. Port 1 reads its rate from the base word alone.
int decodeFirstPortRate(std::uint16_t base) noexcept;
int decodePortRate(std::uint16_t word) noexcept;

// The Rate text of a decoded port: a POCSAG port at exactly 400 bit/s shows 512.
QString rateText(int rate, bool pocsag);

} // namespace korvane
