// SPDX-License-Identifier: MIT
// The simulator's state file reader; a state it accepts, written out and read again,
// gives the same text.
#include "fuzz/FuzzSupport.h"
#include "sim/StateFile.h"

using namespace korvane;
using namespace korvane::sim;

FUZZ_INIT_QT

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Read as the file loader reads it.
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    DeviceState state;
    const QString before = stateText(state);
    QString error;
    if (!applyStateText(text, state, &error)) {
        FUZZ_REQUIRE(!error.isEmpty());
        FUZZ_REQUIRE(stateText(state) == before); // a refused file changes nothing
        return 0;
    }
    const QString written = stateText(state);
    DeviceState again;
    FUZZ_REQUIRE(applyStateText(written, again, &error));
    FUZZ_REQUIRE(stateText(again) == written);
    return 0;
}
