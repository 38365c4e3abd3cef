// SPDX-License-Identifier: MIT
#include "session/ConfigurationDifferences.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "protocol/Commands.h"
#include "protocol/PortTableCodec.h"

namespace korvane {

namespace {

// The JSON keys of the port columns the device holds, in the table's order from the
// channel on.
constexpr const char* PortKeys[] = {"channel",   "coding",       "rate",  "clockSource",
                                    "clockEdge", "dataPolarity", "state", "delay"};
constexpr int FirstPortColumn = 1;

QJsonValue signWord(std::int32_t value) {
    return value == 0 ? QStringLiteral("positive") : QStringLiteral("negative");
}

QJsonValue trunkPortWord(std::int32_t value) {
    return value == 1   ? QStringLiteral("ta")
           : value == 2 ? QStringLiteral("tb")
                        : QStringLiteral("auto");
}

// A display word of the port table as its English word; null for "-" or a text that
// is none of them.
QJsonValue word(const QString& text, std::initializer_list<std::pair<QString, const char*>> words) {
    for (const auto& [display, word] : words) {
        if (text == display)
            return QString::fromLatin1(word);
    }
    return QJsonValue::Null;
}

QJsonValue numberOrNull(const QString& text, int base) {
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, base);
    return ok ? QJsonValue(value) : QJsonValue::Null;
}

// What the device receives: 24 bits of a cycle count.
qint64 cycles(std::int32_t value) {
    return std::uint32_t(value) & MaxPortDelay;
}

// The rows as the device would answer them after receiving them: texts the encoder
// accepts in several spellings come back in one. Rows it refuses stay as they are.
PortTable asDeviceHolds(const PortTable& rows, const QString& model) {
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

QJsonObject portJson(const PortEntry& row) {
    const bool assigned = row.isAssigned();
    const auto value = [&](QJsonValue v) {
        return assigned ? v : QJsonValue::Null;
    };
    QJsonObject p;
    p.insert(QStringLiteral("number"), numberOrNull(row.portNumber, 10));
    p.insert(QStringLiteral("channel"), value(numberOrNull(row.channel, 10)));
    p.insert(QStringLiteral("coding"),
             value(word(row.coding,
                        {{text::Sync, "sync"}, {text::Pocsag, "pocsag"}, {text::Async, "async"}})));
    p.insert(QStringLiteral("rate"), value(numberOrNull(row.rate, 10)));
    p.insert(
        QStringLiteral("clockSource"),
        value(word(row.clockSource, {{text::Internal, "internal"}, {text::External, "external"}})));
    p.insert(
        QStringLiteral("clockEdge"),
        value(word(row.clockEdge, {{text::RisingEdge, "rising"}, {text::FallingEdge, "falling"}})));
    p.insert(
        QStringLiteral("dataPolarity"),
        value(word(row.polarity, {{text::Positive, "positive"}, {text::Negative, "negative"}})));
    p.insert(QStringLiteral("state"),
             value(word(row.portState, {{text::On, "on"}, {text::Off, "off"}})));
    p.insert(QStringLiteral("delay"), value(numberOrNull(row.delay, 16)));
    return p;
}

QJsonObject gpsJson(const GpsParams& gps) {
    return {{QStringLiteral("enabled"), gps.gpsEnabled != 0},
            {QStringLiteral("polarity"), signWord(gps.gpsPolarity)}};
}

QJsonObject trunkJson(const TrunkParams& trunk, bool withCarrierLevel) {
    return {{QStringLiteral("line"), trunkPortWord(trunk.trunkPort)},
            {QStringLiteral("clockPolarity"), signWord(trunk.clockPolarity)},
            {QStringLiteral("dataPolarity"), signWord(trunk.dataPolarity)},
            {QStringLiteral("carrierLevel"),
             withCarrierLevel ? QJsonValue(trunk.carrierLevel == 0 ? QStringLiteral("high")
                                                                   : QStringLiteral("low"))
                              : QJsonValue::Null}};
}

QJsonObject delayJson(const TrunkParams& trunk, bool withCyclesB) {
    return {{QStringLiteral("enabled"), trunk.delayEnabled != 0},
            {QStringLiteral("cyclesA"), cycles(trunk.delayCyclesA)},
            {QStringLiteral("cyclesB"),
             withCyclesB ? QJsonValue(cycles(trunk.delayCyclesB)) : QJsonValue::Null}};
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

    const PortTable d = asDeviceHolds(device.ports, model);
    const PortTable o = asDeviceHolds(other.ports, model);
    for (qsizetype row = 0; row < std::max(d.size(), o.size()); ++row) {
        const PortEntry blank = PortEntry::unassigned(int(row) + 1);
        const QJsonObject dp = portJson(row < d.size() ? d[row] : blank);
        const QJsonObject op = portJson(row < o.size() ? o[row] : blank);
        int column = FirstPortColumn;
        for (const char* key : PortKeys) {
            const QJsonValue dv = dp.value(QLatin1String(key));
            const QJsonValue ov = op.value(QLatin1String(key));
            if (dv != ov)
                out.append(
                    Difference{QStringLiteral("ports.%1.%2").arg(row + 1).arg(QLatin1String(key)),
                               dv, ov, int(row) + 1, column});
            ++column;
        }
    }

    section(QStringLiteral("gps"), gpsJson(device.gps), gpsJson(other.gps),
            {"enabled", "polarity"});
    section(QStringLiteral("trunk"), trunkJson(device.trunk, comparison.withCarrierLevel),
            trunkJson(other.trunk, comparison.withCarrierLevel),
            {"line", "clockPolarity", "dataPolarity", "carrierLevel"});
    // A KORVANE has no cycle B.
    const bool withCyclesB = model == text::ModelAB;
    section(QStringLiteral("delay"), delayJson(device.trunk, withCyclesB),
            delayJson(other.trunk, withCyclesB), {"enabled", "cyclesA", "cyclesB"});
    return out;
}

} // namespace korvane
