// SPDX-License-Identifier: MIT
#include "sim/PtyPair.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace korvane::sim {
namespace {

QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PtyPair::~PtyPair() {
    close();
}

bool PtyPair::open(QString* error) {
    close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    char name[256];
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name, sizeof name) != 0) {
        *error = systemError("grantpt/unlockpt/ptsname");
        close();
        return false;
    }
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        *error = systemError("open slave");
        close();
        return false;
    }
    // Raw on the slave: no echo, no line editing, no CR/LF mapping, 8 bits through.
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0) {
        *error = systemError("tcgetattr");
        close();
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0) {
        *error = systemError("tcsetattr");
        close();
        return false;
    }
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        *error = systemError("fcntl");
        close();
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    return true;
}

void PtyPair::close() {
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
    m_slavePath.clear();
}

bool createLink(const QString& linkPath, const QString& target, QString* error) {
    const QByteArray link = QFile::encodeName(linkPath);
    struct stat st {};
    if (lstat(link.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            *error = QStringLiteral("%1 exists and is not a symlink").arg(linkPath);
            return false;
        }
        ::unlink(link.constData());
    }
    if (::symlink(QFile::encodeName(target).constData(), link.constData()) != 0) {
        *error =
            QStringLiteral("%1: %2").arg(linkPath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

void removeLink(const QString& linkPath, const QString& target) {
    const QByteArray link = QFile::encodeName(linkPath);
    char buffer[4096];
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer - 1);
    if (n < 0)
        return;
    // Another run may have taken the path over since; leave its link alone.
    if (QByteArray(buffer, n) == QFile::encodeName(target))
        ::unlink(link.constData());
}

} // namespace korvane::sim
