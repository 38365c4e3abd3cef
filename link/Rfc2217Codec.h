// SPDX-License-Identifier: MIT
#pragma once
// The client side of a telnet connection with the COM port option (RFC 2217), as a
// pure codec: bytes in, bytes out, no socket. The encoder doubles 0xFF in data and in
// option values; the decoder is a state machine that takes the server's stream cut
// anywhere, hands back the device's data, the answers to our settings and the replies
// the negotiation needs.
//
// Negotiation: the client asks for BINARY and SUPPRESS-GO-AHEAD both ways and offers
// the COM port option (WILL 44); the server's DO 44 accepts it. Every other option is
// refused, and a request for a state already in effect is never answered, so that
// client and server cannot loop.

#include "link/FrameCodec.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace korvane::rfc2217 {

inline constexpr std::uint8_t Iac = 255;
inline constexpr std::uint8_t Dont = 254;
inline constexpr std::uint8_t Do = 253;
inline constexpr std::uint8_t Wont = 252;
inline constexpr std::uint8_t Will = 251;
inline constexpr std::uint8_t Sb = 250;
inline constexpr std::uint8_t Se = 240;

inline constexpr std::uint8_t OptionBinary = 0;
inline constexpr std::uint8_t OptionSuppressGoAhead = 3;
inline constexpr std::uint8_t OptionComPort = 44;

// The client's command codes; the server answers with the code plus ServerOffset.
enum Command : std::uint8_t {
    Signature = 0,
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
    NotifyLineState = 6,
    NotifyModemState = 7,
    FlowControlSuspend = 8,
    FlowControlResume = 9,
    SetLineStateMask = 10,
    SetModemStateMask = 11,
    PurgeData = 12,
};
inline constexpr std::uint8_t ServerOffset = 100;

// Data bytes as they go on the wire: every 0xFF doubled.
ByteBuffer escapeData(std::span<const std::uint8_t> data);
// IAC SB 44 command value IAC SE, with 0xFF doubled in the value.
ByteBuffer subnegotiation(Command command, std::span<const std::uint8_t> value);
// The four bytes of a bit rate, in network order.
std::array<std::uint8_t, 4> baudRateValue(std::uint32_t baudRate);
// The bit rate of an answer's value: four bytes in network order. Nothing otherwise.
std::optional<std::uint32_t> baudRateOf(std::span<const std::uint8_t> value);

// One COM port answer from the server: the client's command code and the value.
struct Answer {
    Command command;
    ByteBuffer value;
    bool operator==(const Answer&) const = default;
};

// What one piece of the server's stream yields.
struct Decoded {
    ByteBuffer data;             // the device's bytes
    ByteBuffer reply;            // to send back to the server, as it is
    std::vector<Answer> answers; // COM port answers, in order; notifications left out
};

class TelnetClient {
public:
    // The requests a new connection starts with. Resets the negotiation state.
    ByteBuffer start();
    // Takes the next bytes from the server, cut anywhere, and adds what they yield.
    void feed(std::span<const std::uint8_t> bytes, Decoded& out);

    // The server took the COM port option (DO 44 after our WILL 44), or refused it.
    bool comPortAccepted() const noexcept { return m_local[OptionComPort] == State::Yes; }
    bool comPortRefused() const noexcept { return m_comPortRefused; }
    // The server asked us to hold our data back (FLOWCONTROL-SUSPEND) and has not
    // resumed yet.
    bool suspended() const noexcept { return m_suspended; }

    // Option values longer than this are dropped; no COM port value comes near it.
    static constexpr std::size_t MaxOptionValue = 64;

private:
    enum class State : std::uint8_t { No, WantYes, Yes };
    enum class Parse : std::uint8_t { Data, Command, Option, Sub, SubIac };

    void negotiate(std::uint8_t verb, std::uint8_t option, Decoded& out);
    void finishSubnegotiation(Decoded& out);
    static bool wantedLocally(std::uint8_t option) noexcept;
    static bool wantedRemotely(std::uint8_t option) noexcept;

    std::array<State, 256> m_local{};  // options we perform (WILL/WONT)
    std::array<State, 256> m_remote{}; // options the server performs (DO/DONT)
    bool m_comPortRefused = false;
    bool m_suspended = false;
    Parse m_parse = Parse::Data;
    std::uint8_t m_verb = 0;
    ByteBuffer m_sub;
    bool m_subTooLong = false;
};

} // namespace korvane::rfc2217
