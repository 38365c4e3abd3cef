#include "config/TrunkGpsValues.h"

namespace korvane {

TrunkGpsValues TrunkGpsValues::from(const DeviceConfiguration& c) {
    return TrunkGpsValues{c.Trunk, c.Gps, c.PocsagDelay, c.FlexDelay};
}

void TrunkGpsValues::applyTo(DeviceConfiguration& c) const {
    c.Trunk = Trunk;
    c.Gps = Gps;
    c.PocsagDelay = PocsagDelay;
    c.FlexDelay = FlexDelay;
}

} // namespace korvane
