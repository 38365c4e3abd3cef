// SPDX-License-Identifier: MIT
#pragma once
// The simulated device without any I/O: bytes from the line go in, the frames they
// complete come out together with the device's answer. Pure and synchronous, so its
// behaviour is tested byte for byte; SimulatorHost puts it on a pseudo-terminal.
//
// Answers:
// - Read requests (the empty plain frames 7E 08/18/28/38/48/58 7F) get 7E, the same
//   code, the section payload escaped, 7F. A read with a payload is not answered.
// - Every write (0x07, 0x27, 0x37, 0x47, 0x57, 0x87) gets 7E, the same code, one
//   status byte, 7F: 0x55 (WriteAccepted) when it was stored, 0xAA (WriteRefused)
//   when it was not (another address, another serial number, wrong payload length).
// - Unknown codes and the empty frame 7E 7F are not answered.
// Not thread-safe; SimulatorHost guards it with its own lock.

#include "sim/DeviceState.h"
#include "sim/FrameSplitter.h"

#include <QList>

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <utility>

namespace korvane::sim {

inline constexpr std::uint8_t WriteAccepted = 0x55;
inline constexpr std::uint8_t WriteRefused = 0xAA;

// Faults the device can be told to show.
struct SimulatorFaults {
    enum class Length { Right, OneLonger, OneShorter };

    bool silent = false;                 // nothing answered, nothing stored
    std::set<std::uint8_t> ignoredCodes; // these codes neither answered nor stored
    bool badEnd = false;                 // read answers lack the end byte 0x7F
    Length wrongLength = Length::Right;  // read answers carry a payload byte more
                                         // (0x00 before the end) or one less
    int splitMs = 0;           // read answers paused this long after their first ten bytes
                               // (after half of a shorter answer); carried out by the host
    bool ignoreWrites = false; // writes acknowledged as taken, nothing stored

    // The two most wanted, without designated initialisers (-Wmissing-field-initializers).
    static SimulatorFaults fullySilent() {
        SimulatorFaults f;
        f.silent = true;
        return f;
    }
    static SimulatorFaults ignoring(std::set<std::uint8_t> codes) {
        SimulatorFaults f;
        f.ignoredCodes = std::move(codes);
        return f;
    }

    bool operator==(const SimulatorFaults&) const = default;
};

// One frame taken from the line and what the device answers to it.
struct Exchange {
    ReceivedFrame request;
    ByteBuffer answer;         // raw bytes for the line; empty when nothing is answered
    bool isReadAnswer = false; // the answer is a read answer, subject to splitMs
};

class DeviceEngine {
public:
    explicit DeviceEngine(DeviceState state = DeviceState{});

    // Feeds line bytes; returns every frame they complete, in order.
    QList<Exchange> feed(std::span<const std::uint8_t> bytes);
    // One byte at a time, for callers that answer each frame before reading on.
    std::optional<Exchange> push(std::uint8_t byte);

    // The answer to one complete frame, changing the state as the device would.
    Exchange handle(const ReceivedFrame& frame);

    const DeviceState& state() const noexcept { return m_state; }
    void setState(DeviceState state); // lengths fitted to the model

    const SimulatorFaults& faults() const noexcept { return m_faults; }
    void setFaults(SimulatorFaults faults) { m_faults = std::move(faults); }

private:
    ByteBuffer readPayload(std::uint8_t code) const;
    bool applyWrite(const ReceivedFrame& frame);
    ByteBuffer readAnswer(std::uint8_t code, ByteBuffer payload) const;

    DeviceState m_state;
    SimulatorFaults m_faults;
    FrameSplitter m_splitter;
};

} // namespace korvane::sim
