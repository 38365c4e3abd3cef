// SPDX-License-Identifier: MIT
#include "link/SerialPortLinuxBaud.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace korvane {

bool setCustomBaudRate(int fd, std::uint32_t rate) {
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = rate;
    tio.c_ospeed = rate;
    return ::ioctl(fd, TCSETS2, &tio) == 0;
}

std::uint32_t readBaudRate(int fd) {
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return 0;
    return tio.c_ospeed;
}

} // namespace korvane
