// SPDX-License-Identifier: MIT
#include "link/PortListing.h"
#include "link/SimulatorLinks.h"

#include <QSerialPortInfo>

#include <algorithm>

namespace korvane {
namespace {

// The on-board UARTs. Qt lists only those with a UART behind them (not the dozens
// of ttyS nodes the kernel makes whatever the hardware), so they are shown; a scan
// leaves them out unless asked, since other equipment may hang on them.
bool isOnBoard(const DetectedPort& port) {
    return port.name.startsWith(QLatin1String("ttyS"));
}

DetectedPort simulatorPort(const SimulatorLink& link) {
    DetectedPort port;
    const QString dev = QStringLiteral("/dev/");
    port.name = link.path.startsWith(dev) ? link.path.mid(dev.size()) : link.path;
    port.systemPath = link.path;
    port.description = QStringLiteral("模拟器 %1").arg(link.model);
    port.manufacturer = QStringLiteral("korvane-sim");
    port.simulator = true;
    return port;
}

} // namespace

QList<DetectedPort> detectedPorts() {
    QList<DetectedPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        DetectedPort port;
        port.name = info.portName();
        port.systemPath = info.systemLocation();
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        port.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier())
            port.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            port.productId = info.productIdentifier();
        port.stablePath = stablePortPath(port.systemPath);
        ports.append(port);
    }
    std::sort(ports.begin(), ports.end(),
              [](const DetectedPort& a, const DetectedPort& b) { return a.name < b.name; });
    for (const SimulatorLink& link : runningSimulatorLinks())
        ports.append(simulatorPort(link));
    return ports;
}

QStringList candidatePorts(bool withOnBoardPorts) {
    QStringList paths;
    for (const DetectedPort& port : detectedPorts()) {
        if (withOnBoardPorts || !isOnBoard(port))
            paths.append(port.systemPath);
    }
    return paths;
}

} // namespace korvane
