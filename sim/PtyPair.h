// SPDX-License-Identifier: MIT
#pragma once
// A pseudo-terminal pair in raw mode standing in for a serial line. The master side
// is the device's end; the slave path is what the program under test opens. The
// pair keeps a slave descriptor of its own open, so that the program may close and
// reopen the port without the master seeing a hang-up.
// Not thread-safe; owned by SimulatorHost.

#include <QString>

namespace korvane::sim {

class PtyPair {
public:
    PtyPair() = default;
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // Opens the pair (master non-blocking). On failure returns false with the
    // system's words in error and holds nothing.
    bool open(QString* error);
    void close();

    int masterFd() const noexcept { return m_master; }
    const QString& slavePath() const noexcept { return m_slavePath; }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

// Makes linkPath a symlink to target. A symlink already there (left by a run that
// was killed) is replaced; any other file there is an error.
bool createLink(const QString& linkPath, const QString& target, QString* error);
// Removes linkPath if it is still a symlink to target.
void removeLink(const QString& linkPath, const QString& target);

} // namespace korvane::sim
