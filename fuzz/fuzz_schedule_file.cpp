// SPDX-License-Identifier: MIT
// The schedule file and its conversion against a port table. The input up to its
// first zero byte is the file; after it, lines in pairs give each row's port number
// and channel texts.
#include "config/KorvaneError.h"
#include "files/Cp936.h"
#include "files/ScheduleFile.h"
#include "fuzz/FuzzSupport.h"
#include "protocol/SectionCodecs.h"

using namespace korvane;

FUZZ_INIT_QT

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input = fuzz::bytes(data, size);
    const qsizetype zero = input.indexOf('\0');
    const QByteArray file = zero < 0 ? input : input.left(zero);

    PortTable ports;
    if (zero >= 0) {
        const QList<QByteArray> lines = input.mid(zero + 1).split('\n');
        // The window's list never holds more than some dozens of rows.
        for (qsizetype i = 0; i + 1 < lines.size() && ports.size() < 64; i += 2) {
            PortEntry row = PortEntry::unassigned(int(i / 2 + 1));
            row.portNumber = fromCp936(lines[i]);
            row.channel = fromCp936(lines[i + 1]);
            ports.append(row);
        }
    }

    (void)parseScheduleEntries(file, false);
    ScheduleTable table = parseScheduleEntries(file);
    const qsizetype entries = qsizetype(table.size());
    try {
        convertScheduleTable(table, ports);
    } catch (const KorvaneError&) {
        return 0; // a port number that is not an integer
    }
    FUZZ_REQUIRE(qsizetype(table.size()) == entries);
    for (const std::uint8_t slot : table)
        FUZZ_REQUIRE(slot < 100 || slot >= 200);
    if (scheduleSizeRefusal(entries))
        return 0;
    const int blocks = scheduleBlockCount(entries);
    FUZZ_REQUIRE(blocks >= 0 && blocks <= 256);
    for (int block = 0; block < blocks; ++block)
        FUZZ_REQUIRE(scheduleBlockPayload(0x123456, block, table).size() ==
                     std::size_t(ScheduleBlockPayloadSize));
    return 0;
}
