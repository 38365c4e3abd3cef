// SPDX-License-Identifier: MIT
#pragma once
// Bit rates that have no termios constant, through termios2 and BOTHER. Kept apart
// because <asm/termbits.h> cannot share a translation unit with <termios.h>.

#include <cstdint>

namespace korvane {

// Sets input and output rate of the open terminal fd; false when the driver refuses.
bool setCustomBaudRate(int fd, std::uint32_t rate);

// The output rate the driver holds for fd, or 0 when it cannot be read.
std::uint32_t readBaudRate(int fd);

} // namespace korvane
