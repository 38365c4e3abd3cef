// SPDX-License-Identifier: MIT
#include "link/FrameCodec.h"

#include <array>
#include <cstring>

namespace korvane {
namespace {

constexpr std::array<std::uint64_t, 4> makeEscapeTable() {
    std::array<std::uint64_t, 4> table{};
    for (unsigned v : {0x7Cu, 0x7Eu, 0x7Fu})
        table[v / 64] |= std::uint64_t{1} << (v % 64);
    return table;
}

constexpr std::array<std::uint64_t, 4> EscapeTable = makeEscapeTable();

std::size_t writePayload(std::span<const std::uint8_t> payload, std::uint8_t* out) noexcept {
    std::size_t n = 0;
    for (std::uint8_t b : payload) {
        if (isEscaped(b)) {
            out[n++] = FrameEscape;
            out[n++] = static_cast<std::uint8_t>(b ^ FrameEscapeMask);
        } else {
            out[n++] = b;
        }
    }
    return n;
}

int build(std::uint8_t code, const std::uint32_t* address, std::span<const std::uint8_t> payload,
          std::span<std::uint8_t> destination) noexcept {
    const std::size_t needed = frameLength(payload, address != nullptr);
    if (needed > destination.size())
        return -1;
    std::uint8_t* out = destination.data();
    std::size_t n = 0;
    out[n++] = FrameStart;
    out[n++] = code;
    if (address) {
        for (const std::uint8_t b : addressBytes(*address))
            out[n++] = b;
    }
    n += writePayload(payload, out + n);
    out[n++] = FrameEnd;
    return static_cast<int>(n);
}

bool validCount(const ByteBuffer& payload, int count) noexcept {
    return count >= 0 && static_cast<std::size_t>(count) <= payload.size();
}

} // namespace

std::array<std::uint8_t, AddressLength> addressBytes(std::uint32_t address) noexcept {
    return {static_cast<std::uint8_t>(address & 0xFF),
            static_cast<std::uint8_t>((address >> 8) & 0xFF),
            static_cast<std::uint8_t>((address >> 16) & 0xFF)};
}

bool isEscaped(std::uint8_t value) noexcept {
    return (EscapeTable[value / 64] >> (value % 64)) & 1u;
}

std::size_t frameLength(std::span<const std::uint8_t> payload, bool addressed) noexcept {
    std::size_t n = addressed ? 6 : 3;
    for (std::uint8_t b : payload)
        n += isEscaped(b) ? 2 : 1;
    return n;
}

int buildPlainFrame(std::uint8_t code, const ByteBuffer& payload, int count,
                    std::span<std::uint8_t> destination) noexcept {
    if (!validCount(payload, count))
        return -1;
    return build(code, nullptr, std::span(payload).first(static_cast<std::size_t>(count)),
                 destination);
}

int buildAddressedFrame(std::uint32_t address, std::uint8_t code,
                        std::span<std::uint8_t> destination, int count,
                        const ByteBuffer& payload) noexcept {
    if (!validCount(payload, count))
        return -1;
    return build(code, &address, std::span(payload).first(static_cast<std::size_t>(count)),
                 destination);
}

ByteBuffer plainFrame(std::uint8_t code, std::span<const std::uint8_t> payload) {
    ByteBuffer frame(frameLength(payload, false));
    build(code, nullptr, payload, frame);
    return frame;
}

ByteBuffer addressedFrame(std::uint32_t address, std::uint8_t code,
                          std::span<const std::uint8_t> payload) {
    ByteBuffer frame(frameLength(payload, true));
    build(code, &address, payload, frame);
    return frame;
}

bool checkFrame(const std::uint8_t* data, std::size_t length) noexcept {
    return length > 0 && data[0] == FrameStart && data[length - 1] == FrameEnd;
}

bool isAcceptableFrame(std::span<const std::uint8_t> raw) noexcept {
    return raw.size() <= MaxReceivedFrameLength && checkFrame(raw.data(), raw.size());
}

std::size_t unescapeFrame(const std::uint8_t* source, std::uint8_t* destination,
                          std::size_t length) noexcept {
    if (length == 0)
        return 0;
    std::size_t n = 0;
    destination[n++] = source[0];
    if (length == 1)
        return n;
    bool pending = false;
    for (std::size_t i = 1; i + 1 < length; ++i) {
        const std::uint8_t b = source[i];
        if (pending) {
            destination[n++] = static_cast<std::uint8_t>(b ^ FrameEscapeMask);
            pending = false;
        } else if (b == FrameEscape) {
            pending = true;
        } else {
            destination[n++] = b;
        }
    }
    destination[n++] = source[length - 1];
    return n;
}

ByteBuffer unescapeFrame(std::span<const std::uint8_t> raw) {
    ByteBuffer out(raw.size());
    out.resize(unescapeFrame(raw.data(), out.data(), raw.size()));
    return out;
}

} // namespace korvane
