#pragma once
// The serial ports this system has, as names a SerialPort opens: the candidates a
// scan for devices tries. One file per system (PortListingLinux.cpp,
// PortListingWindows.cpp), chosen by the build.

#include <QStringList>

namespace korvane {

// On Linux the USB and ACM adapters, and with withOnBoardPorts the on-board ttyS
// ports too, as /dev paths in name order. On Windows every COMn name the system
// holds, in number order (withOnBoardPorts changes nothing there).
QStringList candidatePorts(bool withOnBoardPorts);

} // namespace korvane
