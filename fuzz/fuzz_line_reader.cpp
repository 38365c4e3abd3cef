// SPDX-License-Identifier: MIT
// The line reader, driven by the input: the first byte chooses the calls, the rest is
// the file. Every call makes progress or reports the end.
#include "files/TextLineReader.h"
#include "fuzz/FuzzSupport.h"

using namespace korvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint8_t plan = data[0];
    TextLineReader reader(fuzz::bytes(data + 1, size - 1));
    std::size_t calls = 0;
    for (; !reader.atEnd(); ++calls) {
        FUZZ_REQUIRE(calls <= size); // each call takes at least one byte
        switch ((plan >> (2 * (calls % 4))) & 3) {
        case 0:
        case 1: {
            const QByteArray line = reader.readLine();
            FUZZ_REQUIRE(!line.contains('\r') && !line.contains(TextLineReader::EndOfFileMark));
            break;
        }
        case 2:
            (void)reader.readByteLine();
            break;
        default:
            reader.skipLines(int(calls % 3) + 1);
            break;
        }
    }
    FUZZ_REQUIRE(reader.readLine().isEmpty());
    FUZZ_REQUIRE(reader.readByteLine() == TextLineReader::EndOfFileMark);
    return 0;
}
