// SPDX-License-Identifier: MIT
// The frame check and unescaper on raw line bytes, and escape then unescape giving
// the payload back.
#include "fuzz/FuzzSupport.h"
#include "link/FrameCodec.h"

#include <algorithm>

using namespace korvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> raw(data, size);
    const bool framed = checkFrame(data, size);
    FUZZ_REQUIRE(framed == (size > 0 && data[0] == FrameStart && data[size - 1] == FrameEnd));
    FUZZ_REQUIRE(isAcceptableFrame(raw) == (framed && size <= MaxReceivedFrameLength));

    ByteBuffer out(size);
    const std::size_t length = unescapeFrame(data, out.data(), size);
    FUZZ_REQUIRE(length <= size);
    const ByteBuffer unescaped = unescapeFrame(raw);
    FUZZ_REQUIRE(unescaped.size() == length);
    FUZZ_REQUIRE(std::equal(unescaped.begin(), unescaped.end(), out.begin()));

    // The code byte travels unescaped, so only codes outside the escaped set come back.
    if (size >= 1 && !isEscaped(data[0])) {
        const std::uint8_t code = data[0];
        const std::span<const std::uint8_t> payload = raw.subspan(1);
        const ByteBuffer frame = plainFrame(code, payload);
        FUZZ_REQUIRE(frame.size() == frameLength(payload, false));
        FUZZ_REQUIRE(frame.size() <= maxFrameLength(payload.size(), false));
        FUZZ_REQUIRE(checkFrame(frame.data(), frame.size()));
        const ByteBuffer back = unescapeFrame(frame);
        FUZZ_REQUIRE(back.size() == payload.size() + 3);
        FUZZ_REQUIRE(back[1] == code);
        FUZZ_REQUIRE(std::equal(payload.begin(), payload.end(), back.begin() + 2));

        ByteBuffer copy(payload.begin(), payload.end());
        ByteBuffer destination(frame.size());
        const int built = buildPlainFrame(code, copy, int(copy.size()), destination);
        FUZZ_REQUIRE(built == int(frame.size()) && destination == frame);
        if (!destination.empty())
            FUZZ_REQUIRE(buildPlainFrame(code, copy, int(copy.size()),
                                         std::span(destination).first(destination.size() - 1)) ==
                         -1);

        const std::uint32_t address = std::uint32_t(size * 2654435761u) & 0xFFFFFF;
        const ByteBuffer addressed = addressedFrame(address, code, payload);
        FUZZ_REQUIRE(addressed.size() == frameLength(payload, true));
        FUZZ_REQUIRE(addressed.size() <= maxFrameLength(payload.size(), true));
    }
    return 0;
}
