// SPDX-License-Identifier: MIT
#include "protocol/PortTableCodec.h"

#include "config/DisplayTexts.h"
#include "protocol/ByteOrder.h"
#include "protocol/RateCodec.h"

namespace korvane {
namespace {

constexpr std::size_t SinglePayloadSize = 89;
constexpr std::size_t ABPayloadSize = 161;

constexpr std::size_t ChannelOffset = 50;
constexpr std::size_t PocsagBits = 74;
constexpr std::size_t PositivePolarityBits = 77;
constexpr std::size_t RisingEdgeBits = 80;
constexpr std::size_t InternalClockBits = 83;
constexpr std::size_t PortOnBits = 86;
constexpr std::size_t DelayOffset = 89;

constexpr int MinChannel = 1;
constexpr int MaxChannel = 256;
constexpr std::uint8_t UnassignedChannel = 0xFF;

std::size_t rateWordOffset(int word) {
    return 2 * static_cast<std::size_t>(word);
}

std::size_t delayOffset(int port) {
    return DelayOffset + 3 * static_cast<std::size_t>(port - 1);
}

void setBit(ByteBuffer& payload, std::size_t bitmap, int port) {
    payload[bitmap + static_cast<std::size_t>(port - 1) / 8] |=
        static_cast<std::uint8_t>(1u << ((port - 1) % 8));
}

bool bit(std::span<const std::uint8_t> payload, std::size_t bitmap, int port) {
    return (payload[bitmap + static_cast<std::size_t>(port - 1) / 8] >> ((port - 1) % 8)) & 1u;
}

ErrorBox refusal(int port, const QString& field, const QString& value, const QString& rule) {
    return ErrorBox{QStringLiteral("端口%1的%2\"%3\"无效，%4。").arg(port).arg(field, value, rule),
                    text::CaptionKorvane};
}

QString rangeRule(int low, int high) {
    return QStringLiteral("应为%1至%2之间的整数").arg(low).arg(high);
}

bool isHexDigits(const QString& s) {
    if (s.isEmpty())
        return false;
    for (QChar c : s) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f')))
            return false;
    }
    return true;
}

// The delay to send for a delay text: 0 for text that is not hexadecimal, nothing
// for a hexadecimal number over 24 bits (which must not be cut to its low bits).
std::optional<std::uint32_t> delayValue(const QString& delay) {
    if (const std::optional<std::uint32_t> value = hexValue(delay))
        return *value <= MaxPortDelay ? value : std::nullopt;
    // Hexadecimal in the forms hexValue reads, yet unreadable: too large even for 32 bits.
    QString digits = delay.trimmed();
    if (digits.startsWith(QLatin1Char('+')))
        digits.remove(0, 1);
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits.remove(0, 2);
    if (isHexDigits(digits))
        return std::nullopt;
    return 0;
}

// Writes one assigned port, or tells why it cannot be sent.
std::optional<ErrorBox> encodePort(const PortEntry& row, int port, DeviceLayout layout,
                                   ByteBuffer& payload) {
    const int channel = decimalOr(row.channel, 0);
    if (channel < MinChannel || channel > MaxChannel)
        return refusal(port, QStringLiteral("通道"), row.channel,
                       rangeRule(MinChannel, MaxChannel));

    const int rate = decimalOr(row.rate, 0);
    if (port == 1) {
        const std::optional<FirstPortRateWords> words = encodeFirstPortRate(rate);
        if (!words)
            return refusal(port, QStringLiteral("速率"), row.rate,
                           rangeRule(MinFirstPortRate, MaxFirstPortRate));
        wire::putLE(std::span(payload).subspan(rateWordOffset(0)), words->base, 2);
        wire::putLE(std::span(payload).subspan(rateWordOffset(1)), words->divisor, 2);
    } else {
        const std::optional<std::uint16_t> word = encodePortRate(rate);
        if (!word)
            return refusal(port, QStringLiteral("速率"), row.rate,
                           rangeRule(MinPortRate, MaxPortRate));
        wire::putLE(std::span(payload).subspan(rateWordOffset(port)), *word, 2);
    }

    if (layout == DeviceLayout::AB) {
        const std::optional<std::uint32_t> delay = delayValue(row.delay);
        if (!delay)
            return refusal(port, QStringLiteral("延时"), row.delay,
                           QStringLiteral("应为不超过FFFFFF的十六进制数"));
        wire::putLE(std::span(payload).subspan(delayOffset(port)), *delay, 3);
    }

    payload[ChannelOffset + static_cast<std::size_t>(port - 1)] =
        static_cast<std::uint8_t>(channel - 1);
    const bool pocsag = row.coding == text::Pocsag;
    if (pocsag)
        setBit(payload, PocsagBits, port);
    // A POCSAG port always travels with the internal-clock bit, whatever the row says.
    if (pocsag || row.clockSource == text::Internal)
        setBit(payload, InternalClockBits, port);
    if (row.clockEdge == text::RisingEdge)
        setBit(payload, RisingEdgeBits, port);
    if (row.polarity == text::Positive)
        setBit(payload, PositivePolarityBits, port);
    if (row.portState == text::On)
        setBit(payload, PortOnBits, port);
    return std::nullopt;
}

PortEntry decodePort(std::span<const std::uint8_t> payload, int port, DeviceLayout layout) {
    const std::uint16_t word =
        static_cast<std::uint16_t>(wire::getLE(payload.subspan(rateWordOffset(port)), 2));
    if (word == UnassignedRateWord)
        return PortEntry::unassigned(port);

    PortEntry e;
    e.portNumber = QString::number(port);
    e.channel = QString::number(payload[ChannelOffset + static_cast<std::size_t>(port - 1)] + 1);
    const bool pocsag = bit(payload, PocsagBits, port);
    e.coding = pocsag ? text::Pocsag : text::Sync;
    const int rate = port == 1 ? decodeFirstPortRate(static_cast<std::uint16_t>(
                                     wire::getLE(payload.subspan(rateWordOffset(0)), 2)))
                               : decodePortRate(word);
    e.rate = rateText(rate, pocsag);
    if (pocsag)
        e.clockSource = text::None;
    else
        e.clockSource = bit(payload, InternalClockBits, port) ? text::Internal : text::External;
    e.clockEdge = bit(payload, RisingEdgeBits, port) ? text::RisingEdge : text::FallingEdge;
    e.polarity = bit(payload, PositivePolarityBits, port) ? text::Positive : text::Negative;
    e.portState = bit(payload, PortOnBits, port) ? text::On : text::Off;
    if (layout == DeviceLayout::AB) {
        const std::uint32_t delay = wire::getLE(payload.subspan(delayOffset(port)), 3);
        e.delay = QStringLiteral("%1").arg(delay, 6, 16, QLatin1Char('0')).toUpper();
    }
    return e;
}

} // namespace

std::size_t portParamsPayloadSize(const QString& model) {
    return layoutOf(model) == DeviceLayout::AB ? ABPayloadSize : SinglePayloadSize;
}

PortTableEncoding encodeWritePortParams(const PortTable& rows, const QString& model) {
    const DeviceLayout layout = layoutOf(model);
    ByteBuffer payload(portParamsPayloadSize(model), 0);
    for (int word = 0; word <= PortCount; ++word)
        wire::putLE(std::span(payload).subspan(rateWordOffset(word)), UnassignedRateWord, 2);
    for (int port = 1; port <= PortCount; ++port)
        payload[ChannelOffset + static_cast<std::size_t>(port - 1)] = UnassignedChannel;

    qsizetype cursor = 0;
    for (int port = 1; port <= PortCount; ++port) {
        if (cursor >= rows.size() || decimalOr(rows[cursor].portNumber, 0) != port)
            continue; // no row for this port here: it stays unassigned, the cursor waits
        const PortEntry& row = rows[cursor++];
        if (!row.isAssigned())
            continue;
        if (std::optional<ErrorBox> error = encodePort(row, port, layout, payload))
            return PortTableEncoding{{}, std::move(error)};
    }
    return PortTableEncoding{std::move(payload), std::nullopt};
}

std::optional<PortTable> decodeReadPortParams(std::span<const std::uint8_t> frame,
                                              const QString& model) {
    const DeviceLayout layout = layoutOf(model);
    if (frame.size() != expectedResponseLength(command::ReadPortParams, model))
        return std::nullopt;
    const std::span<const std::uint8_t> payload = frame.subspan(2, portParamsPayloadSize(model));
    PortTable table;
    table.reserve(PortCount);
    for (int port = 1; port <= PortCount; ++port)
        table.append(decodePort(payload, port, layout));
    return table;
}

} // namespace korvane
