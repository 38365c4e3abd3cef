// SPDX-License-Identifier: MIT
#include "protocol/DeviceOperator.h"

#include <QElapsedTimer>
#include <QTimer>

namespace korvane {

void runEventLoopFor(int ms, QEventLoop::ProcessEventsFlags flags) {
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    for (qint64 left = ms; left > 0; left = ms - elapsed.elapsed()) {
        timer.start(static_cast<int>(left));
        loop.exec(flags);
    }
}

} // namespace korvane
