// SPDX-License-Identifier: MIT
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

QJsonValue SignWord(std::int32_t value) {
    return value == 0 ? QStringLiteral("positive") : QStringLiteral("negative");
}

QJsonValue TrunkPortWord(std::int32_t value) {
    return value == 1   ? QStringLiteral("ta")
           : value == 2 ? QStringLiteral("tb")
                        : QStringLiteral("auto");
}

// A display word of the port table as its English word; null for "-" or a text that
// is none of them.
QJsonValue Word(const QString& text, std::initializer_list<std::pair<QString, const char*>> words) {
    for (const auto& [display, word] : words) {
        if (text == display)
            return QString::fromLatin1(word);
    }
    return QJsonValue::Null;
}

QJsonValue NumberOrNull(const QString& text, int base) {
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, base);
    return ok ? QJsonValue(value) : QJsonValue::Null;
}

QJsonObject PortJson(const PortEntry& row) {
    const bool assigned = row.isAssigned();
    const auto value = [&](QJsonValue v) {
        return assigned ? v : QJsonValue::Null;
    };
    QJsonObject p;
    p.insert(QStringLiteral("number"), NumberOrNull(row.portNumber, 10));
    p.insert(QStringLiteral("channel"), value(NumberOrNull(row.channel, 10)));
    p.insert(QStringLiteral("coding"),
             value(Word(row.coding,
                        {{text::Sync, "sync"}, {text::Pocsag, "pocsag"}, {text::Async, "async"}})));
    p.insert(QStringLiteral("rate"), value(NumberOrNull(row.rate, 10)));
    p.insert(
        QStringLiteral("clockSource"),
        value(Word(row.clockSource, {{text::Internal, "internal"}, {text::External, "external"}})));
    p.insert(
        QStringLiteral("clockEdge"),
        value(Word(row.clockEdge, {{text::RisingEdge, "rising"}, {text::FallingEdge, "falling"}})));
    p.insert(
        QStringLiteral("dataPolarity"),
        value(Word(row.polarity, {{text::Positive, "positive"}, {text::Negative, "negative"}})));
    p.insert(QStringLiteral("state"),
             value(Word(row.portState, {{text::On, "on"}, {text::Off, "off"}})));
    p.insert(QStringLiteral("delay"), value(NumberOrNull(row.delay, 16)));
    return p;
}

QJsonObject GpsJson(const GpsParams& gps) {
    return {{QStringLiteral("enabled"), gps.gpsEnabled != 0},
            {QStringLiteral("polarity"), SignWord(gps.gpsPolarity)}};
}

QJsonObject TrunkJson(const TrunkParams& trunk, bool withCarrierLevel) {
    return {{QStringLiteral("line"), TrunkPortWord(trunk.trunkPort)},
            {QStringLiteral("clockPolarity"), SignWord(trunk.clockPolarity)},
            {QStringLiteral("dataPolarity"), SignWord(trunk.dataPolarity)},
            {QStringLiteral("carrierLevel"),
             withCarrierLevel ? QJsonValue(trunk.carrierLevel == 0 ? QStringLiteral("high")
                                                                   : QStringLiteral("low"))
                              : QJsonValue::Null}};
}

// What the device receives: 24 bits of a cycle count.
qint64 Cycles(std::int32_t value) {
    return std::uint32_t(value) & MaxPortDelay;
}

QJsonObject DelayJson(const TrunkParams& trunk, bool withCyclesB) {
    return {{QStringLiteral("enabled"), trunk.delayEnabled != 0},
            {QStringLiteral("cyclesA"), Cycles(trunk.delayCyclesA)},
            {QStringLiteral("cyclesB"),
             withCyclesB ? QJsonValue(Cycles(trunk.delayCyclesB)) : QJsonValue::Null}};
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

} // namespace

DeviceValues DeviceValues::of(const DeviceConfiguration& configuration) {
    return {configuration.info.serialNumber, configuration.info.address, configuration.ports,
            configuration.gps, configuration.trunk};
}

QJsonObject configurationJson(const DeviceConfiguration& c, JsonScope scope) {
    const auto part = [&](ReadPart p, QJsonValue v) {
        return scope.read >= p ? v : QJsonValue::Null;
    };
    QJsonArray ports;
    for (const PortEntry& row : c.ports)
        ports.append(PortJson(row));
    QJsonObject o;
    o.insert(QStringLiteral("address"), part(ReadPart::Address, qint64(c.info.address)));
    o.insert(QStringLiteral("serial"), part(ReadPart::SerialNumber, qint64(c.info.serialNumber)));
    o.insert(QStringLiteral("ports"), part(ReadPart::Ports, ports));
    o.insert(QStringLiteral("gps"), part(ReadPart::Gps, GpsJson(c.gps)));
    o.insert(QStringLiteral("trunk"),
             part(ReadPart::Trunk, TrunkJson(c.trunk, scope.withCarrierLevel)));
    o.insert(QStringLiteral("delay"),
             part(ReadPart::Delay, DelayJson(c.trunk, c.deviceModel != text::ModelSingle)));
    return o;
}

QString configurationText(const DeviceConfiguration& c) {
    // A configuration file holds no model.
    const bool fromFile = c.deviceModel == text::ModelUnknown;
    QString s;
    if (!fromFile)
        s += QStringLiteral("型号: %1\n").arg(c.deviceModel);
    s += QStringLiteral("地址: %1\n序列号: %2\n").arg(c.info.address).arg(c.info.serialNumber);
    s += QStringLiteral(
        "端口\t通道\t编码类型\t速率\t时钟源\t时钟沿(PTT)\t数据极性\t端口状态\t延时\n");
    for (const PortEntry& row : c.ports) {
        QStringList cells;
        for (int i = 0; i < FirstPortColumn + PortColumnCount; ++i)
            cells.append(row.field(i));
        s += cells.join(u'\t') + u'\n';
    }
    try {
        if (fromFile) {
            // The file holds both delay cycles and no carrier level: the trunk label of a
            // KORVANEA/B up to the carrier level.
            DeviceConfiguration shown;
            shown.gps = c.gps;
            shown.trunk = c.trunk;
            shown.deviceModel = text::ModelAB;
            const QString summary = trunkSummary(shown);
            s += summary.left(summary.indexOf(QStringLiteral("载波电平:"))).trimmed() + u'\n';
        } else {
            s += trunkSummary(c).trimmed() + u'\n';
        }
    } catch (const KorvaneError& e) {
        s += e.message() + u'\n';
    }
    return s;
}

QJsonObject Difference::json() const {
    return {{QStringLiteral("field"), field},
            {QStringLiteral("device"), device},
            {QStringLiteral("file"), other}};
}

QString Difference::text(const QString& otherName) const {
    const auto shown = [](const QJsonValue& v) {
        switch (v.type()) {
        case QJsonValue::Bool:
            return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        case QJsonValue::Double:
            return QString::number(v.toInteger());
        case QJsonValue::String:
            return v.toString().isEmpty() ? QStringLiteral("\"\"") : v.toString();
        default:
            return QStringLiteral("-");
        }
    };
    return QStringLiteral("%1: device %2, %3 %4")
        .arg(field, shown(device), otherName, shown(other));
}

QList<Difference> differences(const DeviceValues& device, const DeviceValues& other,
                              const QString& model, Comparison comparison) {
    QList<Difference> out;
    const auto differ = [&](const QString& field, const QJsonValue& d, const QJsonValue& o) {
        if (d != o)
            out.append(Difference{field, d, o});
    };
    const auto section = [&](const QString& name, const QJsonObject& d, const QJsonObject& o,
                             std::initializer_list<const char*> keys) {
        for (const char* key : keys)
            differ(name + u'.' + QLatin1String(key), d.value(QLatin1String(key)),
                   o.value(QLatin1String(key)));
    };
    if (comparison.withIdentity) {
        differ(QStringLiteral("serial"), qint64(device.serialNumber), qint64(other.serialNumber));
        differ(QStringLiteral("address"), qint64(device.address), qint64(other.address));
    }

    const PortTable d = AsDeviceHolds(device.ports, model);
    const PortTable o = AsDeviceHolds(other.ports, model);
    for (qsizetype row = 0; row < std::max(d.size(), o.size()); ++row) {
        const PortEntry blank = PortEntry::unassigned(int(row) + 1);
        const QJsonObject dp = PortJson(row < d.size() ? d[row] : blank);
        const QJsonObject op = PortJson(row < o.size() ? o[row] : blank);
        for (const char* key : PortKeys)
            differ(QStringLiteral("ports.%1.%2").arg(row + 1).arg(QLatin1String(key)),
                   dp.value(QLatin1String(key)), op.value(QLatin1String(key)));
    }

    section(QStringLiteral("gps"), GpsJson(device.gps), GpsJson(other.gps),
            {"enabled", "polarity"});
    section(QStringLiteral("trunk"), TrunkJson(device.trunk, comparison.withCarrierLevel),
            TrunkJson(other.trunk, comparison.withCarrierLevel),
            {"line", "clockPolarity", "dataPolarity", "carrierLevel"});
    // A KORVANE has no cycle B.
    const bool withCyclesB = model == text::ModelAB;
    section(QStringLiteral("delay"), DelayJson(device.trunk, withCyclesB),
            DelayJson(other.trunk, withCyclesB), {"enabled", "cyclesA", "cyclesB"});
    return out;
}

} // namespace korvane::cli
