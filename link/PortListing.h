#pragma once
// The serial ports this system has, as names a SerialPort opens: the candidates a
// scan for devices tries. One file per system (PortListingLinux.cpp,
// PortListingWindows.cpp), chosen by the build.

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

// "ttyUSB0 — USB-Serial Controller (FTDI)": the port as a list shows it.
QString portListText(const DetectedPort& port);

// On Linux the USB and ACM adapters, and with withOnBoardPorts the on-board ttyS
// ports too, as /dev paths in name order. On Windows every COMn name the system
// holds, in number order (withOnBoardPorts changes nothing there).
QStringList candidatePorts(bool withOnBoardPorts);

} // namespace korvane
