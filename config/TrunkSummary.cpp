#include "config/TrunkSummary.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"

namespace korvane {

QString trunkSummary(const DeviceConfiguration& configuration) {
    const TrunkParams& trunk = configuration.Trunk;
    const GpsParams& gps = configuration.Gps;
    const auto sign = [](std::int32_t value) {
        return value == 0 ? text::Positive : text::Negative;
    };

    QString s;
    if (gps.GpsEnabled == 0)
        s += QStringLiteral("GPS:禁止 ");
    else
        s += QStringLiteral("GPS:允许 GPS极性:") + sign(gps.GpsPolarity);

    if (trunk.DelayEnabled == 0) {
        s += QStringLiteral("  干线延时:禁止 ");
    } else if (configuration.DeviceModel == text::ModelAB) {
        s += QStringLiteral("  干线延时:允许 延时周期：%1 %2 ")
                 .arg(trunk.DelayCyclesA)
                 .arg(trunk.DelayCyclesB);
    } else if (configuration.DeviceModel == text::ModelSingle) {
        s += QStringLiteral("  干线延时:允许 延时周期：%1 ").arg(trunk.DelayCyclesA);
    } else {
        throw KorvaneError(QStringLiteral("Korvane 版本错误！"), KorvaneError::Kind::Model);
    }

    s += QStringLiteral("  干线口:");
    s += trunk.TrunkPort == 0   ? QStringLiteral("自动 ")
         : trunk.TrunkPort == 1 ? QStringLiteral("TA ")
                                : QStringLiteral("TB ");
    s += QStringLiteral("  时钟极性:") + sign(trunk.ClockPolarity) + u' ';
    s += QStringLiteral("  数据极性:") + sign(trunk.DataPolarity) + u' ';
    s += QStringLiteral("  载波电平:") +
         (trunk.CarrierLevel == 0 ? QStringLiteral("高 ") : QStringLiteral("低 "));
    return s;
}

} // namespace korvane
