// SPDX-License-Identifier: MIT
#pragma once
// The serial ports this system has, with what it knows of each, and the links of the
// simulators that run: what an operator chooses from and what a scan for devices
// tries. One file per system (PortListingLinux.cpp, PortListingWindows.cpp), chosen
// by the build; PortListing.cpp holds what both share.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace korvane {

// One port an operator can choose: an adapter the system detects, or the link of a
// running simulator.
struct DetectedPort {
    QString name;         // short name: "ttyUSB0", "COM3", "pts/5"
    QString systemPath;   // what SerialPort opens: "/dev/ttyUSB0", "COM3"
    QString description;  // "USB-Serial Controller", or the simulator and its model
    QString manufacturer; // "FTDI"
    QString serialNumber; // the adapter's own, not a device's
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    QString stablePath; // Linux: /dev/serial/by-id/... where there is one
    bool simulator = false;
};

// Every detected port, then every running simulator's link, each in name order.
QList<DetectedPort> detectedPorts();

// "ttyUSB0 — USB-Serial Controller (FTDI)": the port as a list shows it; just the
// name where there is no description.
QString portListText(const DetectedPort& port);

// The first entry of byIdFolder, in name order, that resolves to systemPath; empty
// where there is none.
QString stablePortPath(const QString& systemPath,
                       const QString& byIdFolder = QStringLiteral("/dev/serial/by-id"));

// The system paths of detectedPorts(): on Linux without the on-board ttyS ports
// unless withOnBoardPorts; on Windows every one (withOnBoardPorts changes nothing).
QStringList candidatePorts(bool withOnBoardPorts);

} // namespace korvane
