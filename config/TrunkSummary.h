// SPDX-License-Identifier: MIT
#pragma once
// The one-line text of the main window's trunk label.

#include "config/DeviceConfiguration.h"

#include <QString>

namespace korvane {

// GPS, trunk delay, trunk port, clock and data polarity and carrier level, built from
// the configuration and its DeviceModel. Throws KorvaneError("Korvane 版本错误！") when
// the trunk delay is on and the model is neither "KORVANE" nor "KORVANEA/B".
QString trunkSummary(const DeviceConfiguration& configuration);

} // namespace korvane
