// SPDX-License-Identifier: MIT
#pragma once
// Running simulators announce their links, so that port lists can offer them beside
// the adapters the system detects: one small file per link in the user's runtime
// folder ($XDG_RUNTIME_DIR/korvane-sim/<pid>-<n>.link), written once the link is up
// and removed when it goes. A simulator that was killed leaves its file behind; the
// listing skips it unless the process it names is a korvane-sim (or this process)
// that holds the link's pty, so that reused process and pty numbers never make an
// unrelated terminal a port. Linux only.

#include <QList>
#include <QString>

namespace korvane {

struct SimulatorLink {
    QString path;  // what a SerialPort opens: the pty's slave, or the symlink made to it
    QString model; // the device model it plays: "KORVANE", "KORVANEA/B"
    qint64 pid = 0;
};

// The folder the announcements are in; empty when the system has no runtime folder.
QString simulatorLinkFolder();

// The links of the simulators that still run, in path order.
QList<SimulatorLink> runningSimulatorLinks();

// Announces one link for as long as it lives.
class SimulatorAnnouncement {
public:
    SimulatorAnnouncement(const QString& linkPath, const QString& model);
    ~SimulatorAnnouncement(); // removes the file
    SimulatorAnnouncement(const SimulatorAnnouncement&) = delete;
    SimulatorAnnouncement& operator=(const SimulatorAnnouncement&) = delete;

    bool isAnnounced() const { return !m_file.isEmpty(); }
    QString errorString() const { return m_error; } // why not, when not announced

private:
    QString m_file;
    QString m_error;
};

} // namespace korvane
