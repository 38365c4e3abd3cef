// SPDX-License-Identifier: MIT
#pragma once
// Helpers shared by the write and schedule tests: schedule files, the current
// directory, and an operator that notes where on the wire each pause falls.

#include "config/DeviceConfiguration.h"
#include "sim/SimulatorHost.h"
#include "tests/support/RecordingOperator.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace korvane::test {

// Three header lines, then one entry line each, every line ending in CR LF.
inline QByteArray ScheduleFileBytes(const QList<QByteArray>& entries) {
    QByteArray out = "schedule\r\nheader\r\nlines\r\n";
    for (const QByteArray& e : entries)
        out += e + "\r\n";
    return out;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Names a channel file in dir and writes the schedule file beside it.
inline bool ScheduleBeside(const QTemporaryDir& dir, DeviceConfiguration& c,
                           const QByteArray& schedule) {
    c.channelFileName = dir.filePath(QStringLiteral("paging.chn"));
    return dir.isValid() && WriteFile(dir.filePath(QStringLiteral("paging.sch")), schedule);
}

// count entries "100", "101", ... cycling through 50 values: unclaimed by any port,
// entry i becomes port index i % 50, so every slot of a block is told apart.
inline QList<QByteArray> CountingEntries(int count) {
    QList<QByteArray> entries;
    for (int i = 0; i < count; ++i)
        entries.append(QByteArray::number(100 + i % 50));
    return entries;
}

// Changes the current directory for one test and restores it afterwards.
class CurrentDirGuard {
public:
    explicit CurrentDirGuard(const QString& dir) : m_old(QDir::currentPath()) {
        m_ok = QDir::setCurrent(dir);
    }
    ~CurrentDirGuard() { QDir::setCurrent(m_old); }
    CurrentDirGuard(const CurrentDirGuard&) = delete;
    CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;
    bool ok() const { return m_ok; }

private:
    QString m_old;
    bool m_ok = false;
};

// Records, for every pause, how many frames the device had received when it began.
class WireOperator : public RecordingOperator {
public:
    explicit WireOperator(const sim::SimulatorHost& sim) : m_sim(sim) {}

    QList<qsizetype> framesAtPause;
    // Runs after each pause with the number of pauses so far.
    std::function<void(qsizetype)> onPause;

    void pause(int ms) override {
        framesAtPause.append(m_sim.framesReceived().size());
        RecordingOperator::pause(ms);
        if (onPause)
            onPause(pauses.size());
    }

private:
    const sim::SimulatorHost& m_sim;
};

} // namespace korvane::test
