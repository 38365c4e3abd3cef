// SPDX-License-Identifier: MIT
#include "bench/IdlePortCpu.h"

#include "link/SerialPort.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

namespace korvane::bench {
namespace {

constexpr int SettleMs = 200;

double toMs(const timeval& t) {
    return double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0;
}

} // namespace

IdleCpu measureIdlePortCpu(const QString& path, std::uint32_t baud, int idleMs) {
    IdleCpu result;
    SerialPort port;
    port.setCommName(path);
    port.setBaudRate(baud);
    port.setInputXonXoff(false);
    port.setOutputXonXoff(false);
    bool hungUp = false;
    port.hangupRequested = [&hungUp]() {
        hungUp = true;
    };
    try {
        port.openPort();
    } catch (const KorvaneError& e) {
        result.error = QStringLiteral("cannot open %1: %2 (error %3)")
                           .arg(path, QString::fromUtf8(e.what()))
                           .arg(e.systemError());
        return result;
    }

    // The port's threads start up after openPort returns; that one-off work is not idling.
    QEventLoop settle;
    QTimer::singleShot(SettleMs, Qt::PreciseTimer, &settle, &QEventLoop::quit);
    settle.exec();

    QEventLoop loop;
    QTimer::singleShot(idleMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    rusage before{};
    rusage after{};
    QElapsedTimer wall;
    ::getrusage(RUSAGE_SELF, &before);
    wall.start();
    loop.exec();
    result.wallMs = double(wall.nsecsElapsed()) / 1e6;
    ::getrusage(RUSAGE_SELF, &after);
    result.userMs = toMs(after.ru_utime) - toMs(before.ru_utime);
    result.systemMs = toMs(after.ru_stime) - toMs(before.ru_stime);
    result.contextSwitches =
        (after.ru_nvcsw + after.ru_nivcsw) - (before.ru_nvcsw + before.ru_nivcsw);
    if (hungUp)
        result.error = QStringLiteral("%1 hung up while idle").arg(path);
    return result;
}

} // namespace korvane::bench
