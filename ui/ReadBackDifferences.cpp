// SPDX-License-Identifier: MIT
#include "ui/ReadBackDifferences.h"

#include "session/ConfigurationDifferences.h"

namespace korvane {

namespace {

constexpr int MaxLines = 10;

// The trunk and GPS values as the trunk label and its dialog name them.
QString fieldName(const QString& field) {
    static const std::pair<const char*, QString> names[] = {
        {"address", QStringLiteral("地址")},
        {"serial", QStringLiteral("序列号")},
        {"gps.enabled", QStringLiteral("GPS")},
        {"gps.polarity", QStringLiteral("GPS极性")},
        {"trunk.line", QStringLiteral("干线口")},
        {"trunk.clockPolarity", QStringLiteral("时钟极性")},
        {"trunk.dataPolarity", QStringLiteral("数据极性")},
        {"trunk.carrierLevel", QStringLiteral("载波电平")},
        {"delay.enabled", QStringLiteral("干线延时")},
        {"delay.cyclesA", QStringLiteral("延时周期A")},
        {"delay.cyclesB", QStringLiteral("延时周期B")},
    };
    for (const auto& [key, name] : names) {
        if (field == QLatin1String(key))
            return name;
    }
    return field;
}

QString valueWord(const QJsonValue& value) {
    static const std::pair<const char*, QString> words[] = {
        {"positive", QStringLiteral("正")}, {"negative", QStringLiteral("负")},
        {"auto", QStringLiteral("自动")},   {"ta", QStringLiteral("TA")},
        {"tb", QStringLiteral("TB")},       {"high", QStringLiteral("高")},
        {"low", QStringLiteral("低")},
    };
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("允许") : QStringLiteral("禁止");
    case QJsonValue::Double:
        return QString::number(value.toInteger());
    case QJsonValue::String:
        for (const auto& [word, shown] : words) {
            if (value.toString() == QLatin1String(word))
                return shown;
        }
        return value.toString();
    default:
        return QStringLiteral("-");
    }
}

// A port cell's text as the port list shows it.
QString cellText(const PortTable& ports, int port, int column) {
    if (port < 1 || port > ports.size())
        return QStringLiteral("-");
    const QString& text = ports[port - 1].field(column);
    return text.isEmpty() ? QStringLiteral("（空）") : text;
}

QString Line(const Difference& d, const DeviceConfiguration& sent,
             const DeviceConfiguration& device) {
    if (d.port > 0)
        return QStringLiteral("端口%1 %2：写入 %3，设备 %4")
            .arg(d.port)
            .arg(PortColumnCaptions.at(d.column), cellText(sent.ports, d.port, d.column),
                 cellText(device.ports, d.port, d.column));
    return QStringLiteral("%1：写入 %2，设备 %3")
        .arg(fieldName(d.field), valueWord(d.other), valueWord(d.device));
}

} // namespace

QString readBackDifferencesText(const DeviceConfiguration& sent,
                                const DeviceConfiguration& device) {
    DeviceValues wanted = DeviceValues::of(sent);
    wanted.serialNumber = device.info.serialNumber; // not written
    const QList<Difference> found =
        differences(DeviceValues::of(device), wanted, sent.deviceModel, {true, true});
    if (found.isEmpty())
        return {};
    QStringList lines{QStringLiteral("设备读回的参数与写入的不同：")};
    for (qsizetype i = 0; i < found.size() && i < MaxLines; ++i)
        lines.append(Line(found[i], sent, device));
    if (found.size() > MaxLines)
        lines.append(QStringLiteral("…（共%1处不同）").arg(found.size()));
    return lines.join(u'\n');
}

} // namespace korvane
