// SPDX-License-Identifier: MIT
// The RFC 2217 client's decoder on any byte stream from a server: the same result
// however the stream is cut, never more data than bytes, and escaped data decoded back
// to itself.
#include "fuzz/FuzzSupport.h"
#include "link/Rfc2217Codec.h"

using namespace korvane;
using namespace korvane::rfc2217;

namespace {

struct Result {
    Decoded decoded;
    bool accepted;
    bool refused;
    bool suspended;
};

Result decode(std::span<const std::uint8_t> stream, std::size_t step) {
    TelnetClient client;
    client.start();
    Result r{};
    for (std::size_t at = 0; at < stream.size(); at += step)
        client.feed(stream.subspan(at, std::min(step, stream.size() - at)), r.decoded);
    r.accepted = client.comPortAccepted();
    r.refused = client.comPortRefused();
    r.suspended = client.suspended();
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks how the rest is cut.
    const std::size_t step = std::size_t(data[0] % 7) + 1;
    const std::span<const std::uint8_t> stream(data + 1, size - 1);
    const Result whole = decode(stream, stream.size() + 1);
    const Result cut = decode(stream, step);
    FUZZ_REQUIRE(whole.decoded.data == cut.decoded.data);
    FUZZ_REQUIRE(whole.decoded.reply == cut.decoded.reply);
    FUZZ_REQUIRE(whole.decoded.answers == cut.decoded.answers);
    FUZZ_REQUIRE(whole.accepted == cut.accepted && whole.refused == cut.refused &&
                 whole.suspended == cut.suspended);
    FUZZ_REQUIRE(whole.decoded.data.size() <= stream.size());
    // Each reply is a three-byte refusal or acceptance of one option.
    FUZZ_REQUIRE(whole.decoded.reply.size() % 3 == 0);
    for (const Answer& a : whole.decoded.answers)
        FUZZ_REQUIRE(a.value.size() + 2 <= TelnetClient::MaxOptionValue);

    const Result echoed = decode(escapeData(stream), step);
    FUZZ_REQUIRE(echoed.decoded.data == ByteBuffer(stream.begin(), stream.end()));
    FUZZ_REQUIRE(echoed.decoded.reply.empty() && echoed.decoded.answers.empty());
    return 0;
}
