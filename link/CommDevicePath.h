// SPDX-License-Identifier: MIT
#pragma once
// Port names as the operator types them, mapped to the device path this system opens.

#include <QString>

namespace korvane {

// On Linux: "COM1".."COMn" (any case, also in the "\\.\COMn" form) -> /dev/ttyS0..
// /dev/ttyS(n-1); a name containing "/" is a path used as it is; any other name lives
// in /dev ("ttyUSB0" -> /dev/ttyUSB0).
// On Windows: a name containing "\" or "/" is used as it is; any other name is a
// device in the "\\.\" namespace ("COM10" -> "\\.\COM10"), which every COM number
// needs from 10 on.
// Both: blanks around the name are dropped; an empty name maps to an empty path,
// which no open accepts.
QString commDevicePath(const QString& commName);

} // namespace korvane
