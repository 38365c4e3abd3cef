// SPDX-License-Identifier: MIT
// The Linux worker threads: each sleeps in poll() on the port and the stop event, with
// a time limit only while a read has bytes in hand.

#include "link/SerialPort.h"
#include "link/SerialPortPrivate.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <optional>

#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

// One read never hands over more than this.
constexpr std::size_t ReadBlockSize = 2048;
// An interval time-out of all ones means "return what has arrived at once".
constexpr std::uint32_t IntervalReturnAtOnce = 0xFFFFFFFFu;

void signalEventFd(int fd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

void resetEventFd(int fd) {
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd, &value, sizeof value);
}

bool isSignalled(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

// Asks for a higher priority than the process's, steps levels at most. Only a
// privileged process may raise it; otherwise the thread keeps the process's level.
void raisePriority(int steps) {
    const pid_t tid = ::gettid();
    errno = 0;
    const int base = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (base == -1 && errno != 0)
        return;
    for (int s = steps; s > 0; --s)
        if (::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), base - s) == 0)
            return;
}

// How long the receive thread may sleep: -1 (no limit) while nothing is in hand and no
// total limit is set, else until the interval after the last byte or the total limit
// of this read runs out.
int waitTimeout(const PortThreadState& port, std::size_t have, Clock::time_point lastByte,
                Clock::time_point readStart) {
    using std::chrono::milliseconds;
    std::optional<Clock::time_point> deadline;
    const std::uint32_t interval = port.readIntervalTimeout;
    if (have > 0 && interval != 0)
        deadline = lastByte + milliseconds(interval == IntervalReturnAtOnce ? 0 : interval);
    const std::uint64_t total =
        std::min<std::uint64_t>(std::uint64_t(port.readTotalTimeoutMultiplier) * ReadBlockSize +
                                    port.readTotalTimeoutConstant,
                                INT_MAX);
    if (total != 0) {
        const Clock::time_point end = readStart + milliseconds(total);
        deadline = deadline ? std::min(*deadline, end) : end;
    }
    if (!deadline)
        return -1;
    const auto left = std::chrono::ceil<milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

// Line errors and modem changes, from the driver's counters where it keeps them
// (real UARTs; a pseudo-terminal keeps none).
class LineCounters {
public:
    explicit LineCounters(int fd) : m_fd(fd) {
        m_available = ::ioctl(m_fd, TIOCGICOUNT, &m_last) == 0;
    }

    void report(PortThreadState& port) {
        if (!m_available)
            return;
        serial_icounter_struct now{};
        if (::ioctl(m_fd, TIOCGICOUNT, &now) != 0)
            return;
        std::uint32_t errors = 0;
        if (now.buf_overrun != m_last.buf_overrun)
            errors |= CommErrorQueueOverrun;
        if (now.overrun != m_last.overrun)
            errors |= CommErrorOverrun;
        if (now.parity != m_last.parity)
            errors |= CommErrorParity;
        if (now.frame != m_last.frame)
            errors |= CommErrorFrame;
        if (now.brk != m_last.brk)
            errors |= CommErrorBreak;
        std::uint32_t modem = 0;
        if (now.dcd != m_last.dcd)
            modem |= ModemCarrierDetect;
        if (now.rng != m_last.rng)
            modem |= ModemRing;
        m_last = now;
        if (errors != 0)
            postNotification(port, NotifyError, errors);
        if (modem != 0)
            postNotification(port, NotifyModem, modem);
    }

private:
    int m_fd;
    bool m_available = false;
    serial_icounter_struct m_last{};
};

enum class WriteResult { Written, Ended };

// Writes the whole block; a full driver queue waits for room or the stop event.
WriteResult writeAll(PortThreadState& port, const std::vector<std::uint8_t>& block) {
    std::size_t offset = 0;
    while (offset < block.size()) {
        const ssize_t n = ::write(port.fd, block.data() + offset, block.size() - offset);
        if (n > 0) {
            offset += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd fds[2] = {{port.fd, POLLOUT, 0}, {port.stopFd, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                postHangup(port, errno);
                return WriteResult::Ended;
            }
            if (fds[1].revents != 0 || (fds[0].revents & POLLNVAL) != 0)
                return WriteResult::Ended;
            if ((fds[0].revents & POLLOUT) == 0 && (fds[0].revents & (POLLHUP | POLLERR)) != 0) {
                postHangup(port, 0);
                return WriteResult::Ended;
            }
            continue;
        }
        if (n < 0 && errno == EBADF)
            return WriteResult::Ended;
        // An error, or a driver that takes nothing: the port has gone.
        postHangup(port, n < 0 ? errno : 0);
        return WriteResult::Ended;
    }
    return WriteResult::Written;
}

} // namespace

void ReceiveThread::execute() {
    raisePriority(2);
    PortThreadState& port = m_port;
    LineCounters counters(port.fd);
    std::uint8_t buffer[ReadBlockSize];
    std::size_t have = 0;
    Clock::time_point lastByte{};
    Clock::time_point readStart = Clock::now();

    const auto deliver = [&] {
        if (have > 0)
            postData(port, buffer, have);
        have = 0;
        readStart = Clock::now();
    };

    for (;;) {
        pollfd fds[2] = {{port.fd, POLLIN, 0}, {port.stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, waitTimeout(port, have, lastByte, readStart));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            postHangup(port, errno);
            break;
        }
        if (fds[1].revents != 0)
            break;
        counters.report(port);
        if (ready == 0) {
            // The interval after the last byte or the total limit ran out.
            deliver();
            continue;
        }
        const short events = fds[0].revents;
        if ((events & POLLNVAL) != 0)
            break;
        if ((events & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue;

        const ssize_t n = ::read(port.fd, buffer + have, ReadBlockSize - have);
        if (n > 0) {
            std::uint8_t* first = buffer + have;
            std::uint8_t* last = first + n;
            if (port.discardNul)
                last = std::remove(first, last, std::uint8_t{0});
            have += static_cast<std::size_t>(last - first);
            lastByte = Clock::now();
            if (have == ReadBlockSize || port.readIntervalTimeout == IntervalReturnAtOnce)
                deliver();
            continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN) && (events & (POLLHUP | POLLERR)) == 0)
            continue;
        if (n < 0 && errno == EBADF)
            break;
        // End of file or an error: the device behind the port has gone. A hang-up
        // that reads as "try again" has no error of its own.
        const int error = n < 0 && errno != EAGAIN ? errno : 0;
        deliver();
        postHangup(port, error);
        break;
    }
    ::tcflush(port.fd, TCIFLUSH);
}

void TransmitThread::wake() {
    signalEventFd(m_port.wakeFd);
}

void TransmitThread::execute() {
    raisePriority(1);
    bool announce = true;
    std::vector<std::uint8_t> block;
    for (;;) {
        if (!take(block)) {
            if (announce)
                postNotification(m_port, NotifySendEmpty);
            announce = false;
            pollfd fds[2] = {{m_port.stopFd, POLLIN, 0}, {m_port.wakeFd, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                postHangup(m_port, errno);
                break;
            }
            if (fds[0].revents != 0)
                break;
            resetEventFd(m_port.wakeFd);
            continue;
        }
        if (isSignalled(m_port.stopFd))
            break;
        if (writeAll(m_port, block) != WriteResult::Written)
            break;
        announce = true;
    }
    ::tcflush(m_port.fd, TCOFLUSH);
}

} // namespace korvane
