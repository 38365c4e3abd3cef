// SPDX-License-Identifier: MIT
#pragma once
// How the port's line settings become a termios on Linux.
//
// Linux has no DSR flow control, DSR sensitivity, continue-on-XOFF, XON/XOFF limits or
// replacement character: those properties are left out. With parity checking on, a
// byte with a parity or framing error arrives as NUL when replaceWhenParityError is
// set, else it is dropped. DTR and RTS are modem-line ioctls, not termios.

#include <termios.h>

namespace korvane {

class SerialPort;

// Rebuilds tio in raw mode from the port's properties, keeping its other control
// characters. Returns false when the bit rate has no termios constant; the speed in
// tio is then left as it was.
bool fillTermios(const SerialPort& port, termios& tio);

} // namespace korvane
