// SPDX-License-Identifier: MIT
#include "config/TrunkSummary.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"

namespace korvane {

QString trunkSummary(const DeviceConfiguration& configuration) {
    const TrunkParams& trunk = configuration.trunk;
    const GpsParams& gps = configuration.gps;
    const auto sign = [](std::int32_t value) {
        return value == 0 ? text::Positive : text::Negative;
    };

    QString s;
    if (gps.gpsEnabled == 0)
        s += QStringLiteral("GPS:禁止 ");
    else
        s += QStringLiteral("GPS:允许 GPS极性:") + sign(gps.gpsPolarity);

    if (trunk.delayEnabled == 0) {
        s += QStringLiteral("  干线延时:禁止 ");
    } else if (configuration.deviceModel == text::ModelAB) {
        s += QStringLiteral("  干线延时:允许 延时周期：%1 %2 ")
                 .arg(trunk.delayCyclesA)
                 .arg(trunk.delayCyclesB);
    } else if (configuration.deviceModel == text::ModelSingle) {
        s += QStringLiteral("  干线延时:允许 延时周期：%1 ").arg(trunk.delayCyclesA);
    } else {
        throw KorvaneError(QStringLiteral("Korvane 版本错误！"), KorvaneError::Kind::Model);
    }

    s += QStringLiteral("  干线口:");
    s += trunk.trunkPort == 0   ? QStringLiteral("自动 ")
         : trunk.trunkPort == 1 ? QStringLiteral("TA ")
                                : QStringLiteral("TB ");
    s += QStringLiteral("  时钟极性:") + sign(trunk.clockPolarity) + u' ';
    s += QStringLiteral("  数据极性:") + sign(trunk.dataPolarity) + u' ';
    s += QStringLiteral("  载波电平:") +
         (trunk.carrierLevel == 0 ? QStringLiteral("高 ") : QStringLiteral("低 "));
    return s;
}

} // namespace korvane
