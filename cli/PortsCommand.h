// SPDX-License-Identifier: MIT
#pragma once
// korvanectl ports: the ports the system detects and the links of running
// simulators, as text lines and as the JSON document's port results.

#include "link/PortListing.h"

#include <QJsonArray>
#include <QList>
#include <QString>

namespace korvane::cli {

// One line a port, tab-separated: the port as --port takes it, the description with
// the manufacturer, the stable by-id path, the USB ids as vvvv:pppp; "-" for what a
// port lacks.
QString portsText(const QList<DetectedPort>& ports);

// The port results of the JSON document: port, ok, error and status, then what the
// system tells of the port (null where it tells nothing).
QJsonArray portsJson(const QList<DetectedPort>& ports);

} // namespace korvane::cli
