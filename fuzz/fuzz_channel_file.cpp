// SPDX-License-Identifier: MIT
// The channel file reader.
#include "files/ChannelFile.h"
#include "fuzz/FuzzSupport.h"

using namespace korvane;

FUZZ_INIT_QT

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QList<ChannelRecord> records = parseChannelFile(fuzz::bytes(data, size));
    for (const ChannelRecord& r : records)
        FUZZ_REQUIRE(r.coding != QStringLiteral("-"));
    return 0;
}
