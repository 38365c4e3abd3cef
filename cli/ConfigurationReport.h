// SPDX-License-Identifier: MIT
#pragma once
// What korvanectl tells about a device's configuration: JSON and readable text. The
// differences between two configurations are the session's (both programs tell them).

#include "config/DeviceConfiguration.h"
#include "session/ConfigurationDifferences.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

namespace korvane::cli {

// How much of a device read arrived, in the read's order.
enum class ReadPart { Nothing, Address, SerialNumber, Ports, Gps, Trunk, Delay };

// What the configuration's JSON holds: the device's model and the carrier level only
// where they are known (a configuration file has neither).
struct JsonScope {
    ReadPart read = ReadPart::Delay; // the parts after it are null
    bool withCarrierLevel = true;
};

// The values as JSON: address, serial, ports, gps, trunk, delay, each null when not
// read; numbers as numbers, absent values null, enumerations as English words
// ("sync", "pocsag", "internal", "rising", "positive", "on", "auto", "ta", "high").
QJsonObject configurationJson(const DeviceConfiguration& configuration, JsonScope scope = {});

// The values as a person reads them: identity, the port table as the window shows
// it, and the trunk label. Without a model (a configuration file) the model line and
// the carrier level are left out, and the trunk delay shows both cycles the file holds.
QString configurationText(const DeviceConfiguration& configuration);

} // namespace korvane::cli
