// SPDX-License-Identifier: MIT
#pragma once
// Why a serial port will not open, or went away while in use, in the operator's words:
// the reason and what to try, from the operating system's error number. The texts are
// the same on every system; which problem an error number means is the platform
// layer's (SerialPortLinux.cpp, SerialPortWindows.cpp).

#include <QString>

namespace korvane {

enum class PortProblem {
    Missing,   // no port by that name: the adapter is not plugged in, or the name is wrong
    Denied,    // the user may not open it (Linux: not in the dialout group)
    Busy,      // another program holds it
    NotSerial, // it opens, but it is no serial port
    Lost,      // it went away while in use
    Other,     // anything else: the system's own words
};

struct PortFailure {
    QString reason;
    QString hint;
};

// The texts for a problem with the port the operator named. holder: who holds a busy
// port ("minicom（进程 4242）"), empty when unknown; systemText: the system's own words
// for the error, empty for none.
PortFailure describePortProblem(PortProblem problem, const QString& portName, const QString& holder,
                                const QString& systemText);

// The system's own text for an error number; empty for 0.
QString systemErrorText(int systemError);

// Platform layer. Which problem the error number of a failed open means (errno, or
// GetLastError on Windows).
PortProblem openProblemOf(int systemError);
// The processes that hold the device at devicePath open, e.g. "minicom（进程 4242）";
// empty where that cannot be known (Windows; processes of other users).
QString portHolders(const QString& devicePath);

// A failed open of portName: the problem its error number means, a busy port with who
// holds it.
PortFailure openFailure(int systemError, const QString& portName);
// A port lost while in use.
PortFailure lostFailure(int systemError, const QString& portName);

} // namespace korvane
