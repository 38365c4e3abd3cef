// SPDX-License-Identifier: MIT
#include "tests/cli/KorvanectlRun.h"

#include <QFile>
#include <QtGlobal>

namespace korvane::test {

Run ctl(QStringList arguments, const QByteArray& in, bool outTerminal) {
    cli::BufferConsole console;
    console.inBytes = in;
    console.outTerminal = outTerminal;
    arguments.prepend(QStringLiteral("korvanectl"));
    Run r;
    r.status = cli::runKorvanectl(arguments, console);
    r.out = console.outText();
    r.err = console.errText();
    return r;
}

namespace {

sim::SimulatorOptions simOptions(std::uint32_t serial, bool silent, sim::Model model,
                                 std::uint32_t address) {
    sim::SimulatorOptions options;
    options.state = sim::DeviceState::initial(model);
    options.state.serialNumber = serial;
    options.state.address = address;
    options.faults.silent = silent;
    return options;
}

} // namespace

std::unique_ptr<sim::SimulatorHost> startSim(std::uint32_t serial, bool silent, sim::Model model,
                                             std::uint32_t address) {
    auto host = std::make_unique<sim::SimulatorHost>();
    if (host->start(simOptions(serial, silent, model, address)).isEmpty())
        qFatal("simulator did not start: %s", qPrintable(host->errorString()));
    return host;
}

void resetSim(sim::SimulatorHost& sim, std::uint32_t serial, bool silent, sim::Model model,
              std::uint32_t address) {
    const sim::SimulatorOptions options = simOptions(serial, silent, model, address);
    sim.setState(options.state);
    sim.setFaults(options.faults);
    sim.clearFrameLog();
}

QStringList portArgs(const QList<sim::SimulatorHost*>& sims) {
    QStringList args{QStringLiteral("--timeout"), TestTimeout};
    for (sim::SimulatorHost* s : sims)
        args << QStringLiteral("--port") << s->slavePath();
    return args;
}

int writeFramesReceived(const sim::SimulatorHost& sim) {
    int count = 0;
    for (const ByteBuffer& f : sim.framesReceived())
        count += f.size() > 1 && (f[1] & 0x0F) == 0x07 ? 1 : 0;
    return count;
}

QString takeBackup(sim::SimulatorHost& sim, const QTemporaryDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    const Run r = ctl(portArgs({&sim}) << QStringLiteral("read") << QStringLiteral("-o") << path);
    if (r.status != 0)
        qFatal("backup failed: %s", qPrintable(r.err));
    sim.clearFrameLog();
    return path;
}

QString copyInto(const QString& file, const QTemporaryDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    if (!QFile::copy(file, path))
        qFatal("cannot copy %s to %s", qPrintable(file), qPrintable(path));
    return path;
}

} // namespace korvane::test
