// SPDX-License-Identifier: MIT
// korvanectl ports: the ports the system detects and the links of running simulators.
#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "cli/Console.h"
#include "link/PortListing.h"

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

QJsonValue idOrNull(const std::optional<quint16>& id) {
    return id ? QJsonValue(int(*id)) : QJsonValue::Null;
}

// One line a port, tab-separated: the port as --port takes it, the description with the
// manufacturer, the stable by-id path, the USB ids as vvvv:pppp; "-" for what a port
// lacks.
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

// The port results of the JSON document: port, ok, error and status, then what the
// system tells of the port (null where it tells nothing).
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

QString help() {
    return QStringLiteral(
        "Usage: korvanectl ports [--json]\n"
        "Lists the serial ports the system detects and the links of running simulators,\n"
        "one line each: the port (as --port takes it), its description, the stable\n"
        "/dev/serial/by-id path and the USB vendor:product ids (- where there is none).\n"
        "Sends nothing.\n");
}

// Sends nothing: done before any port.
Prepared prepare(Options& o, Console& console) {
    const QList<DetectedPort> ports = detectedPorts();
    if (ports.isEmpty())
        console.err(QStringLiteral("korvanectl: 没有检测到串口，也没有运行中的模拟器"));
    if (o.json)
        printDocument(console, o, StatusOk, portsJson(ports));
    else
        console.out(portsText(ports));
    return {nullptr, StatusOk};
}

} // namespace

extern const CommandDef portsCommand{
    .name = "ports",
    .synopsis =
        "  ports                        the serial ports detected, and running simulators\n",
    .help = help,
    .options = {},
    .ports = PortUse::None,
    .takesFile = false,
    .checkOptions = nullptr,
    .prepare = prepare,
};

} // namespace korvane::cli
