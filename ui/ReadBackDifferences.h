// SPDX-License-Identifier: MIT
#pragma once
// The warning write-all shows when the device, read back, holds other values than the
// window sent: the differing fields in the window's own words.

#include "config/DeviceConfiguration.h"

#include <QString>

namespace korvane {

// Empty when the device holds what was sent (the serial number is not written, so it
// is not compared); else a headline and one line per differing field ("端口6 通道：
// 写入 5，设备 -"), at most ten of them and "…" for the rest.
QString readBackDifferencesText(const DeviceConfiguration& sent, const DeviceConfiguration& device);

} // namespace korvane
