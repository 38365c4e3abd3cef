// SPDX-License-Identifier: MIT
// korvane-sim: a Korvane device on a pseudo-terminal, until SIGTERM or SIGINT.

#include "link/SimulatorLinks.h"
#include "sim/SimulatorHost.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <memory>
#include <pthread.h>

using namespace korvane::sim;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const ParsedArguments parsed = parseArguments(app.arguments());
    switch (parsed.outcome) {
    case ParsedArguments::Outcome::Help:
        std::fputs(parsed.text.toLocal8Bit().constData(), stdout);
        return 0;
    case ParsedArguments::Outcome::Error:
        std::fprintf(stderr, "korvane-sim: %s\nTry korvane-sim --help.\n",
                     parsed.text.toLocal8Bit().constData());
        return 2;
    case ParsedArguments::Outcome::Run:
        break;
    }

    // Blocked before the I/O thread starts, so only sigwait below ever sees them and
    // no handler runs at all.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SimulatorHost host;
    const QString slave = host.start(parsed.options);
    if (slave.isEmpty()) {
        std::fprintf(stderr, "korvane-sim: %s\n", host.errorString().toLocal8Bit().constData());
        return 1;
    }
    std::printf("PTY %s\n", slave.toLocal8Bit().constData());
    std::fflush(stdout);
    // Port lists offer the link while it runs; without a runtime folder it still runs.
    const QString link = parsed.options.linkPath.isEmpty()
                             ? slave
                             : QFileInfo(parsed.options.linkPath).absoluteFilePath();
    auto announcement = std::make_unique<korvane::SimulatorAnnouncement>(
        link, modelLabel(parsed.options.state.model));
    if (!announcement->isAnnounced())
        std::fprintf(stderr, "korvane-sim: the link is not announced: %s\n",
                     announcement->errorString().toLocal8Bit().constData());

    int received = 0;
    while (sigwait(&stopSignals, &received) != 0) {
    }
    announcement.reset();
    host.stop();
    return 0;
}
