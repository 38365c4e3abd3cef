// SPDX-License-Identifier: MIT
#include "sim/DeviceState.h"

#include <array>

namespace korvane::sim {
namespace {

struct InitialPort {
    int port; // 1..24
    int channel;
    bool pocsag;
    std::uint32_t rate;
    bool internalClock;
    bool risingEdge;
    bool positiveData;
    bool on;
    std::uint32_t delay;
};

// Port 3's delay (0x7C) and port 4's channel byte (0x7E) and rate word (0x077F) make
// the port read answer carry escaped bytes, so readers of it meet escaping at once.
constexpr std::array<InitialPort, 5> InitialPorts{{
    {1, 5, true, 1200, true, true, true, true, 0x000100},
    {2, 12, false, 9600, true, true, true, true, 0x000000},
    {3, 7, true, 512, true, true, true, true, 0x00007C},
    {4, 127, false, 2400, true, true, true, true, 0x000200},
    {5, 20, false, 1200, false, false, false, false, 0x000000},
}};

// The device's own copy of the port payload layout. It does not borrow the tool's
// codec on purpose: a wrong offset there must show up as a mismatch, not be mirrored.
constexpr std::size_t ChannelOffset = 50;
constexpr std::size_t PocsagBitmapOffset = 74;
constexpr std::size_t PolarityBitmapOffset = 77;
constexpr std::size_t EdgeBitmapOffset = 80;
constexpr std::size_t ClockBitmapOffset = 83;
constexpr std::size_t OnBitmapOffset = 86;
constexpr std::size_t DelayOffset = 89;

void putWord(ByteBuffer& payload, std::size_t offset, std::uint32_t word) {
    payload[offset] = static_cast<std::uint8_t>(word & 0xFF);
    payload[offset + 1] = static_cast<std::uint8_t>((word >> 8) & 0xFF);
}

void setBit(ByteBuffer& payload, std::size_t bitmapOffset, int port) {
    payload[bitmapOffset + std::size_t(port - 1) / 8] |=
        static_cast<std::uint8_t>(1u << ((port - 1) % 8));
}

} // namespace

ByteBuffer initialPortPayload(Model model) {
    ByteBuffer payload(portPayloadLength(model), 0x00);
    for (std::size_t i = 0; i < ChannelOffset; ++i)
        payload[i] = 0xFF;
    for (std::size_t i = ChannelOffset; i < PocsagBitmapOffset; ++i)
        payload[i] = 0xFF;

    for (const InitialPort& p : InitialPorts) {
        const std::uint32_t twice = 2 * p.rate;
        if (p.port == 1) {
            std::uint32_t word0 = twice / 400 - 1;
            if (36864000 % twice != 0)
                word0 |= 0x8000;
            putWord(payload, 0, word0);
            putWord(payload, 2, 36864000 / twice - 1);
        } else {
            putWord(payload, 2 * std::size_t(p.port), 9216000 / twice - 1);
        }
        payload[ChannelOffset + std::size_t(p.port - 1)] = static_cast<std::uint8_t>(p.channel - 1);
        if (p.pocsag)
            setBit(payload, PocsagBitmapOffset, p.port);
        if (p.positiveData)
            setBit(payload, PolarityBitmapOffset, p.port);
        if (p.risingEdge)
            setBit(payload, EdgeBitmapOffset, p.port);
        if (p.pocsag || p.internalClock)
            setBit(payload, ClockBitmapOffset, p.port);
        if (p.on)
            setBit(payload, OnBitmapOffset, p.port);
        if (model == Model::KorvaneAB) {
            const std::size_t at = DelayOffset + 3 * std::size_t(p.port - 1);
            payload[at] = static_cast<std::uint8_t>(p.delay & 0xFF);
            payload[at + 1] = static_cast<std::uint8_t>((p.delay >> 8) & 0xFF);
            payload[at + 2] = static_cast<std::uint8_t>((p.delay >> 16) & 0xFF);
        }
    }
    return payload;
}

QString modelLabel(Model model) {
    return model == Model::Korvane ? QStringLiteral("KORVANE") : QStringLiteral("KORVANEA/B");
}

std::optional<Model> modelFromLabel(const QString& label) {
    if (label.compare(QLatin1String("KORVANE"), Qt::CaseInsensitive) == 0)
        return Model::Korvane;
    if (label.compare(QLatin1String("KORVANEA/B"), Qt::CaseInsensitive) == 0)
        return Model::KorvaneAB;
    return std::nullopt;
}

DeviceState DeviceState::initial(Model model) {
    DeviceState state;
    state.model = model;
    state.portParams = initialPortPayload(model);
    return state;
}

void DeviceState::setModel(Model newModel) {
    if (portParams == initialPortPayload(model))
        portParams = initialPortPayload(newModel);
    else
        portParams.resize(portPayloadLength(newModel), 0x00);
    model = newModel;
}

void DeviceState::fitLengths() {
    address &= AddressMask;
    portParams.resize(portPayloadLength(model), 0x00);
    gps.resize(GpsPayloadLength, 0x00);
    trunk.resize(TrunkPayloadLength, 0x00);
    trunkDelay.resize(TrunkDelayPayloadLength, 0x00);
    for (auto& [block, entries] : scheduleBlocks)
        entries.resize(ScheduleBlockEntries, 0xFF);
}

} // namespace korvane::sim
