// SPDX-License-Identifier: MIT
#pragma once
// Cuts the byte stream from the line into frames, the way the device reads it:
// 0x7E starts a frame, the next byte is the command code, for the addressed write
// codes (0x27, 0x37, 0x47, 0x57) the next three bytes are the raw address, and the
// payload runs, unescaped on the fly, to the next 0x7F. The code and address bytes are
// taken as they stand even when they are 0x7C, 0x7E or 0x7F, because the sender does
// not escape them. Bytes outside a frame are dropped; a 0x7E inside the payload starts
// a new frame; a frame longer than MaxRawLength is dropped.
// Not thread-safe; one splitter per line.

#include "link/FrameCodec.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace korvane::sim {

struct ReceivedFrame {
    ByteBuffer raw;                       // as received, 0x7E to 0x7F
    std::optional<std::uint8_t> code;     // none for the empty frame 7E 7F
    std::optional<std::uint32_t> address; // addressed write codes only
    ByteBuffer payload;                   // unescaped
};

// True for the write codes that carry the device address after the command byte.
bool isAddressedCode(std::uint8_t code) noexcept;

class FrameSplitter {
public:
    // Longer than any frame the device is sent (327 bytes), short of unbounded.
    static constexpr std::size_t MaxRawLength = 512;

    // Takes one byte; returns the frame it completes.
    std::optional<ReceivedFrame> push(std::uint8_t byte);

    // True while a frame has begun and not ended.
    bool inFrame() const noexcept { return m_state != State::Idle; }

private:
    enum class State { Idle, Code, Address, Payload };

    void begin();

    State m_state = State::Idle;
    ReceivedFrame m_frame;
    int m_addressBytes = 0;
    bool m_escapePending = false;
};

} // namespace korvane::sim
