// SPDX-License-Identifier: MIT
#include "PtyClient.h"
#include "SimTestUtil.h"
#include "sim/SimulatorHost.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace korvane;
using namespace korvane::sim;
using namespace simtest;

namespace {

ByteBuffer request(int code) {
    return bytes({0x7E, code, 0x7F});
}

QStringList fileLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestSimHost : public QObject {
    Q_OBJECT
private slots:
    void readAddressOverPty() {
        SimulatorHost sim;
        const QString path = sim.start();
        QVERIFY2(!path.isEmpty(), qPrintable(sim.errorString()));
        QVERIFY(path.startsWith("/dev/pts/"));
        QCOMPARE(sim.slavePath(), path);
        QVERIFY(sim.isRunning());

        PtyClient port(path);
        QVERIFY(port.isOpen());
        QVERIFY(port.send(request(0x08)));
        QCOMPARE(hex(port.receive(6)), hex(bytes({0x7E, 0x08, 0x01, 0x00, 0x00, 0x7F})));

        QTRY_COMPARE_WITH_TIMEOUT(sim.frameLog().size(), 2, 10000);
        const QList<LoggedFrame> log = sim.frameLog();
        QCOMPARE(log[0].direction, LoggedFrame::Direction::Received);
        QCOMPARE(hex(log[0].bytes), hex(request(0x08)));
        QCOMPARE(log[1].direction, LoggedFrame::Direction::Sent);
        QCOMPARE(hex(log[1].bytes), hex(bytes({0x7E, 0x08, 0x01, 0x00, 0x00, 0x7F})));
        QVERIFY(log[1].msecs >= log[0].msecs);
        QCOMPARE(sim.framesReceived().size(), 1);
        QCOMPARE(sim.framesSent().size(), 1);
        sim.clearFrameLog();
        QVERIFY(sim.frameLog().isEmpty());

        sim.stop();
        QVERIFY(!sim.isRunning());
        QVERIFY(sim.slavePath().isEmpty());
        sim.stop(); // harmless twice
    }

    void portCanBeReopened() {
        SimulatorHost sim;
        const QString path = sim.start();
        QVERIFY2(!path.isEmpty(), qPrintable(sim.errorString()));
        for (int round = 0; round < 3; ++round) {
            PtyClient port(path);
            QVERIFY(port.isOpen());
            QVERIFY(port.send(request(0x18)));
            QCOMPARE(unescapeFrame(port.receiveFrame()).size(), std::size_t(7));
        }
    }

    void writesReachTheState() {
        SimulatorHost sim;
        SimulatorOptions options;
        options.state = DeviceState::initial(Model::KorvaneAB);
        options.state.address = 0x7E; // sent raw in the frame header
        const QString path = sim.start(options);
        QVERIFY2(!path.isEmpty(), qPrintable(sim.errorString()));
        PtyClient port(path);
        QVERIFY(port.send(addressedFrame(0x7E, 0x37, bytes({0xAA, 0x7F}))));
        QCOMPARE(hex(port.receive(4)), hex(bytes({0x7E, 0x37, 0x55, 0x7F})));
        QCOMPARE(hex(sim.state().gps), hex(bytes({0xAA, 0x7F})));

        const ByteBuffer block = range(0, 63);
        QVERIFY(port.send(plainFrame(0x87, concat({bytes({0x7E, 0, 0, 4}), block}))));
        QCOMPARE(hex(port.receive(4)), hex(bytes({0x7E, 0x87, 0x55, 0x7F})));
        QCOMPARE(hex(sim.state().scheduleBlocks.at(4)), hex(block));

        // A state set while running is what the next read answers.
        DeviceState s = sim.state();
        s.address = 0x123456;
        sim.setState(s);
        QVERIFY(port.send(request(0x08)));
        QCOMPARE(hex(port.receive(6)), hex(bytes({0x7E, 0x08, 0x56, 0x34, 0x12, 0x7F})));
    }

    // The device answers frames in order, so an answer that never came shows as the
    // next frame's answer arriving first.
    void faultsAtRunTime() {
        SimulatorHost sim;
        const QString path = sim.start();
        QVERIFY2(!path.isEmpty(), qPrintable(sim.errorString()));
        PtyClient port(path);

        SimulatorFaults f;
        f.ignoredCodes = {0x38};
        sim.setFaults(f);
        QVERIFY(sim.faults() == f);
        QVERIFY(port.send(concat({request(0x38), request(0x08)})));
        QCOMPARE(hex(port.receive(6)), hex(bytes({0x7E, 0x08, 0x01, 0x00, 0x00, 0x7F})));

        f = {};
        f.silent = true;
        sim.setFaults(f);
        QVERIFY(port.send(request(0x08)));
        QTRY_COMPARE_WITH_TIMEOUT(sim.framesReceived().size(), 3, 10000);
        sim.setFaults({});
        QVERIFY(port.send(request(0x38)));
        QCOMPARE(hex(port.receive(5)), hex(bytes({0x7E, 0x38, 0x55, 0x55, 0x7F})));
        // A sent frame is logged once written, possibly after the reader has it.
        QTRY_COMPARE_WITH_TIMEOUT(sim.framesSent().size(), 2, 10000);
    }

    void bitRatePacing() {
        SimulatorHost sim;
        SimulatorOptions options;
        options.baud = 9600;
        const QString path = sim.start(options);
        QVERIFY2(!path.isEmpty(), qPrintable(sim.errorString()));
        PtyClient port(path);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(port.send(request(0x28)));
        const ByteBuffer answer = unescapeFrame(port.receiveFrame());
        QCOMPARE(answer.size(), std::size_t(92));
        // 92 bytes or more at 960 bytes/s: about 96 ms on the wire.
        QVERIFY2(timer.elapsed() >= 80, qPrintable(QString::number(timer.elapsed())));
    }

    void replyDelayAndSplit() {
        SimulatorHost sim;
        SimulatorOptions options;
        options.replyDelayMs = 50;
        options.faults.splitMs = 150;
        const QString path = sim.start(options);
        QVERIFY2(!path.isEmpty(), qPrintable(sim.errorString()));
        PtyClient port(path);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(port.send(request(0x38)));
        QCOMPARE(hex(port.receive(5)), hex(bytes({0x7E, 0x38, 0x55, 0x55, 0x7F})));
        QVERIFY2(timer.elapsed() >= 190, qPrintable(QString::number(timer.elapsed())));
        // Writes are not split.
        timer.restart();
        QVERIFY(port.send(addressedFrame(1, 0x37, bytes({0xAA, 0xAA}))));
        QCOMPARE(hex(port.receive(4)), hex(bytes({0x7E, 0x37, 0x55, 0x7F})));
        QVERIFY(timer.elapsed() >= 45);
    }

    void logFileAndLink() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        SimulatorHost sim;
        SimulatorOptions options;
        options.logFile = dir.filePath("frames.log");
        options.linkPath = dir.filePath("ttyKORVANE");
        const QString path = sim.start(options);
        QVERIFY2(!path.isEmpty(), qPrintable(sim.errorString()));
        QCOMPARE(QFileInfo(options.linkPath).symLinkTarget(), path);

        PtyClient port(options.linkPath);
        QVERIFY(port.isOpen());
        QVERIFY(port.send(request(0x08)));
        QCOMPARE(port.receive(6).size(), std::size_t(6));
        QTRY_COMPARE_WITH_TIMEOUT(fileLines(options.logFile).size(), 2, 10000);
        const QStringList lines = fileLines(options.logFile);
        QVERIFY2(QRegularExpression(R"(^\d\d:\d\d:\d\d\.\d\d\d RX 7E 08 7F$)")
                     .match(lines[0])
                     .hasMatch(),
                 qPrintable(lines[0]));
        QVERIFY2(QRegularExpression(R"(^\d\d:\d\d:\d\d\.\d\d\d TX 7E 08 01 00 00 7F$)")
                     .match(lines[1])
                     .hasMatch(),
                 qPrintable(lines[1]));

        port.close();
        sim.stop();
        QVERIFY(!QFileInfo::exists(options.linkPath) && !QFileInfo(options.linkPath).isSymLink());
    }

    void staleLinkReplaced() {
        QTemporaryDir dir;
        const QString link = dir.filePath("tty");
        QVERIFY(QFile::link("/nonexistent/old", link));
        SimulatorHost sim;
        SimulatorOptions options;
        options.linkPath = link;
        const QString path = sim.start(options);
        QVERIFY2(!path.isEmpty(), qPrintable(sim.errorString()));
        QCOMPARE(QFileInfo(link).symLinkTarget(), path);
    }

    void startFailures_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("log");
        QTest::newRow("link in missing folder") << "/nonexistent/dir/tty"
                                                << "";
        QTest::newRow("link over a regular file") << "FILE"
                                                  << "";
        QTest::newRow("log in missing folder") << ""
                                               << "/nonexistent/dir/log";
    }

    void startFailures() {
        QFETCH(QString, link);
        QFETCH(QString, log);
        QTemporaryDir dir;
        const QString file = dir.filePath("plain");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        SimulatorHost sim;
        SimulatorOptions options;
        options.linkPath = link == "FILE" ? file : link;
        options.logFile = log;
        QVERIFY(sim.start(options).isEmpty());
        QVERIFY(!sim.errorString().isEmpty());
        QVERIFY(!sim.isRunning());
        QVERIFY(QFileInfo(file).isFile()); // left alone
        // The same host starts afterwards.
        QVERIFY2(!sim.start().isEmpty(), qPrintable(sim.errorString()));
    }

    // Stopping must not wait for a slowly paced answer to finish.
    void stopDuringSlowAnswer() {
        SimulatorHost sim;
        SimulatorOptions options;
        options.baud = 50; // 92 bytes: about 18 s
        const QString path = sim.start(options);
        QVERIFY2(!path.isEmpty(), qPrintable(sim.errorString()));
        PtyClient port(path);
        QVERIFY(port.send(request(0x28)));
        QCOMPARE(port.receive(1).size(), std::size_t(1));
        QElapsedTimer timer;
        timer.start();
        sim.stop();
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(sim.framesSent().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSimHost)
#include "test_sim_host.moc"
