// SPDX-License-Identifier: MIT
// The simulator's frame splitter on any byte stream.
#include "fuzz/FuzzSupport.h"
#include "sim/FrameSplitter.h"

using namespace korvane;
using namespace korvane::sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FrameSplitter splitter;
    for (std::size_t i = 0; i < size; ++i) {
        const auto frame = splitter.push(data[i]);
        if (!frame)
            continue;
        FUZZ_REQUIRE(frame->raw.size() >= 2 && frame->raw.size() <= FrameSplitter::MaxRawLength);
        FUZZ_REQUIRE(frame->raw.front() == FrameStart && frame->raw.back() == FrameEnd);
        FUZZ_REQUIRE(data[i] == FrameEnd && !splitter.inFrame());
        FUZZ_REQUIRE(frame->payload.size() + 2 <= frame->raw.size());
        FUZZ_REQUIRE(frame->code.has_value() == (frame->raw.size() > 2));
        if (frame->address)
            FUZZ_REQUIRE(frame->code && isAddressedCode(*frame->code) &&
                         *frame->address <= 0xFFFFFF);
    }
    return 0;
}
