// SPDX-License-Identifier: MIT
#pragma once
// What korvanectl tells about a device's configuration: JSON, readable text, and the
// differences between two configurations.

#include "config/DeviceConfiguration.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

namespace korvane::cli {

// The values a device holds and a configuration file carries.
struct DeviceValues {
    std::uint32_t serialNumber = 0;
    std::uint32_t address = 0;
    PortTable ports;
    GpsParams gps;
    TrunkParams trunk;

    static DeviceValues of(const DeviceConfiguration& configuration);
};

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

// One value that differs: its field as a path into the configuration's JSON
// ("serial", "ports.6.channel", "gps.enabled") and both values as JSON.
struct Difference {
    QString field;
    QJsonValue device;
    QJsonValue other;

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

} // namespace korvane::cli
