// SPDX-License-Identifier: MIT
// The identification probe's model decision on any answer.
#include "fuzz/FuzzSupport.h"
#include "protocol/Commands.h"

using namespace korvane;

FUZZ_INIT_QT

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString model = modelFromProbeAnswer(std::span(data, size));
    FUZZ_REQUIRE(model == QStringLiteral("0") || model == QStringLiteral("KORVANE") ||
                 model == QStringLiteral("KORVANEA/B"));
    if (model != QStringLiteral("0")) {
        // A known model is one the read commands accept.
        (void)layoutOf(model);
        const ReadResponse r =
            checkReadResponse(command::ReadPortParams, model, std::span(data, size));
        FUZZ_REQUIRE(r.isOk());
    }
    return 0;
}
