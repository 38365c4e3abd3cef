// SPDX-License-Identifier: MIT
#include "cli/ConfigurationReport.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "config/TrunkSummary.h"

#include <QJsonArray>

namespace korvane::cli {

namespace {

constexpr int FirstPortColumn = 1;
constexpr int PortColumnCount = 8;

} // namespace

QJsonObject configurationJson(const DeviceConfiguration& c, JsonScope scope) {
    const auto part = [&](ReadPart p, QJsonValue v) {
        return scope.read >= p ? v : QJsonValue::Null;
    };
    QJsonArray ports;
    for (const PortEntry& row : c.ports)
        ports.append(portJson(row));
    QJsonObject o;
    o.insert(QStringLiteral("address"), part(ReadPart::Address, qint64(c.info.address)));
    o.insert(QStringLiteral("serial"), part(ReadPart::SerialNumber, qint64(c.info.serialNumber)));
    o.insert(QStringLiteral("ports"), part(ReadPart::Ports, ports));
    o.insert(QStringLiteral("gps"), part(ReadPart::Gps, gpsJson(c.gps)));
    o.insert(QStringLiteral("trunk"),
             part(ReadPart::Trunk, trunkJson(c.trunk, scope.withCarrierLevel)));
    o.insert(QStringLiteral("delay"),
             part(ReadPart::Delay, delayJson(c.trunk, c.deviceModel != text::ModelSingle)));
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

} // namespace korvane::cli
