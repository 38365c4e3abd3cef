#include "cli/ConfigurationReport.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "config/TrunkSummary.h"
#include "protocol/Commands.h"
#include "protocol/PortTableCodec.h"

#include <QJsonArray>

namespace korvane::cli {

namespace {

// The JSON keys of the port columns the device holds, in the table's order from the
// channel on.
constexpr const char* PortKeys[] = {"channel",   "coding",       "rate",  "clockSource",
                                    "clockEdge", "dataPolarity", "state", "delay"};
constexpr int FirstPortColumn = 1;
constexpr int PortColumnCount = 8;

QString Sign(std::int32_t value) {
    return value == 0 ? text::Positive : text::Negative;
}

QString TrunkPortText(std::int32_t value) {
    return value == 1   ? QStringLiteral("TA")
           : value == 2 ? QStringLiteral("TB")
                        : QStringLiteral("自动");
}

QString CarrierText(std::int32_t value) {
    return value == 0 ? QStringLiteral("高") : QStringLiteral("低");
}

// The rows as the device would answer them after receiving them: texts the encoder
// accepts in several spellings come back in one. Rows it refuses stay as they are.
PortTable AsDeviceHolds(const PortTable& rows, const QString& model) {
    PortTable fitted = rows;
    try {
        const PortTableEncoding encoding = encodeWritePortParams(rows, model);
        if (encoding.isOk()) {
            ByteBuffer frame{FrameStart, command::ReadPortParams};
            frame.insert(frame.end(), encoding.payload.begin(), encoding.payload.end());
            frame.push_back(FrameEnd);
            if (auto decoded = decodeReadPortParams(frame, model))
                fitted = *decoded;
        }
    } catch (const KorvaneError&) {
        // An unknown model: the texts are compared as they stand.
    }
    while (fitted.size() < PortCount)
        fitted.append(PortEntry::unassigned(int(fitted.size()) + 1));
    return fitted;
}

QString Quoted(const QString& value) {
    return value.isEmpty() ? QStringLiteral("\"\"") : value;
}

} // namespace

DeviceValues DeviceValues::of(const DeviceConfiguration& configuration) {
    return {configuration.info.serialNumber, configuration.info.address, configuration.ports,
            configuration.gps, configuration.trunk};
}

QJsonObject configurationJson(const DeviceConfiguration& c) {
    QJsonArray ports;
    for (const PortEntry& row : c.ports) {
        QJsonObject p;
        p.insert(QStringLiteral("port"), row.portNumber.toInt());
        for (int i = 0; i < PortColumnCount; ++i)
            p.insert(QLatin1String(PortKeys[i]), row.field(FirstPortColumn + i));
        ports.append(p);
    }
    QJsonObject o;
    o.insert(QStringLiteral("model"), c.deviceModel);
    o.insert(QStringLiteral("address"), qint64(c.info.address));
    o.insert(QStringLiteral("serial"), qint64(c.info.serialNumber));
    o.insert(QStringLiteral("ports"), ports);
    o.insert(QStringLiteral("gps"),
             QJsonObject{{QStringLiteral("enabled"), c.gps.gpsEnabled != 0},
                         {QStringLiteral("polarity"), Sign(c.gps.gpsPolarity)}});
    o.insert(QStringLiteral("trunk"),
             QJsonObject{{QStringLiteral("port"), TrunkPortText(c.trunk.trunkPort)},
                         {QStringLiteral("clockPolarity"), Sign(c.trunk.clockPolarity)},
                         {QStringLiteral("dataPolarity"), Sign(c.trunk.dataPolarity)},
                         {QStringLiteral("carrierLevel"), CarrierText(c.trunk.carrierLevel)}});
    o.insert(QStringLiteral("delay"),
             QJsonObject{{QStringLiteral("enabled"), c.trunk.delayEnabled != 0},
                         {QStringLiteral("cyclesA"), c.trunk.delayCyclesA},
                         {QStringLiteral("cyclesB"), c.trunk.delayCyclesB}});
    return o;
}

QString configurationText(const DeviceConfiguration& c) {
    QString s;
    s += QStringLiteral("型号: %1\n地址: %2\n序列号: %3\n")
             .arg(c.deviceModel)
             .arg(c.info.address)
             .arg(c.info.serialNumber);
    s += QStringLiteral(
        "端口\t通道\t编码类型\t速率\t时钟源\t时钟沿(PTT)\t数据极性\t端口状态\t延时\n");
    for (const PortEntry& row : c.ports) {
        QStringList cells;
        for (int i = 0; i < FirstPortColumn + PortColumnCount; ++i)
            cells.append(row.field(i));
        s += cells.join(u'\t') + u'\n';
    }
    try {
        s += trunkSummary(c).trimmed() + u'\n';
    } catch (const KorvaneError& e) {
        s += e.message() + u'\n';
    }
    return s;
}

QStringList differences(const DeviceValues& device, const DeviceValues& other,
                        const QString& otherName, const QString& model, bool withCarrierLevel) {
    QStringList out;
    const auto differ = [&](const QString& what, const QString& d, const QString& o) {
        if (d != o)
            out.append(
                QStringLiteral("%1: device %2, %3 %4").arg(what, Quoted(d), otherName, Quoted(o)));
    };
    const auto number = [](std::int64_t v) {
        return QString::number(v);
    };
    const auto flag = [](std::int32_t v) {
        return v != 0 ? QStringLiteral("true") : QStringLiteral("false");
    };
    // What the device receives: 24 bits of a cycle count, a trunk port other than TA
    // or TB is automatic.
    const auto cycles = [&](std::int32_t v) {
        return number(std::uint32_t(v) & MaxPortDelay);
    };
    const auto trunkPort = [](std::int32_t v) {
        return TrunkPortText(v == 1 || v == 2 ? v : 0);
    };

    differ(QStringLiteral("serial"), number(device.serialNumber), number(other.serialNumber));
    differ(QStringLiteral("address"), number(device.address), number(other.address));

    const PortTable d = AsDeviceHolds(device.ports, model);
    const PortTable o = AsDeviceHolds(other.ports, model);
    for (qsizetype row = 0; row < std::max(d.size(), o.size()); ++row) {
        const PortEntry blank = PortEntry::unassigned(int(row) + 1);
        const PortEntry& dr = row < d.size() ? d[row] : blank;
        const PortEntry& orow = row < o.size() ? o[row] : blank;
        for (int i = 0; i < PortColumnCount; ++i)
            differ(QStringLiteral("port %1 %2").arg(row + 1).arg(QLatin1String(PortKeys[i])),
                   dr.field(FirstPortColumn + i), orow.field(FirstPortColumn + i));
    }

    differ(QStringLiteral("gps enabled"), flag(device.gps.gpsEnabled), flag(other.gps.gpsEnabled));
    differ(QStringLiteral("gps polarity"), Sign(device.gps.gpsPolarity),
           Sign(other.gps.gpsPolarity));
    differ(QStringLiteral("trunk port"), trunkPort(device.trunk.trunkPort),
           trunkPort(other.trunk.trunkPort));
    differ(QStringLiteral("trunk clockPolarity"), Sign(device.trunk.clockPolarity),
           Sign(other.trunk.clockPolarity));
    differ(QStringLiteral("trunk dataPolarity"), Sign(device.trunk.dataPolarity),
           Sign(other.trunk.dataPolarity));
    if (withCarrierLevel)
        differ(QStringLiteral("trunk carrierLevel"), CarrierText(device.trunk.carrierLevel),
               CarrierText(other.trunk.carrierLevel));
    differ(QStringLiteral("delay enabled"), flag(device.trunk.delayEnabled),
           flag(other.trunk.delayEnabled));
    differ(QStringLiteral("delay cyclesA"), cycles(device.trunk.delayCyclesA),
           cycles(other.trunk.delayCyclesA));
    // A KORVANE has no cycle B.
    if (model == text::ModelAB)
        differ(QStringLiteral("delay cyclesB"), cycles(device.trunk.delayCyclesB),
               cycles(other.trunk.delayCyclesB));
    return out;
}

} // namespace korvane::cli
