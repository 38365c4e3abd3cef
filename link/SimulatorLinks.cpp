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

namespace korvane {
namespace {

constexpr qint64 MaxAnnouncementSize = 4096;

bool processRuns(qint64 pid) {
    if (pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
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
        // A dangling symlink does not exist either: the pty went with its process.
        if (link && processRuns(link->pid) && QFileInfo::exists(link->path))
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
