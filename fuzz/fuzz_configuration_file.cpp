// SPDX-License-Identifier: MIT
// The configuration file loader, reserved byte lines included, and load, save, load
// giving the same header and rows.
#include "config/KorvaneError.h"
#include "files/ConfigurationFile.h"
#include "files/Cp936.h"
#include "fuzz/FuzzSupport.h"

using namespace korvane;

FUZZ_INIT_QT

namespace {

// A cell as the file carries it: its bytes, an empty cell being written as an empty
// line, which reads back as "-".
QByteArray carried(const QString& cell) {
    const QByteArray bytes = toCp936(cell);
    return bytes.isEmpty() ? QByteArrayLiteral("-") : bytes;
}

bool sameRows(const PortTable& a, const PortTable& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype row = 0; row < a.size(); ++row)
        for (int column = 0; column < PortEntry::FieldCount; ++column)
            if (carried(a[row].field(column)) != carried(b[row].field(column)))
                return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ConfigurationFile first = parseConfigurationFile(fuzz::bytes(data, size));
    FUZZ_REQUIRE(first.ports.size() == LoadedPortRows);

    DeviceConfiguration configuration;
    first.applyTo(configuration);
    QByteArray saved;
    try {
        saved = configurationFileBytes(configuration);
    } catch (const KorvaneError&) {
        return 0; // a text the format cannot hold; the save refuses it
    }
    const ConfigurationFile second = parseConfigurationFile(saved);
    FUZZ_REQUIRE(second.serialNumber == first.serialNumber);
    FUZZ_REQUIRE(second.address == first.address);
    FUZZ_REQUIRE(second.gps == first.gps);
    FUZZ_REQUIRE(second.trunk == first.trunk);
    FUZZ_REQUIRE(second.reserved == first.reserved);
    FUZZ_REQUIRE(sameRows(second.ports, first.ports));
    return 0;
}
