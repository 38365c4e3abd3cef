// SPDX-License-Identifier: MIT
#include "link/Rfc2217Codec.h"

namespace korvane::rfc2217 {

namespace {

void appendEscaped(ByteBuffer& out, std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t b : bytes) {
        out.push_back(b);
        if (b == Iac)
            out.push_back(Iac);
    }
}

} // namespace

ByteBuffer escapeData(std::span<const std::uint8_t> data) {
    ByteBuffer out;
    out.reserve(data.size() + 8);
    appendEscaped(out, data);
    return out;
}

ByteBuffer subnegotiation(Command command, std::span<const std::uint8_t> value) {
    ByteBuffer out{Iac, Sb, OptionComPort};
    const std::uint8_t code = command;
    appendEscaped(out, std::span(&code, 1));
    appendEscaped(out, value);
    out.push_back(Iac);
    out.push_back(Se);
    return out;
}

std::array<std::uint8_t, 4> baudRateValue(std::uint32_t baudRate) {
    return {std::uint8_t(baudRate >> 24), std::uint8_t(baudRate >> 16), std::uint8_t(baudRate >> 8),
            std::uint8_t(baudRate)};
}

std::optional<std::uint32_t> baudRateOf(std::span<const std::uint8_t> value) {
    if (value.size() != 4)
        return std::nullopt;
    return std::uint32_t(value[0]) << 24 | std::uint32_t(value[1]) << 16 |
           std::uint32_t(value[2]) << 8 | std::uint32_t(value[3]);
}

bool TelnetClient::wantedLocally(std::uint8_t option) noexcept {
    return option == OptionBinary || option == OptionSuppressGoAhead || option == OptionComPort;
}

bool TelnetClient::wantedRemotely(std::uint8_t option) noexcept {
    return option == OptionBinary || option == OptionSuppressGoAhead;
}

ByteBuffer TelnetClient::start() {
    m_local.fill(State::No);
    m_remote.fill(State::No);
    m_comPortRefused = false;
    m_suspended = false;
    m_parse = Parse::Data;
    m_sub.clear();
    m_subTooLong = false;
    for (const std::uint8_t option : {OptionBinary, OptionSuppressGoAhead, OptionComPort})
        m_local[option] = State::WantYes;
    for (const std::uint8_t option : {OptionBinary, OptionSuppressGoAhead})
        m_remote[option] = State::WantYes;
    // One fixed array: GCC 12's optimiser warns falsely on growing a vector piece by piece.
    static constexpr std::array<std::uint8_t, 15> requests{
        Iac, Will, OptionBinary, Iac, Will, OptionSuppressGoAhead, Iac, Will, OptionComPort,
        Iac, Do,   OptionBinary, Iac, Do,   OptionSuppressGoAhead};
    return ByteBuffer(requests.begin(), requests.end());
}

void TelnetClient::negotiate(std::uint8_t verb, std::uint8_t option, Decoded& out) {
    const bool local = verb == Do || verb == Dont;
    State& state = local ? m_local[option] : m_remote[option];
    const bool wanted = local ? wantedLocally(option) : wantedRemotely(option);
    const bool enable = verb == Do || verb == Will;
    const std::uint8_t yes = local ? Will : Do;
    const std::uint8_t no = local ? Wont : Dont;
    if (enable) {
        if (state == State::Yes)
            return; // already in effect: no answer
        if (!wanted) {
            out.reply.insert(out.reply.end(), {Iac, no, option});
            return;
        }
        if (state == State::No)
            out.reply.insert(out.reply.end(), {Iac, yes, option});
        state = State::Yes;
        return;
    }
    // A refusal, or the end of an option in effect.
    if (state == State::Yes)
        out.reply.insert(out.reply.end(), {Iac, no, option});
    if (state != State::No && local && option == OptionComPort)
        m_comPortRefused = true;
    state = State::No;
}

void TelnetClient::finishSubnegotiation(Decoded& out) {
    if (m_subTooLong || m_sub.size() < 2 || m_sub[0] != OptionComPort)
        return;
    const std::uint8_t code = m_sub[1];
    if (code < ServerOffset)
        return;
    const auto command = static_cast<Command>(code - ServerOffset);
    switch (command) {
    case NotifyLineState:
    case NotifyModemState:
        return;
    case FlowControlSuspend:
        m_suspended = true;
        return;
    case FlowControlResume:
        m_suspended = false;
        return;
    default:
        break;
    }
    if (code > ServerOffset + PurgeData)
        return;
    out.answers.push_back({command, ByteBuffer(m_sub.begin() + 2, m_sub.end())});
}

void TelnetClient::feed(std::span<const std::uint8_t> bytes, Decoded& out) {
    for (const std::uint8_t b : bytes) {
        switch (m_parse) {
        case Parse::Data:
            if (b == Iac)
                m_parse = Parse::Command;
            else
                out.data.push_back(b);
            break;
        case Parse::Command:
            if (b == Iac) {
                out.data.push_back(Iac);
                m_parse = Parse::Data;
            } else if (b >= Will) {
                m_verb = b;
                m_parse = Parse::Option;
            } else if (b == Sb) {
                m_sub.clear();
                m_subTooLong = false;
                m_parse = Parse::Sub;
            } else {
                m_parse = Parse::Data; // NOP, GA, a stray SE and the like: nothing to do
            }
            break;
        case Parse::Option:
            negotiate(m_verb, b, out);
            m_parse = Parse::Data;
            break;
        case Parse::Sub:
            if (b == Iac) {
                m_parse = Parse::SubIac;
            } else if (m_sub.size() < MaxOptionValue) {
                m_sub.push_back(b);
            } else {
                m_subTooLong = true;
            }
            break;
        case Parse::SubIac:
            if (b == Iac) {
                if (m_sub.size() < MaxOptionValue)
                    m_sub.push_back(Iac);
                else
                    m_subTooLong = true;
                m_parse = Parse::Sub;
            } else if (b == Se) {
                finishSubnegotiation(out);
                m_parse = Parse::Data;
            } else {
                // A subnegotiation cut short by another command: drop it, take the command.
                m_sub.clear();
                m_parse = Parse::Command;
                const std::uint8_t again[] = {b};
                feed(again, out);
            }
            break;
        }
    }
}

} // namespace korvane::rfc2217
