#pragma once
// What korvanectl tells about a device's configuration: JSON, readable text, and the
// differences between two configurations.

#include "config/DeviceConfiguration.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

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

// The device's values as JSON: model, address, serial, ports, gps, trunk, delay.
QJsonObject configurationJson(const DeviceConfiguration& configuration);

// The values as a person reads them: identity, the port table as the window shows
// it, and the trunk label.
QString configurationText(const DeviceConfiguration& configuration);

// One line per difference, "<what>: device <d>, <otherName> <o>". Port rows are compared
// as the device would hold them; remarks are not compared. The carrier level is compared
// only with withCarrierLevel (a configuration file does not carry it).
QStringList differences(const DeviceValues& device, const DeviceValues& other,
                        const QString& otherName, const QString& model, bool withCarrierLevel);

} // namespace korvane::cli
