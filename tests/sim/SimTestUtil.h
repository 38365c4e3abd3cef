// SPDX-License-Identifier: MIT
#pragma once
// Small helpers shared by the simulator tests.

#include "link/FrameCodec.h"

#include <QByteArray>
#include <QMetaType>

#include <initializer_list>

namespace simtest {

inline korvane::ByteBuffer bytes(std::initializer_list<int> values) {
    korvane::ByteBuffer out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

inline korvane::ByteBuffer repeated(std::size_t count, int value) {
    return korvane::ByteBuffer(count, static_cast<std::uint8_t>(value));
}

inline korvane::ByteBuffer concat(std::initializer_list<korvane::ByteBuffer> parts) {
    korvane::ByteBuffer out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The byte values first, first + 1, ..., last.
inline korvane::ByteBuffer range(int first, int last) {
    korvane::ByteBuffer out;
    for (int v = first; v <= last; ++v)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

inline QByteArray hex(const korvane::ByteBuffer& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())).toHex(' ');
}

} // namespace simtest
