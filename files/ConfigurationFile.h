// SPDX-License-Identifier: MIT
#pragma once
// The configuration file (.krv): a CR LF text file in code page 936. A 44-line header
// (serial number, address, GPS, trunk delay, trunk port, data then clock polarity,
// the reserved block: a number, a text line and 32 lines of one raw byte each), then
// ten lines per port row in the list's column order, to the end of the file.

#include "config/DeviceConfiguration.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace korvane {

inline constexpr int ConfigurationHeaderLines = 44;
inline constexpr int LoadedPortRows = 24;

// What a configuration file holds. Missing or non-numeric integer lines read as 0.
struct ConfigurationFile {
    QString serialNumberText; // line 1 as it stands, for the serial number field
    QString addressText;      // line 2 as it stands, for the address field
    std::int32_t serialNumber = 0;
    std::int32_t address = 0;
    GpsParams gps;
    TrunkParams trunk; // CarrierLevel is not in the file and stays 0 here
    ReservedBlock reserved;
    PortTable ports; // the first 24 rows the port-row reader gives, fillers included

    // Everything the file holds goes into the configuration; CarrierLevel, the channel
    // delays, the device name, the station and the model stay as they were.
    void applyTo(DeviceConfiguration& configuration) const;
};

// The file's bytes. Throws KorvaneError, naming the place, when a cell text or the
// reserved text holds a CR or a byte 26, which would break the file's lines.
QByteArray configurationFileBytes(const DeviceConfiguration& configuration);

// Builds the bytes and saves them atomically: on any failure (KorvaneError) an old
// file stays as it was.
void writeConfigurationFile(const QString& path, const DeviceConfiguration& configuration);

// Reads the bytes of a configuration file; a file that ends early loads without error.
ConfigurationFile parseConfigurationFile(const QByteArray& bytes);
// Throws KorvaneError when the file cannot be read.
ConfigurationFile readConfigurationFile(const QString& path);

} // namespace korvane
