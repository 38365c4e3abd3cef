// SPDX-License-Identifier: MIT
#include "PtyDevice.h"

#include <QDeadlineTimer>
#include <QDir>

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

PtyDevice::PtyDevice() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        return;
    const char* name = nullptr;
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        (name = ::ptsname(m_master)) == nullptr) {
        CloseMaster();
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyDevice::~PtyDevice() {
    CloseMaster();
}

bool PtyDevice::Write(const QByteArray& bytes) {
    const QDeadlineTimer deadline(10000);
    qsizetype offset = 0;
    while (offset < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + offset,
                                  static_cast<std::size_t>(bytes.size() - offset));
        if (n > 0) {
            offset += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (deadline.hasExpired())
            return false;
        pollfd p{m_master, POLLOUT, 0};
        ::poll(&p, 1, 50);
    }
    return true;
}

QByteArray PtyDevice::Read(int count, int timeoutMs) {
    QByteArray out;
    const QDeadlineTimer deadline(timeoutMs);
    while (out.size() < count && !deadline.hasExpired()) {
        pollfd p{m_master, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(std::min<qint64>(deadline.remainingTime(), 100)));
        if (!ReadAvailable(out))
            break;
    }
    return out;
}

bool PtyDevice::ReadAvailable(QByteArray& into) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return true;
        return false; // EIO: no slave open
    }
}

void PtyDevice::CloseMaster() {
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

termios PtyDevice::SlaveTermios() const {
    termios tio{};
    ::tcgetattr(m_master, &tio);
    return tio;
}

int ThreadCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/task"))
                                .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                                .size());
}

int OpenFdCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                                .size());
}
