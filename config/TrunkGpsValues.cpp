#include "config/TrunkGpsValues.h"

namespace korvane {

TrunkGpsValues TrunkGpsValues::from(const DeviceConfiguration& c) {
    return TrunkGpsValues{c.trunk, c.gps, c.pocsagDelay, c.flexDelay};
}

void TrunkGpsValues::applyTo(DeviceConfiguration& c) const {
    c.trunk = Trunk;
    c.gps = Gps;
    c.pocsagDelay = PocsagDelay;
    c.flexDelay = FlexDelay;
}

} // namespace korvane
