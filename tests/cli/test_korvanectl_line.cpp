// SPDX-License-Identifier: MIT
// korvanectl on the line over time: an interrupt in the middle of a write, and an answer
// left on the line by an earlier run. The simulators here answer late on purpose.

#include "cli/Console.h"
#include "cli/Interrupt.h"
#include "cli/Korvanectl.h"
#include "config/DeviceConfiguration.h"
#include "files/ConfigurationFile.h"
#include "files/FileHelpers.h"
#include "files/FileLog.h"
#include "link/LinkLog.h"
#include "link/SimulatorLinks.h"
#include "protocol/ProcedureLog.h"
#include "sim/SimulatorHost.h"
#include "tests/cli/KorvanectlRun.h"
#include "tests/cli/SchemaCheck.h"
#include "tests/support/DeviceFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <thread>

using namespace korvane;
using namespace korvane::cli;
using namespace korvane::test;

class TestKorvanectlLine : public QObject {
    Q_OBJECT
private slots:
    // The backup the write sends, read once from a device as the slow one comes up but
    // answering at once.
    void initTestCase() {
        shortenBlockGap();
        sim::SimulatorHost fast;
        QVERIFY(!fast.start(sim::SimulatorOptions{}).isEmpty());
        m_backup = takeBackup(fast, m_backupDir, QStringLiteral("a.krv"));
    }

    // The first interrupt stops after the transaction in flight: the port tells what was
    // written and what not, nothing more is sent, and the next command finds the line
    // clean.
    void interruptStopsAfterTheTransaction_data() {
        QTest::addColumn<int>("code"); // interrupted while the device answers this frame
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QString>("told");
        QTest::newRow("during the read before writing")
            << 0x08 << 1 << QStringList{} << QStringLiteral("写入前读取设备时，什么也没有写入");
        QTest::newRow("during the trunk section")
            << 0x47 << 1 << QStringList{"ports", "trunk"}
            << QStringLiteral(
                   "部分写入：端口参数、干线参数；未写入：GPS参数、干线延时参数、时序表");
        QTest::newRow("during the read-back")
            << 0x08 << 2 << QStringList{"ports", "trunk", "gps", "delay", "schedule"}
            << QStringLiteral("全部写入，未读回核对");
    }
    void interruptStopsAfterTheTransaction() {
        QFETCH(int, code);
        QFETCH(int, occurrence);
        QFETCH(QStringList, written);
        QFETCH(QString, told);
        sim::SimulatorHost sim;
        sim::SimulatorOptions options;
        options.replyDelayMs = 400; // the time the interrupt has to arrive in
        QVERIFY(!sim.start(options).isEmpty());
        QTemporaryDir dir;
        const QString file = copyInto(m_backup, dir, QStringLiteral("a.krv"));
        const auto clear = qScopeGuard([] { clearInterrupt(); });

        // Through the signal, as a user's Ctrl-C comes: the first one must not end the
        // program at once.
        installInterruptHandlers();
        std::atomic<bool> done{false};
        std::thread watcher([&] {
            while (!done) {
                if (test::ReceivedCodes(sim).count(code) >= occurrence) {
                    std::raise(SIGINT);
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        const Run r = ctl(portArgs({&sim}) << QStringLiteral("--json") << QStringLiteral("write")
                                           << file << QStringLiteral("--channels")
                                           << QStringLiteral(KORVANE_EXAMPLES_DIR "/channels.chn"));
        done = true;
        watcher.join();
        QCOMPARE(r.status, 130);
        QVERIFY2(r.err.contains(told), qPrintable(r.err));
        QVERIFY(!r.err.contains(NoAnswer));
        const QJsonObject port = QJsonDocument::fromJson(r.out.toUtf8())
                                     .object()[QStringLiteral("ports")]
                                     .toArray()[0]
                                     .toObject();
        QCOMPARE(port[QStringLiteral("status")].toInt(), 130);
        QCOMPARE(port[QStringLiteral("written")].toVariant().toStringList(), written);
        QVERIFY(port[QStringLiteral("differences")].isNull()); // nothing was compared
        // Nothing after the frame in flight.
        const QList<int> codes = test::ReceivedCodes(sim);
        QCOMPARE(codes.count(code), occurrence);
        QCOMPARE(codes.last(), code);

        clearInterrupt();
        QCOMPARE(ctl(portArgs({&sim}) << QStringLiteral("identify")).status, 0);
    }

    // An answer still on its way to a program that ended in the middle of a transaction
    // is not taken for the answer to the next one's probe.
    void answerLeftOnTheLine() {
        // At the product's block gap: how long the line is watched is part of the case.
        CommandTransport::setBlockGapMsForTests(CommandTransport::BlockGapMs);
        const auto shortAgain = qScopeGuard([] { shortenBlockGap(); });
        sim::SimulatorHost sim;
        sim::SimulatorOptions options;
        // Sooner than korvanectl watches a quiet line: the answer is either in the input
        // when the port opens or arrives while the line is watched, however the start-up
        // is timed on a loaded machine.
        options.replyDelayMs = 60;
        QVERIFY(!sim.start(options).isEmpty());
        {
            CommandTransport left;
            left.comm().setCommName(sim.slavePath());
            left.comm().openPort();
            const ByteBuffer request{0x7E, 0x08, 0x7F};
            QVERIFY(left.sendFrame(request.data(), std::uint16_t(request.size())));
            QTRY_COMPARE(sim.framesReceived().size(), 1);
        }
        const Run r = ctl(portArgs({&sim}) << QStringLiteral("identify"));
        QCOMPARE(r.status, 0);
    }

private:
    QTemporaryDir m_backupDir;
    QString m_backup;
};

QTEST_GUILESS_MAIN(TestKorvanectlLine)
#include "test_korvanectl_line.moc"
