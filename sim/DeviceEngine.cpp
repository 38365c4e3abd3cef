// SPDX-License-Identifier: MIT
#include "sim/DeviceEngine.h"

#include <utility>

namespace korvane::sim {
namespace {

enum Code : std::uint8_t {
    SetAddress = 0x07,
    ReadAddress = 0x08,
    ReadSerialNumber = 0x18,
    WritePortParams = 0x27,
    ReadPortParams = 0x28,
    WriteGps = 0x37,
    ReadGps = 0x38,
    WriteTrunkAttributes = 0x47,
    ReadTrunkAttributes = 0x48,
    WriteTrunkDelay = 0x57,
    ReadTrunkDelay = 0x58,
    WriteScheduleBlock = 0x87,
};

bool isWriteCode(std::uint8_t code) {
    return code == SetAddress || isAddressedCode(code) || code == WriteScheduleBlock;
}

void appendLittleEndian(ByteBuffer& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
}

std::uint32_t littleEndian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        value |= std::uint32_t(bytes[i]) << (8 * i);
    return value;
}

bool storeSection(ByteBuffer& section, const ByteBuffer& payload, std::size_t length) {
    if (payload.size() != length)
        return false;
    section = payload;
    return true;
}

} // namespace

DeviceEngine::DeviceEngine(DeviceState state) {
    setState(std::move(state));
}

void DeviceEngine::setState(DeviceState state) {
    m_state = std::move(state);
    m_state.fitLengths();
}

QList<Exchange> DeviceEngine::feed(std::span<const std::uint8_t> bytes) {
    QList<Exchange> exchanges;
    for (std::uint8_t b : bytes) {
        if (auto exchange = push(b))
            exchanges.append(std::move(*exchange));
    }
    return exchanges;
}

std::optional<Exchange> DeviceEngine::push(std::uint8_t byte) {
    auto frame = m_splitter.push(byte);
    if (!frame)
        return std::nullopt;
    return handle(*frame);
}

Exchange DeviceEngine::handle(const ReceivedFrame& frame) {
    Exchange exchange;
    exchange.request = frame;
    if (!frame.code || m_faults.silent || m_faults.ignoredCodes.count(*frame.code))
        return exchange;
    const std::uint8_t code = *frame.code;

    if (isWriteCode(code)) {
        const bool stored = m_faults.ignoreWrites || applyWrite(frame);
        exchange.answer = plainFrame(code, ByteBuffer{stored ? WriteAccepted : WriteRefused});
        return exchange;
    }
    if (!frame.payload.empty())
        return exchange;
    ByteBuffer payload = readPayload(code);
    if (payload.empty())
        return exchange;
    exchange.answer = readAnswer(code, std::move(payload));
    exchange.isReadAnswer = true;
    return exchange;
}

ByteBuffer DeviceEngine::readPayload(std::uint8_t code) const {
    ByteBuffer payload;
    switch (code) {
    case ReadAddress:
        appendLittleEndian(payload, m_state.address, 3);
        break;
    case ReadSerialNumber:
        appendLittleEndian(payload, m_state.serialNumber, 4);
        break;
    case ReadPortParams:
        payload = m_state.portParams;
        break;
    case ReadGps:
        payload = m_state.gps;
        break;
    case ReadTrunkAttributes:
        payload = m_state.trunk;
        break;
    case ReadTrunkDelay:
        payload = m_state.trunkDelay;
        if (m_state.model == Model::Korvane)
            payload.resize(TrunkDelayAnswerLengthKorvane);
        break;
    default:
        break;
    }
    return payload;
}

ByteBuffer DeviceEngine::readAnswer(std::uint8_t code, ByteBuffer payload) const {
    switch (m_faults.wrongLength) {
    case SimulatorFaults::Length::Right:
        break;
    case SimulatorFaults::Length::OneLonger:
        payload.push_back(0x00);
        break;
    case SimulatorFaults::Length::OneShorter:
        if (!payload.empty())
            payload.pop_back();
        break;
    }
    ByteBuffer answer = plainFrame(code, payload);
    // Payload 0x7F bytes travel escaped, so without its end byte the answer can no
    // longer end in 0x7F.
    if (m_faults.badEnd)
        answer.pop_back();
    return answer;
}

bool DeviceEngine::applyWrite(const ReceivedFrame& frame) {
    const std::uint8_t code = *frame.code;
    const ByteBuffer& payload = frame.payload;

    if (code == SetAddress) {
        if (payload.size() != 7)
            return false;
        if (littleEndian(std::span(payload).first(4)) != m_state.serialNumber)
            return false;
        m_state.address = littleEndian(std::span(payload).subspan(4, 3));
        return true;
    }
    if (code == WriteScheduleBlock) {
        if (payload.size() != ScheduleBlockPayloadLength)
            return false;
        if (littleEndian(std::span(payload).first(3)) != m_state.address)
            return false;
        m_state.scheduleBlocks[payload[3]] = ByteBuffer(payload.begin() + 4, payload.end());
        return true;
    }

    if (!frame.address || *frame.address != m_state.address)
        return false;
    switch (code) {
    case WritePortParams:
        return storeSection(m_state.portParams, payload, portPayloadLength(m_state.model));
    case WriteGps:
        return storeSection(m_state.gps, payload, GpsPayloadLength);
    case WriteTrunkAttributes:
        return storeSection(m_state.trunk, payload, TrunkPayloadLength);
    case WriteTrunkDelay:
        return storeSection(m_state.trunkDelay, payload, TrunkDelayPayloadLength);
    default:
        return false;
    }
}

} // namespace korvane::sim
