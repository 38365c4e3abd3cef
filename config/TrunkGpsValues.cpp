// SPDX-License-Identifier: MIT
#include "config/TrunkGpsValues.h"

namespace korvane {

TrunkGpsValues TrunkGpsValues::from(const DeviceConfiguration& c) {
    return TrunkGpsValues{c.trunk, c.gps, c.pocsagDelay, c.flexDelay};
}

void TrunkGpsValues::applyTo(DeviceConfiguration& c) const {
    c.trunk = trunk;
    c.gps = gps;
    c.pocsagDelay = pocsagDelay;
    c.flexDelay = flexDelay;
}

} // namespace korvane
