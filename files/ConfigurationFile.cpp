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
bool BreaksLine(const QByteArray& text) {
    return text.contains('\r') || text.contains(TextLineReader::EndOfFileMark);
}

QByteArray Number(std::int32_t value) {
    return QByteArray::number(value) + NewLine;
}

std::int32_t Integer(const QByteArray& line) {
    return decimalOr(fromCp936(line), 0);
}

} // namespace

QByteArray configurationFileBytes(const DeviceConfiguration& configuration) {
    const TrunkParams& trunk = configuration.Trunk;
    const ReservedBlock& reserved = configuration.Reserved;
    if (BreaksLine(reserved.Text))
        throw KorvaneError(
            QStringLiteral("保留文字中含有回车符或文件结束符（Ctrl-Z），无法保存配置文件。"));

    QByteArray out;
    out += Number(static_cast<std::int32_t>(configuration.Info.SerialNumber));
    out += Number(static_cast<std::int32_t>(configuration.Info.Address));
    out += Number(configuration.Gps.GpsEnabled);
    out += Number(configuration.Gps.GpsPolarity);
    out += Number(trunk.DelayEnabled);
    out += Number(trunk.DelayCyclesA);
    out += Number(trunk.DelayCyclesB);
    out += Number(trunk.TrunkPort);
    out += Number(trunk.DataPolarity);
    out += Number(trunk.ClockPolarity);
    out += QByteArray::number(unsigned(reserved.Value)) + NewLine;
    out += reserved.Text + NewLine;
    for (std::uint8_t b : reserved.Bytes)
        out += char(b) + NewLine;

    for (qsizetype row = 0; row < configuration.Ports.size(); ++row) {
        for (int column = 0; column < PortEntry::FieldCount; ++column) {
            const QByteArray cell = toCp936(configuration.Ports[row].field(column));
            if (BreaksLine(cell))
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
    file.SerialNumberText = fromCp936(serial);
    file.AddressText = fromCp936(address);
    file.SerialNumber = Integer(serial);
    file.Address = Integer(address);
    file.Gps.GpsEnabled = Integer(reader.readLine());
    file.Gps.GpsPolarity = Integer(reader.readLine());
    file.Trunk.DelayEnabled = Integer(reader.readLine());
    file.Trunk.DelayCyclesA = Integer(reader.readLine());
    file.Trunk.DelayCyclesB = Integer(reader.readLine());
    file.Trunk.TrunkPort = Integer(reader.readLine());
    file.Trunk.DataPolarity = Integer(reader.readLine());
    file.Trunk.ClockPolarity = Integer(reader.readLine());
    file.Reserved.Value = static_cast<std::uint8_t>(Integer(reader.readLine()) & 0xFF);
    file.Reserved.Text = reader.readLine();
    // Read raw so that every byte value comes back, 13 and 26 included, and each
    // takes exactly one line: the rows after them start where they should.
    for (std::uint8_t& b : file.Reserved.Bytes)
        b = reader.readByteLine();

    readPortRows(reader, PortEntry::FieldCount, LoadedPortRows, [&](QStringList& row) {
        PortEntry entry;
        for (int column = 0; column < PortEntry::FieldCount; ++column)
            entry.field(column) = std::move(row[column]);
        file.Ports.append(std::move(entry));
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
    configuration.Info.SerialNumber = static_cast<std::uint32_t>(SerialNumber);
    configuration.Info.Address = static_cast<std::uint32_t>(Address);
    configuration.Gps = Gps;
    const std::int32_t carrierLevel = configuration.Trunk.CarrierLevel;
    configuration.Trunk = Trunk;
    configuration.Trunk.CarrierLevel = carrierLevel;
    configuration.Reserved = Reserved;
    configuration.setPorts(Ports);
}

} // namespace korvane
