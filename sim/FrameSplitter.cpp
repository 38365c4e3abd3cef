// SPDX-License-Identifier: MIT
#include "sim/FrameSplitter.h"

#include <utility>

namespace korvane::sim {

bool isAddressedCode(std::uint8_t code) noexcept {
    return code == 0x27 || code == 0x37 || code == 0x47 || code == 0x57;
}

void FrameSplitter::begin() {
    m_frame = ReceivedFrame{};
    m_frame.raw.push_back(FrameStart);
    m_state = State::Code;
    m_addressBytes = 0;
    m_escapePending = false;
}

std::optional<ReceivedFrame> FrameSplitter::push(std::uint8_t byte) {
    if (m_state == State::Address) {
        // Raw address bytes: any value, even the start and end bytes.
        m_frame.raw.push_back(byte);
        *m_frame.address |= std::uint32_t(byte) << (8 * m_addressBytes);
        if (++m_addressBytes == 3)
            m_state = State::Payload;
        return std::nullopt;
    }
    if (byte == FrameStart) {
        begin();
        return std::nullopt;
    }
    if (m_state == State::Idle)
        return std::nullopt;

    m_frame.raw.push_back(byte);
    if (m_frame.raw.size() > MaxRawLength) {
        m_state = State::Idle;
        m_frame = ReceivedFrame{};
        return std::nullopt;
    }
    if (byte == FrameEnd) {
        // An escape left pending before the end byte is dropped.
        m_state = State::Idle;
        return std::exchange(m_frame, ReceivedFrame{});
    }
    if (m_state == State::Code) {
        m_frame.code = byte;
        if (isAddressedCode(byte)) {
            m_frame.address = 0;
            m_state = State::Address;
        } else {
            m_state = State::Payload;
        }
        return std::nullopt;
    }
    if (m_escapePending) {
        m_frame.payload.push_back(static_cast<std::uint8_t>(byte ^ FrameEscapeMask));
        m_escapePending = false;
    } else if (byte == FrameEscape) {
        m_escapePending = true;
    } else {
        m_frame.payload.push_back(byte);
    }
    return std::nullopt;
}

} // namespace korvane::sim
