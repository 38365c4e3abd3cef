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
            frame.insert(frame.end(), encoding.Payload.begin(), encoding.Payload.end());
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
    return {configuration.Info.SerialNumber, configuration.Info.Address, configuration.Ports,
            configuration.Gps, configuration.Trunk};
}

QJsonObject configurationJson(const DeviceConfiguration& c) {
    QJsonArray ports;
    for (const PortEntry& row : c.Ports) {
        QJsonObject p;
        p.insert(QStringLiteral("port"), row.PortNumber.toInt());
        for (int i = 0; i < PortColumnCount; ++i)
            p.insert(QLatin1String(PortKeys[i]), row.field(FirstPortColumn + i));
        ports.append(p);
    }
    QJsonObject o;
    o.insert(QStringLiteral("model"), c.DeviceModel);
    o.insert(QStringLiteral("address"), qint64(c.Info.Address));
    o.insert(QStringLiteral("serial"), qint64(c.Info.SerialNumber));
    o.insert(QStringLiteral("ports"), ports);
    o.insert(QStringLiteral("gps"),
             QJsonObject{{QStringLiteral("enabled"), c.Gps.GpsEnabled != 0},
                         {QStringLiteral("polarity"), Sign(c.Gps.GpsPolarity)}});
    o.insert(QStringLiteral("trunk"),
             QJsonObject{{QStringLiteral("port"), TrunkPortText(c.Trunk.TrunkPort)},
                         {QStringLiteral("clockPolarity"), Sign(c.Trunk.ClockPolarity)},
                         {QStringLiteral("dataPolarity"), Sign(c.Trunk.DataPolarity)},
                         {QStringLiteral("carrierLevel"), CarrierText(c.Trunk.CarrierLevel)}});
    o.insert(QStringLiteral("delay"),
             QJsonObject{{QStringLiteral("enabled"), c.Trunk.DelayEnabled != 0},
                         {QStringLiteral("cyclesA"), c.Trunk.DelayCyclesA},
                         {QStringLiteral("cyclesB"), c.Trunk.DelayCyclesB}});
    return o;
}

QString configurationText(const DeviceConfiguration& c) {
    QString s;
    s += QStringLiteral("型号: %1\n地址: %2\n序列号: %3\n")
             .arg(c.DeviceModel)
             .arg(c.Info.Address)
             .arg(c.Info.SerialNumber);
    s += QStringLiteral(
        "端口\t通道\t编码类型\t速率\t时钟源\t时钟沿(PTT)\t数据极性\t端口状态\t延时\n");
    for (const PortEntry& row : c.Ports) {
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

    differ(QStringLiteral("serial"), number(device.SerialNumber), number(other.SerialNumber));
    differ(QStringLiteral("address"), number(device.Address), number(other.Address));

    const PortTable d = AsDeviceHolds(device.Ports, model);
    const PortTable o = AsDeviceHolds(other.Ports, model);
    for (qsizetype row = 0; row < std::max(d.size(), o.size()); ++row) {
        const PortEntry blank = PortEntry::unassigned(int(row) + 1);
        const PortEntry& dr = row < d.size() ? d[row] : blank;
        const PortEntry& orow = row < o.size() ? o[row] : blank;
        for (int i = 0; i < PortColumnCount; ++i)
            differ(QStringLiteral("port %1 %2").arg(row + 1).arg(QLatin1String(PortKeys[i])),
                   dr.field(FirstPortColumn + i), orow.field(FirstPortColumn + i));
    }

    differ(QStringLiteral("gps enabled"), flag(device.Gps.GpsEnabled), flag(other.Gps.GpsEnabled));
    differ(QStringLiteral("gps polarity"), Sign(device.Gps.GpsPolarity),
           Sign(other.Gps.GpsPolarity));
    differ(QStringLiteral("trunk port"), trunkPort(device.Trunk.TrunkPort),
           trunkPort(other.Trunk.TrunkPort));
    differ(QStringLiteral("trunk clockPolarity"), Sign(device.Trunk.ClockPolarity),
           Sign(other.Trunk.ClockPolarity));
    differ(QStringLiteral("trunk dataPolarity"), Sign(device.Trunk.DataPolarity),
           Sign(other.Trunk.DataPolarity));
    if (withCarrierLevel)
        differ(QStringLiteral("trunk carrierLevel"), CarrierText(device.Trunk.CarrierLevel),
               CarrierText(other.Trunk.CarrierLevel));
    differ(QStringLiteral("delay enabled"), flag(device.Trunk.DelayEnabled),
           flag(other.Trunk.DelayEnabled));
    differ(QStringLiteral("delay cyclesA"), cycles(device.Trunk.DelayCyclesA),
           cycles(other.Trunk.DelayCyclesA));
    // A KORVANE has no cycle B.
    if (model == text::ModelAB)
        differ(QStringLiteral("delay cyclesB"), cycles(device.Trunk.DelayCyclesB),
               cycles(other.Trunk.DelayCyclesB));
    return out;
}

} // namespace korvane::cli
