// SPDX-License-Identifier: MIT
#include "files/ConfigurationFile.h"

#include "config/KorvaneError.h"
#include "files/Cp936.h"
#include "files/FileHelpers.h"
#include "files/PortRowReader.h"
#include "files/TextLineReader.h"

#include <array>
#include <utility>

namespace korvane {

namespace {

const QByteArray NewLine = QByteArrayLiteral("\r\n");

// The format has no escape for a line end or the end-of-file mark inside a line.
bool breaksLine(const QByteArray& text) {
    return text.contains('\r') || text.contains(TextLineReader::EndOfFileMark);
}

QByteArray number(std::int32_t value) {
    return QByteArray::number(value) + NewLine;
}

std::int32_t integer(const QByteArray& line) {
    return decimalOr(fromCp936(line), 0);
}

} // namespace

QByteArray configurationFileBytes(const DeviceConfiguration& configuration) {
    const TrunkParams& trunk = configuration.trunk;
    const ReservedBlock& reserved = configuration.reserved;
    if (breaksLine(reserved.text))
        throw KorvaneError(
            QStringLiteral("保留文字中含有回车符或文件结束符（Ctrl-Z），无法保存配置文件。"));

    QByteArray out;
    out += number(static_cast<std::int32_t>(configuration.info.serialNumber));
    out += number(static_cast<std::int32_t>(configuration.info.address));
    out += number(configuration.gps.gpsEnabled);
    out += number(configuration.gps.gpsPolarity);
    out += number(trunk.delayEnabled);
    out += number(trunk.delayCyclesA);
    out += number(trunk.delayCyclesB);
    out += number(trunk.trunkPort);
    out += number(trunk.dataPolarity);
    out += number(trunk.clockPolarity);
    out += QByteArray::number(unsigned(reserved.value)) + NewLine;
    out += reserved.text + NewLine;
    for (std::uint8_t b : reserved.bytes)
        out += char(b) + NewLine;

    for (qsizetype row = 0; row < configuration.ports.size(); ++row) {
        for (int column = 0; column < PortEntry::FieldCount; ++column) {
            const QByteArray cell = toCp936(configuration.ports[row].field(column));
            if (breaksLine(cell))
                throw KorvaneError(
                    QStringLiteral("端口表第%1行“%2”列的文字含有回车符或文件结束符（Ctrl-Z），"
                                   "无法保存配置文件。")
                        .arg(row + 1)
                        .arg(PortColumnCaptions[column]));
            out += cell + NewLine;
        }
    }
    return out;
}

void writeConfigurationFile(const QString& path, const DeviceConfiguration& configuration) {
    saveFileAtomically(path, configurationFileBytes(configuration));
}

ConfigurationFile parseConfigurationFile(const QByteArray& bytes) {
    TextLineReader reader(bytes);
    ConfigurationFile file;
    const QByteArray serial = reader.readLine();
    const QByteArray address = reader.readLine();
    file.serialNumberText = fromCp936(serial);
    file.addressText = fromCp936(address);
    file.serialNumber = integer(serial);
    file.address = integer(address);
    file.gps.gpsEnabled = integer(reader.readLine());
    file.gps.gpsPolarity = integer(reader.readLine());
    file.trunk.delayEnabled = integer(reader.readLine());
    file.trunk.delayCyclesA = integer(reader.readLine());
    file.trunk.delayCyclesB = integer(reader.readLine());
    file.trunk.trunkPort = integer(reader.readLine());
    file.trunk.dataPolarity = integer(reader.readLine());
    file.trunk.clockPolarity = integer(reader.readLine());
    file.reserved.value = static_cast<std::uint8_t>(integer(reader.readLine()) & 0xFF);
    file.reserved.text = reader.readLine();
    // Read raw so that every byte value comes back, 13 and 26 included, and each
    // takes exactly one line: the rows after them start where they should.
    for (std::uint8_t& b : file.reserved.bytes)
        b = reader.readByteLine();

    readPortRows(reader, PortEntry::FieldCount, LoadedPortRows, [&](QStringList& row) {
        PortEntry entry;
        for (int column = 0; column < PortEntry::FieldCount; ++column)
            entry.field(column) = std::move(row[column]);
        file.ports.append(std::move(entry));
    });
    return file;
}

ConfigurationFile readConfigurationFile(const QString& path) {
    QString error;
    const std::optional<QByteArray> bytes = readFileBytes(path, &error);
    if (!bytes)
        throw KorvaneError(QStringLiteral("无法读取配置文件“%1”：%2").arg(path, error));
    return parseConfigurationFile(*bytes);
}

void ConfigurationFile::applyTo(DeviceConfiguration& configuration) const {
    configuration.info.serialNumber = static_cast<std::uint32_t>(serialNumber);
    configuration.info.address = static_cast<std::uint32_t>(address);
    configuration.gps = gps;
    const std::int32_t carrierLevel = configuration.trunk.carrierLevel;
    configuration.trunk = trunk;
    configuration.trunk.carrierLevel = carrierLevel;
    configuration.reserved = reserved;
    configuration.setPorts(ports);
}

} // namespace korvane
