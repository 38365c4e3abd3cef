// SPDX-License-Identifier: MIT
// The Linux layer of the serial port: opening, line settings and closing of a termios
// device; eventfd descriptors stand for the stop and wake events.

#include "link/CommDevicePath.h"
#include "link/PortOpenFailure.h"
#include "link/SerialPort.h"
#include "link/SerialPortLinuxBaud.h"
#include "link/SerialPortPrivate.h"
#include "link/SerialPortTermios.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace korvane {

namespace {

struct SpeedCode {
    std::uint32_t rate;
    speed_t constant;
};

constexpr SpeedCode StandardSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

std::optional<speed_t> standardSpeed(std::uint32_t rate) {
    for (const SpeedCode& s : StandardSpeeds)
        if (s.rate == rate)
            return s.constant;
    return std::nullopt;
}

void signalEventFd(int fd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// The name a process runs under (its comm), without the line end.
QString processName(const QByteArray& pid) {
    QFile comm(QByteArrayLiteral("/proc/") + pid + QByteArrayLiteral("/comm"));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readLine().trimmed());
}

// Whether a descriptor of the process pid leads to target.
bool holdsOpen(const QByteArray& pid, const QByteArray& target) {
    const QByteArray fdDir = QByteArrayLiteral("/proc/") + pid + QByteArrayLiteral("/fd");
    DIR* fds = ::opendir(fdDir.constData());
    if (fds == nullptr)
        return false; // gone, or another user's
    bool holds = false;
    while (const dirent* entry = ::readdir(fds)) {
        if (entry->d_name[0] == '.')
            continue;
        const QByteArray link = fdDir + '/' + entry->d_name;
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer);
        if (n > 0 && QByteArray(buffer, n) == target) {
            holds = true;
            break;
        }
    }
    ::closedir(fds);
    return holds;
}

// The processes holding a whole-file lock on the file st names, from /proc/locks
// ("1: FLOCK  ADVISORY  WRITE 4242 00:1a:9 0 EOF"; a waiter's line has "->" second).
QList<QByteArray> lockHolders(const struct stat& st) {
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> pids;
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] == "->")
            continue;
        const QList<QByteArray> id = fields[5].split(':');
        bool ok[3] = {};
        if (id.size() != 3 || id[0].toUInt(&ok[0], 16) != major(st.st_dev) ||
            id[1].toUInt(&ok[1], 16) != minor(st.st_dev) ||
            id[2].toULongLong(&ok[2]) != st.st_ino || !ok[0] || !ok[1] || !ok[2])
            continue;
        if (!pids.contains(fields[4]))
            pids.append(fields[4]);
    }
    return pids;
}

} // namespace

PortProblem openProblemOf(int systemError) {
    switch (systemError) {
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
    case EIO: // a /dev/ttyS node without a UART behind it
        return PortProblem::Missing;
    case EACCES:
    case EPERM:
        return PortProblem::Denied;
    case EBUSY:
    case EWOULDBLOCK: // the lock of another open (EAGAIN is the same number)
        return PortProblem::Busy;
    default:
        return PortProblem::Other;
    }
}

// The lock this port takes names its holder exactly; a program that holds the port
// without it (TIOCEXCL only) is found among those that have it open.
QString portHolders(const QString& devicePath) {
    char resolved[PATH_MAX];
    struct stat st {};
    if (::realpath(QFile::encodeName(devicePath).constData(), resolved) == nullptr ||
        ::stat(resolved, &st) != 0)
        return {};
    QList<QByteArray> pids = lockHolders(st);
    // A few are enough to find the program to close.
    constexpr qsizetype MaxNamed = 3;
    if (pids.isEmpty()) {
        const QByteArray target(resolved);
        if (DIR* proc = ::opendir("/proc")) {
            while (const dirent* entry = ::readdir(proc)) {
                const QByteArray pid(entry->d_name);
                bool numeric = false;
                pid.toLong(&numeric);
                if (numeric && holdsOpen(pid, target))
                    pids.append(pid);
                if (pids.size() == MaxNamed)
                    break;
            }
            ::closedir(proc);
        }
    }
    QStringList holders;
    for (const QByteArray& pid : pids.mid(0, MaxNamed)) {
        const QString number = QStringLiteral("进程 ") + QString::fromLatin1(pid);
        const QString name = processName(pid);
        holders.append(name.isEmpty() ? number : name + QStringLiteral("（") + number + u'）');
    }
    return holders.join(QStringLiteral("、"));
}

int SerialPort::lastSystemError() {
    return errno;
}

bool SerialPort::isOpen() const noexcept {
    return m_state && m_state->fd >= 0;
}

bool SerialPort::openHandle(const QString& name) {
    const QByteArray path = QFile::encodeName(commDevicePath(name));
    if (path.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    int fd = -1;
    do {
        fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    if (::isatty(fd)) {
        // TIOCEXCL alone leaves a race between open and ioctl, and root ignores it;
        // the lock holds against every program that takes it, root included.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        ::ioctl(fd, TIOCEXCL);
    }
    m_state->fd = fd;
    return true;
}

bool SerialPort::isCommHandle() {
    m_state->termiosSaved = ::tcgetattr(m_state->fd, &m_state->savedTermios) == 0;
    return m_state->termiosSaved;
}

// Linux drivers size their own queues; there is nothing to set.
bool SerialPort::setupQueues() {
    return true;
}

void SerialPort::purgeAll() {
    ::tcflush(m_state->fd, TCIOFLUSH);
}

// The receive thread reads these at every wait. Write limits are not used: the
// transmit thread writes every byte whatever the time.
void SerialPort::applyTimeouts() {
    m_state->readIntervalTimeout = m_readIntervalTimeout;
    m_state->readTotalTimeoutMultiplier = m_readTotalTimeoutMultiplier;
    m_state->readTotalTimeoutConstant = m_readTotalTimeoutConstant;
}

bool fillTermios(const SerialPort& port, termios& tio) {
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    switch (port.byteSize()) {
    case DataBits::_5:
        tio.c_cflag |= CS5;
        break;
    case DataBits::_6:
        tio.c_cflag |= CS6;
        break;
    case DataBits::_7:
        tio.c_cflag |= CS7;
        break;
    default:
        tio.c_cflag |= CS8;
        break;
    }
    switch (port.parity()) {
    case ParityMode::Odd:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case ParityMode::Even:
        tio.c_cflag |= PARENB;
        break;
    case ParityMode::Mark:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case ParityMode::Space:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    // 1.5 stop bits exist only with 5 data bits on a UART; Linux sends 2.
    if (port.stopBits() != StopBitsMode::_1)
        tio.c_cflag |= CSTOPB;
    if (port.outputCtsFlow() || port.rtsControl() == RtsMode::RtsHandshake)
        tio.c_cflag |= CRTSCTS;

    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK | ISTRIP | BRKINT);
    // A break is a line error, not a NUL byte in the data.
    tio.c_iflag |= IGNBRK;
    if (port.parityCheck()) {
        tio.c_iflag |= INPCK;
        if (!port.replaceWhenParityError())
            tio.c_iflag |= IGNPAR;
    }
    if (port.outputXonXoff())
        tio.c_iflag |= IXON;
    if (port.inputXonXoff())
        tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = port.xonChar();
    tio.c_cc[VSTOP] = port.xoffChar();
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    const std::optional<speed_t> speed = standardSpeed(port.baudRate());
    if (speed) {
        ::cfsetispeed(&tio, *speed);
        ::cfsetospeed(&tio, *speed);
    }
    return speed.has_value();
}

void SerialPort::applyLineSettings() {
    const int fd = m_state->fd;
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return;
    const bool standardRate = fillTermios(*this, tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    // A rate of 0 would hang the line up; it is ignored like any the driver refuses.
    if (!standardRate && m_baudRate != 0)
        setCustomBaudRate(fd, m_baudRate);

    m_state->discardNul = m_ignoreNullChar;

    // Pseudo-terminals have no modem lines; their refusal is of no interest.
    int dtr = TIOCM_DTR;
    ::ioctl(fd, m_dtrControl == DtrMode::DtrDisable ? TIOCMBIC : TIOCMBIS, &dtr);
    if (m_rtsControl != RtsMode::RtsHandshake) {
        int rts = TIOCM_RTS;
        ::ioctl(fd, m_rtsControl == RtsMode::RtsDisable ? TIOCMBIC : TIOCMBIS, &rts);
    }
}

bool SerialPort::createStopEvent() {
    m_state->stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_state->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return m_state->stopFd >= 0 && m_state->wakeFd >= 0;
}

// Never reset: once signalled, every later wait of both threads wakes at once.
void SerialPort::signalStop() {
    signalEventFd(m_state->stopFd);
}

void SerialPort::closeStopEvent() {
    closeFd(m_state->stopFd);
    closeFd(m_state->wakeFd);
}

void SerialPort::closeHandle() {
    int& fd = m_state->fd;
    if (fd < 0)
        return;
    if (m_state->termiosSaved)
        ::tcsetattr(fd, TCSANOW, &m_state->savedTermios);
    // The terminal may outlive this handle (a pseudo-terminal whose other side is
    // still open); the next open must not find it exclusive.
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    closeFd(fd);
}

} // namespace korvane
