// SPDX-License-Identifier: MIT
#pragma once
// The differences between two configurations, field by field, as both programs tell
// them: korvanectl's diff and write, and the window's check of what a write-all read
// back. Also the values' JSON words, which korvanectl's reports share with them.

#include "config/DeviceConfiguration.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

namespace korvane {

// The values a device holds and a configuration file carries.
struct DeviceValues {
    std::uint32_t serialNumber = 0;
    std::uint32_t address = 0;
    PortTable ports;
    GpsParams gps;
    TrunkParams trunk;

    static DeviceValues of(const DeviceConfiguration& configuration);
};

// The values as JSON: numbers as numbers, absent values null, enumerations as English
// words ("sync", "pocsag", "internal", "rising", "positive", "on", "auto", "ta", "high").
// A port row's columns are null while it is unassigned.
QJsonObject portJson(const PortEntry& row);
QJsonObject gpsJson(const GpsParams& gps);
QJsonObject trunkJson(const TrunkParams& trunk, bool withCarrierLevel);
QJsonObject delayJson(const TrunkParams& trunk, bool withCyclesB);

// One value that differs: its field as a path into the configuration's JSON
// ("serial", "ports.6.channel", "gps.enabled") and both values as JSON.
struct Difference {
    QString field;
    QJsonValue device;
    QJsonValue other;
    // A port table cell: its port (from 1) and its column (PortEntry's field index);
    // 0 and -1 for the other values.
    int port = 0;
    int column = -1;

    // {"field", "device", "file"}: the other side is what the file asks for.
    QJsonObject json() const;
    // "<field>: device <d>, <otherName> <o>"; null shows as "-".
    QString text(const QString& otherName) const;
};

// Port rows are compared as the device would hold them; remarks are not compared. The
// carrier level is compared only with withCarrierLevel (a configuration file does not
// carry it); cycle B only for a KORVANEA/B. Without identity, serial number and address
// are left out (a template written to many devices).
struct Comparison {
    bool withCarrierLevel = false;
    bool withIdentity = true;
};
QList<Difference> differences(const DeviceValues& device, const DeviceValues& other,
                              const QString& model, Comparison comparison = {});

} // namespace korvane
