// The frame check and unescaper on raw line bytes, and escape then unescape giving
// the payload back.
#include "fuzz/FuzzSupport.h"
#include "link/FrameCodec.h"

#include <algorithm>

using namespace korvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> raw(data, size);
    const bool framed = CheckFrame(data, size);
    FUZZ_REQUIRE(framed == (size > 0 && data[0] == FrameStart && data[size - 1] == FrameEnd));
    FUZZ_REQUIRE(IsAcceptableFrame(raw) == (framed && size <= MaxReceivedFrameLength));

    ByteBuffer out(size);
    const std::size_t length = UnescapeFrame(data, out.data(), size);
    FUZZ_REQUIRE(length <= size);
    const ByteBuffer unescaped = UnescapeFrame(raw);
    FUZZ_REQUIRE(unescaped.size() == length);
    FUZZ_REQUIRE(std::equal(unescaped.begin(), unescaped.end(), out.begin()));

    // The code byte travels unescaped, so only codes outside the escaped set come back.
    if (size >= 1 && !IsEscaped(data[0])) {
        const std::uint8_t code = data[0];
        const std::span<const std::uint8_t> payload = raw.subspan(1);
        const ByteBuffer frame = PlainFrame(code, payload);
        FUZZ_REQUIRE(frame.size() == FrameLength(payload, false));
        FUZZ_REQUIRE(frame.size() <= MaxFrameLength(payload.size(), false));
        FUZZ_REQUIRE(CheckFrame(frame.data(), frame.size()));
        const ByteBuffer back = UnescapeFrame(frame);
        FUZZ_REQUIRE(back.size() == payload.size() + 3);
        FUZZ_REQUIRE(back[1] == code);
        FUZZ_REQUIRE(std::equal(payload.begin(), payload.end(), back.begin() + 2));

        ByteBuffer copy(payload.begin(), payload.end());
        ByteBuffer destination(frame.size());
        const int built = BuildPlainFrame(code, copy, int(copy.size()), destination);
        FUZZ_REQUIRE(built == int(frame.size()) && destination == frame);
        if (!destination.empty())
            FUZZ_REQUIRE(BuildPlainFrame(code, copy, int(copy.size()),
                                         std::span(destination).first(destination.size() - 1)) ==
                         -1);

        const std::uint32_t address = std::uint32_t(size * 2654435761u) & 0xFFFFFF;
        const ByteBuffer addressed = AddressedFrame(address, code, payload);
        FUZZ_REQUIRE(addressed.size() == FrameLength(payload, true));
        FUZZ_REQUIRE(addressed.size() <= MaxFrameLength(payload.size(), true));
    }
    return 0;
}
