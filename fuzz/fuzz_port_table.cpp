// SPDX-License-Identifier: MIT
// The port table decoder on any response, and decode, encode, decode giving the same
// rows: what the device reports, sent back, reads back the same.
#include "config/KorvaneError.h"
#include "fuzz/FuzzSupport.h"
#include "protocol/Commands.h"
#include "protocol/PortTableCodec.h"

using namespace korvane;

FUZZ_INIT_QT

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const QString model = data[0] & 1 ? QStringLiteral("KORVANEA/B") : QStringLiteral("KORVANE");
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    (void)decodeReadPortParams(rest, model);

    // A response of the model's length whatever the input's length.
    ByteBuffer frame(portParamsPayloadSize(model) + 3, 0);
    frame.front() = FrameStart;
    frame[1] = command::ReadPortParams;
    frame.back() = FrameEnd;
    for (std::size_t i = 0; i < rest.size() && i + 3 < frame.size(); ++i)
        frame[i + 2] = rest[i];
    const auto rows = decodeReadPortParams(frame, model);
    FUZZ_REQUIRE(rows && rows->size() == PortCount);
    const PortTableEncoding encoded = encodeWritePortParams(*rows, model);
    if (!encoded.isOk())
        return 0;
    FUZZ_REQUIRE(encoded.payload.size() == portParamsPayloadSize(model));
    ByteBuffer again{FrameStart, command::ReadPortParams};
    again.insert(again.end(), encoded.payload.begin(), encoded.payload.end());
    again.push_back(FrameEnd);
    const auto back = decodeReadPortParams(again, model);
    FUZZ_REQUIRE(back && *back == *rows);
    return 0;
}
