// SPDX-License-Identifier: MIT
// Every read response check and section decoder on arbitrary answers, for both models.
// The first input byte picks the command, the second the model; the rest is the answer.
#include "config/KorvaneError.h"
#include "fuzz/FuzzSupport.h"
#include "protocol/Commands.h"
#include "protocol/PortTableCodec.h"
#include "protocol/SectionCodecs.h"

#include <array>

using namespace korvane;

FUZZ_INIT_QT

namespace {

const std::array<std::uint8_t, 6> ReadCodes = {
    command::ReadAddress, command::ReadSerialNumber,    command::ReadPortParams,
    command::ReadGps,     command::ReadTrunkAttributes, command::ReadTrunkDelay};

void decodeAll(std::span<const std::uint8_t> frame, const QString& model) {
    (void)decodeReadAddress(frame);
    (void)decodeReadSerialNumber(frame);
    (void)decodeReadGps(frame);
    (void)decodeReadTrunkAttributes(frame, TrunkParams{});
    (void)decodeReadTrunkDelay(frame, model, TrunkParams{});
    if (const auto rows = decodeReadPortParams(frame, model))
        FUZZ_REQUIRE(rows->size() == PortCount);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::uint8_t code = data[0] < 0xF0 ? ReadCodes[data[0] % ReadCodes.size()] : data[0];
    const QString model = data[1] % 3 == 0   ? QStringLiteral("KORVANE")
                          : data[1] % 3 == 1 ? QStringLiteral("KORVANEA/B")
                                             : QStringLiteral("0");
    const std::span<const std::uint8_t> raw(data + 2, size - 2);
    const bool known = model != QStringLiteral("0");
    try {
        const ReadResponse r = checkReadResponse(code, model, raw);
        FUZZ_REQUIRE(r.isOk() == (r.frame.size() > 0));
        if (r.isOk()) {
            FUZZ_REQUIRE(isAcceptableFrame(raw));
            if (const auto expected = expectedResponseLength(code, model))
                FUZZ_REQUIRE(r.frame.size() == *expected);
            decodeAll(r.frame, model);
        }
    } catch (const KorvaneError&) {
        FUZZ_REQUIRE(!known);
    }
    (void)checkReadResponse(code, model, std::nullopt);
    // The decoders also stand bytes that were never checked.
    for (const QString& m : {QStringLiteral("KORVANE"), QStringLiteral("KORVANEA/B")})
        decodeAll(raw, m);
    return 0;
}
