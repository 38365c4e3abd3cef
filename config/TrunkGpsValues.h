// SPDX-License-Identifier: MIT
#pragma once
// The eleven trunk, GPS and channel-delay values the trunk dialog edits, as one value
// taken from and given back to the configuration.

#include "config/DeviceConfiguration.h"

namespace korvane {

struct TrunkGpsValues {
    TrunkParams trunk;
    GpsParams gps;
    std::int32_t pocsagDelay = 0;
    std::int32_t flexDelay = 0;
    bool operator==(const TrunkGpsValues&) const = default;

    static TrunkGpsValues from(const DeviceConfiguration& c);
    void applyTo(DeviceConfiguration& c) const;
};

} // namespace korvane
