// SPDX-License-Identifier: MIT
#include "link/SimulatorLinks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <optional>

#include <unistd.h>

namespace korvane {
namespace {

constexpr qint64 MaxAnnouncementSize = 4096;

bool processRuns(qint64 pid) {
    if (pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// A killed simulator's process number and pty may both be reused: the announcement
// then names an unrelated terminal, which must never be written to. Only a korvane-sim
// (or this very process, which may run simulators in-process) holding the pty counts.
bool isSimulatorProcess(qint64 pid) {
    if (pid == QCoreApplication::applicationPid())
        return true;
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "korvane-sim";
}

bool holdsDevice(qint64 pid, const QString& device) {
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd :
         fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t n =
            ::readlink(QFile::encodeName(fds.filePath(fd)).constData(), target, sizeof target);
        if (n > 0 && QFile::decodeName(QByteArray(target, qsizetype(n))) == device)
            return true;
    }
    return false;
}

bool isLive(const SimulatorLink& link) {
    if (!processRuns(link.pid) || !isSimulatorProcess(link.pid))
        return false;
    // A dangling symlink has no canonical path: the pty went with its process.
    const QString device = QFileInfo(link.path).canonicalFilePath();
    return !device.isEmpty() && holdsDevice(link.pid, device);
}

// "link=PATH", "model=NAME", "pid=N", one a line; nothing for anything else.
std::optional<SimulatorLink> readAnnouncement(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly) || in.size() > MaxAnnouncementSize)
        return std::nullopt;
    SimulatorLink link;
    for (const QByteArray& line : in.readAll().split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals);
        const QString value = QString::fromUtf8(line.mid(equals + 1));
        if (key == "link")
            link.path = value;
        else if (key == "model")
            link.model = value;
        else if (key == "pid")
            link.pid = value.toLongLong();
    }
    if (link.path.isEmpty() || link.pid <= 0)
        return std::nullopt;
    return link;
}

} // namespace

QString simulatorLinkFolder() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : runtime + QStringLiteral("/korvane-sim");
}

QList<SimulatorLink> runningSimulatorLinks() {
    const QString folder = simulatorLinkFolder();
    if (folder.isEmpty())
        return {};
    QList<SimulatorLink> links;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.link")}, QDir::Files)) {
        const std::optional<SimulatorLink> link = readAnnouncement(dir.filePath(name));
        if (link && isLive(*link))
            links.append(*link);
    }
    std::sort(links.begin(), links.end(),
              [](const SimulatorLink& a, const SimulatorLink& b) { return a.path < b.path; });
    return links;
}

SimulatorAnnouncement::SimulatorAnnouncement(const QString& linkPath, const QString& model) {
    const QString folder = simulatorLinkFolder();
    if (folder.isEmpty()) {
        m_error = QStringLiteral("no runtime folder");
        return;
    }
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("cannot make %1").arg(folder);
        return;
    }
    static std::atomic<int> counter{0};
    const qint64 pid = QCoreApplication::applicationPid();
    const QString file = QStringLiteral("%1/%2-%3.link").arg(folder).arg(pid).arg(++counter);
    QSaveFile out(file);
    const QByteArray text = "link=" + linkPath.toUtf8() + "\nmodel=" + model.toUtf8() +
                            "\npid=" + QByteArray::number(pid) + '\n';
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
        return;
    }
    m_file = file;
}

SimulatorAnnouncement::~SimulatorAnnouncement() {
    if (!m_file.isEmpty())
        QFile::remove(m_file);
}

} // namespace korvane
