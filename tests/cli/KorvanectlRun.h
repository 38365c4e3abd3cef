// SPDX-License-Identifier: MIT
#pragma once
// What the korvanectl tests share: a run of korvanectl in-process, simulators on ptys
// and backups of them.

#include "cli/Console.h"
#include "cli/Korvanectl.h"
#include "sim/SimulatorHost.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

namespace korvane::test {

inline const QString NoAnswer =
    QStringLiteral("请检查Korvane是否加电，连线是否连上，通讯端口是否设对？");

// The answer time limit in tests, that of the device tests (TestTimeLimitMs): far
// above any answer of the simulator on a loaded machine, a tenth of the product's 5 s,
// so a silent device costs little.
inline const QString TestTimeout = QStringLiteral("500");

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run ctl(QStringList arguments, const QByteArray& in = {}, bool outTerminal = true);

// A simulator with its own serial number (and optionally silent), answering at once:
// unpaced, without a reply delay.
std::unique_ptr<sim::SimulatorHost> startSim(std::uint32_t serial, bool silent = false,
                                             sim::Model model = sim::Model::Korvane,
                                             std::uint32_t address = 1);

// Puts a simulator back as startSim made it: its state, no faults beyond the silence
// it was started with, an empty frame log. For a simulator shared by several cases.
void resetSim(sim::SimulatorHost& sim, std::uint32_t serial, bool silent = false,
              sim::Model model = sim::Model::Korvane, std::uint32_t address = 1);

QStringList portArgs(const QList<sim::SimulatorHost*>& sims);

// The frames of the log that would change the device.
int writeFramesReceived(const sim::SimulatorHost& sim);

// A backup of the device as read -o makes it; the frame log is cleared after it.
QString takeBackup(sim::SimulatorHost& sim, const QTemporaryDir& dir, const QString& name);

// A copy of file in dir, under name, for a case to change; a backup made once serves
// every row of a table so.
QString copyInto(const QString& file, const QTemporaryDir& dir, const QString& name);

} // namespace korvane::test
