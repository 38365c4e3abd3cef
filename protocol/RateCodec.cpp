// SPDX-License-Identifier: MIT
#include "protocol/RateCodec.h"

namespace korvane {
namespace {

constexpr std::int64_t FirstPortClock = 36864000;
constexpr std::int64_t PortClock = 9216000;
constexpr std::int64_t BaseRateStep = 400;
constexpr int RemainderFlag = 0x8000;

// A word value that fits and is not the unassigned marker.
bool isUsableWord(std::int64_t word) noexcept {
    return word >= 0 && word < UnassignedRateWord;
}

} // namespace

std::optional<FirstPortRateWords> encodeFirstPortRate(int rate) noexcept {
    if (rate <= 0)
        return std::nullopt;
    const std::int64_t twice = 2 * std::int64_t{rate};
    const std::int64_t divisor = FirstPortClock / twice - 1;
    std::int64_t base = twice / BaseRateStep - 1;
    if (base < 0 || base > 0x7FFF || !isUsableWord(divisor))
        return std::nullopt;
    if (FirstPortClock % twice != 0)
        base |= RemainderFlag;
    if (!isUsableWord(base))
        return std::nullopt;
    return FirstPortRateWords{static_cast<std::uint16_t>(base),
                              static_cast<std::uint16_t>(divisor)};
}

std::optional<std::uint16_t> encodePortRate(int rate) noexcept {
    if (rate <= 0)
        return std::nullopt;
    const std::int64_t word = PortClock / (2 * std::int64_t{rate}) - 1;
    if (!isUsableWord(word))
        return std::nullopt;
    return static_cast<std::uint16_t>(word);
}

int decodeFirstPortRate(std::uint16_t base) noexcept {
    return ((base & ~RemainderFlag) + 1) * 200;
}

int decodePortRate(std::uint16_t word) noexcept {
    return static_cast<int>(PortClock / 2 / (std::int64_t{word} + 1));
}

QString rateText(int rate, bool pocsag) {
    if (pocsag && rate == 400)
        return QStringLiteral("512");
    return QString::number(rate);
}

} // namespace korvane
