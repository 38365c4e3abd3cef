// SPDX-License-Identifier: MIT
// The search for devices: every port probed at once, by the probe alone.

#include "config/DisplayTexts.h"
#include "link/SerialPort.h"
#include "session/DeviceFinder.h"
#include "sim/PtyPair.h"
#include "sim/SimulatorHost.h"
#include "tests/support/DeviceFixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <array>

#include <poll.h>

using namespace korvane;
using namespace korvane::test;

namespace {

// Long enough to tell a silent port from the answering ones in what is measured.
constexpr int TimeLimitMs = 1500;
// Room for a loaded machine: far more than a probe, less than a second time limit.
constexpr int MarginMs = 1200;

QMap<QString, QString> Found(const QSignalSpy& spy) {
    QMap<QString, QString> found;
    for (const QList<QVariant>& args : spy)
        found.insert(args.at(0).toString(), args.at(1).toString());
    return found;
}

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

} // namespace

class TestDeviceFinder : public QObject {
    Q_OBJECT
private slots:
    void findsTheAnsweringPortsInOneTimeLimit() {
        std::array<sim::SimulatorHost, 3> sims;
        QMap<QString, QString> expected;
        QStringList ports;
        for (std::size_t i = 0; i < sims.size(); ++i) {
            const sim::Model model = i == 1 ? sim::Model::Korvane : sim::Model::KorvaneAB;
            const QString port = sims[i].start(ModelOptions(model));
            QVERIFY2(!port.isEmpty(), qPrintable(sims[i].errorString()));
            ports.append(port);
            expected.insert(port, sim::modelLabel(model));
        }
        sim::PtyPair silent;
        QString error;
        QVERIFY2(silent.open(&error), qPrintable(error));
        const QString missing = QStringLiteral("/nonexistent/ttyUSB9");
        ports.insert(1, silent.slavePath());
        ports.append(missing);

        DeviceFinder finder;
        finder.setTimeLimitMs(TimeLimitMs);
        QSignalSpy found(&finder, &DeviceFinder::deviceFound);
        QSignalSpy unavailable(&finder, &DeviceFinder::portUnavailable);
        QSignalSpy finished(&finder, &DeviceFinder::finished);
        QElapsedTimer clock;
        clock.start();
        PortSettings line;
        line.baudRate = 19200;
        finder.start(ports, line);
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), 3, TimeLimitMs);
        const qint64 foundMs = clock.elapsed();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, TimeLimitMs + MarginMs);
        const qint64 finishedMs = clock.elapsed();
        qInfo("three devices found after %lld ms, the silent port given up after %lld ms "
              "(time limit %d ms)",
              foundMs, finishedMs, TimeLimitMs);

        QCOMPARE(Found(found), expected);
        QCOMPARE(unavailable.size(), 1);
        QCOMPARE(unavailable.at(0).at(0).toString(), missing);
        QVERIFY(!finder.isRunning());
        for (std::size_t i = 0; i < sims.size(); ++i)
            QCOMPARE(ReceivedCodes(sims[i]), QList<int>{0x28});
        // Every port is closed again: the exclusive open of the window succeeds.
        SerialPort again;
        again.setCommName(ports.first());
        again.openPort();
    }

    void cancelEndsTheWaitAndClosesThePorts() {
        sim::PtyPair silent;
        QString error;
        QVERIFY2(silent.open(&error), qPrintable(error));
        DeviceFinder finder;
        finder.setTimeLimitMs(CommandTransport::ResponseTimeLimitMs);
        QSignalSpy finished(&finder, &DeviceFinder::finished);
        finder.start({silent.slavePath()}, PortSettings{});
        // The probe is out, so the finder waits for its answer.
        QTRY_VERIFY(Readable(silent.masterFd()));
        QElapsedTimer clock;
        clock.start();
        finder.cancel();
        QVERIFY2(clock.elapsed() < CommandTransport::ResponseTimeLimitMs / 2,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!finder.isRunning());
        SerialPort again;
        again.setCommName(silent.slavePath());
        again.openPort();
        QCoreApplication::processEvents();
        QCOMPARE(finished.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDeviceFinder)
#include "test_device_finder.moc"
