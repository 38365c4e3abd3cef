// SPDX-License-Identifier: MIT
#include "cli/PortsCommand.h"

#include "cli/Console.h"

#include <QJsonObject>

#include <optional>

namespace korvane::cli {

namespace {

QString orDash(const QString& text) {
    return text.isEmpty() ? QStringLiteral("-") : text;
}

QString description(const DetectedPort& port) {
    if (port.description.isEmpty() || port.manufacturer.isEmpty())
        return port.description;
    return port.description + QStringLiteral(" (") + port.manufacturer + u')';
}

QString hex4(quint16 id) {
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

QJsonValue textOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue::Null : QJsonValue(text);
}

QJsonValue idOrNull(const std::optional<quint16>& id) {
    return id ? QJsonValue(int(*id)) : QJsonValue::Null;
}

} // namespace

QString portsText(const QList<DetectedPort>& ports) {
    QString text;
    for (const DetectedPort& port : ports) {
        const QString ids = port.vendorId && port.productId
                                ? hex4(*port.vendorId) + u':' + hex4(*port.productId)
                                : QString();
        // Descriptions come from the devices: no tab or line break of theirs splits a line.
        text += portShown(port.systemPath) + u'\t' + orDash(portShown(description(port))) + u'\t' +
                orDash(portShown(port.stablePath)) + u'\t' + orDash(ids) + u'\n';
    }
    return text;
}

QJsonArray portsJson(const QList<DetectedPort>& ports) {
    QJsonArray array;
    for (const DetectedPort& port : ports) {
        array.append(QJsonObject{
            {QStringLiteral("port"), port.systemPath},
            {QStringLiteral("ok"), true},
            {QStringLiteral("error"), QJsonValue::Null},
            {QStringLiteral("status"), 0},
            {QStringLiteral("name"), port.name},
            {QStringLiteral("description"), textOrNull(port.description)},
            {QStringLiteral("manufacturer"), textOrNull(port.manufacturer)},
            {QStringLiteral("serialNumber"), textOrNull(port.serialNumber)},
            {QStringLiteral("vendorId"), idOrNull(port.vendorId)},
            {QStringLiteral("productId"), idOrNull(port.productId)},
            {QStringLiteral("stablePath"), textOrNull(port.stablePath)},
            {QStringLiteral("simulator"), port.simulator},
        });
    }
    return array;
}

} // namespace korvane::cli
