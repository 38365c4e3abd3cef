// SPDX-License-Identifier: MIT
#pragma once
// What the simulated Korvane remembers: identity, the raw section payloads exactly as
// the device answers them, and the timing schedule blocks it was sent. Plain value
// type without locking; the host hands out copies.

#include "link/FrameCodec.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>

namespace korvane::sim {

enum class Model { Korvane, KorvaneAB };

// "KORVANE" or "KORVANEA/B".
QString modelLabel(Model model);
// Exact label, case ignored; nothing for any other text.
std::optional<Model> modelFromLabel(const QString& label);

inline constexpr std::size_t PortPayloadLengthKorvane = 89;
inline constexpr std::size_t PortPayloadLengthKorvaneAB = 161;
inline constexpr std::size_t GpsPayloadLength = 2;
inline constexpr std::size_t TrunkPayloadLength = 5;
inline constexpr std::size_t TrunkDelayPayloadLength = 7;
// A KORVANE answers only the enable byte and cycle A of the trunk delay.
inline constexpr std::size_t TrunkDelayAnswerLengthKorvane = 4;
inline constexpr std::size_t ScheduleBlockEntries = 64;
inline constexpr std::size_t ScheduleBlockPayloadLength = 3 + 1 + ScheduleBlockEntries;
inline constexpr std::uint32_t AddressMask = 0xFFFFFF;

constexpr std::size_t portPayloadLength(Model model) {
    return model == Model::Korvane ? PortPayloadLengthKorvane : PortPayloadLengthKorvaneAB;
}

// The port payload a device comes up with: five ports in use (1 to 5 on channels 5,
// 12, 7, 127, 20), the rest unassigned. Port 4's channel byte 0x7E and rate word
// 0x077F, and on KORVANEA/B port 3's delay 0x00007C, travel escaped.
ByteBuffer initialPortPayload(Model model);

// Default-constructed, the state is a KORVANE as it comes up without a state file:
// address 1, serial 100001, the initial ports, GPS on, trunk automatic, delay on.
struct DeviceState {
    Model model = Model::Korvane;
    std::uint32_t address = 1; // 24 bits
    std::uint32_t serialNumber = 100001;
    ByteBuffer portParams = initialPortPayload(Model::Korvane);      // portPayloadLength(model)
    ByteBuffer gps{0x55, 0x55};                                      // enabled, positive
    ByteBuffer trunk{0x55, 0xAA, 0x55, 0x55, 0x55};                  // automatic, positive, high
    ByteBuffer trunkDelay{0x55, 0x10, 0x00, 0x00, 0x20, 0x00, 0x00}; // on, A 16, B 32
    std::map<std::uint8_t, ByteBuffer> scheduleBlocks;               // block number -> 64 entries

    // The start state of the given model.
    static DeviceState initial(Model model);

    // Switches the model and fits the port payload to it: the initial payload becomes
    // the new model's initial one; any other loses its per-port delays for KORVANE,
    // or gains zero delays for KORVANEA/B.
    void setModel(Model newModel);

    // Pads with zeros or cuts every section to its length for the model, so that a
    // state filled in by hand cannot make an answer of the wrong size.
    void fitLengths();

    bool operator==(const DeviceState&) const = default;
};

} // namespace korvane::sim
