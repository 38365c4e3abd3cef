// SPDX-License-Identifier: MIT
#pragma once
// Helpers for writing byte vectors in the protocol tests.

#include "link/FrameCodec.h"

#include <QByteArray>

#include <initializer_list>

namespace korvane::testing {

inline ByteBuffer Bytes(std::initializer_list<int> values) {
    ByteBuffer out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

inline ByteBuffer Concat(std::initializer_list<ByteBuffer> parts) {
    ByteBuffer out;
    for (const ByteBuffer& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline ByteBuffer Repeat(int value, std::size_t count) {
    return ByteBuffer(count, static_cast<std::uint8_t>(value));
}

// An unescaped response: start byte, the given second byte, payload, end byte.
inline ByteBuffer response(int second, const ByteBuffer& payload) {
    return Concat({Bytes({0x7E, second}), payload, Bytes({0x7F})});
}

// Readable failure output: "7e 28 7f".
inline QByteArray Hex(const ByteBuffer& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())).toHex(' ');
}

} // namespace korvane::testing
