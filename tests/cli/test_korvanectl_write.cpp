// SPDX-License-Identifier: MIT
// korvanectl's commands that change a device, and diff against the files they take.

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
#include <memory>
#include <thread>

using namespace korvane;
using namespace korvane::cli;
using namespace korvane::test;

class TestKorvanectlWrite : public QObject {
    Q_OBJECT
private slots:
    // The backup of a device of serial number 71 at address 42, read once for every row.
    void initTestCase() {
        shortenBlockGap();
        auto sim = startSim(71, false, sim::Model::Korvane, 42);
        m_backup71 = takeBackup(*sim, m_backupDir, QStringLiteral("71.krv"));
    }

    // write --dry-run reads the device and prints what a write would change.
    void dryRun() {
        auto sim = startSim(91);
        QTemporaryDir dir;
        const QString path = takeBackup(*sim, dir, QStringLiteral("91.krv"));
        const QStringList args = portArgs({sim.get()})
                                 << QStringLiteral("write") << path << QStringLiteral("--dry-run");
        QCOMPARE(ctl(args).status, 0);
        DeviceConfiguration config;
        readConfigurationFile(path).applyTo(config);
        config.gps.gpsEnabled = 0;
        writeConfigurationFile(path, config);
        const Run r = ctl(args);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains(QStringLiteral("gps.enabled: device true, file false")),
                 qPrintable(r.out));
        QCOMPARE(writeFramesReceived(*sim), 0);
    }

    // write succeeds only when the read-back is what was sent, whatever the device
    // answered to each section; its differences are a list only when that comparison
    // was made.
    void writeConfirmedByTheReadBack_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("differences"); // -1: null
        QTest::addColumn<QString>("error");   // "": not looked at
        QTest::newRow("device takes it") << "" << 0 << 0 << "";
        QTest::newRow("device acknowledges, keeps its values")
            << "ignore-writes" << 1 << 1 << QStringLiteral("写入失败！");
        QTest::newRow("a section unanswered") << "trunk unanswered" << 3 << -1 << "";
        QTest::newRow("file for another address") << "foreign address" << 2 << -1 << "";
    }
    void writeConfirmedByTheReadBack() {
        QFETCH(QString, fault);
        QFETCH(int, status);
        QFETCH(int, differences);
        QFETCH(QString, error);
        auto sim = startSim(191);
        QTemporaryDir dir;
        const QString file = takeBackup(*sim, dir, QStringLiteral("191.krv"));
        DeviceConfiguration config;
        readConfigurationFile(file).applyTo(config);
        config.gps.gpsEnabled = 0;
        if (fault == QStringLiteral("foreign address"))
            config.info.address = 2;
        writeConfigurationFile(file, config);
        sim::SimulatorFaults faults;
        faults.ignoreWrites = fault == QStringLiteral("ignore-writes");
        if (fault == QStringLiteral("trunk unanswered"))
            faults.ignoredCodes = {0x47};
        sim->setFaults(faults);

        const Run r =
            ctl(portArgs({sim.get()}) << QStringLiteral("--json") << QStringLiteral("write") << file
                                      << QStringLiteral("--no-schedule"));
        QCOMPARE(r.status, status);
        const QJsonObject port =
            QJsonDocument::fromJson(r.out.toUtf8())[QStringLiteral("ports")][0].toObject();
        const QJsonValue found = port[QStringLiteral("differences")];
        if (differences < 0) {
            QVERIFY2(found.isNull(), qPrintable(r.out));
        } else {
            QCOMPARE(found.toArray().size(), differences);
            if (differences > 0)
                QCOMPARE(found[0][QStringLiteral("field")].toString(),
                         QStringLiteral("gps.enabled"));
        }
        if (!error.isEmpty())
            QCOMPARE(port[QStringLiteral("error")].toString(), error);
    }

    // One field changed alone is one difference, named (every field: the comparison's
    // own test; here the path through korvanectl).
    void diffNamesTheOneField() {
        auto sim = startSim(195);
        QTemporaryDir dir;
        const QString file = takeBackup(*sim, dir, QStringLiteral("195.krv"));
        DeviceConfiguration config;
        readConfigurationFile(file).applyTo(config);
        config.trunk.dataPolarity = 1 - config.trunk.dataPolarity;
        writeConfigurationFile(file, config);
        const Run r = ctl(portArgs({sim.get()}) << QStringLiteral("diff") << file);
        QCOMPARE(r.status, 1);
        QCOMPARE(r.out.count(u'\n'), 1);
        QVERIFY2(r.out.startsWith(sim->slavePath() + QStringLiteral(": trunk.dataPolarity: ")),
                 qPrintable(r.out));
    }

    // A device that answers the probe but not a later read is out of reach, not
    // different: nothing was compared.
    void diffOfADeviceThatStopsAnswering_data() {
        QTest::addColumn<int>("code");
        QTest::newRow("address, the first read") << 0x08;
        QTest::newRow("trunk delay, the last") << 0x58;
    }
    void diffOfADeviceThatStopsAnswering() {
        QFETCH(int, code);
        auto sim = startSim(197);
        QTemporaryDir dir;
        const QString file = takeBackup(*sim, dir, QStringLiteral("197.krv"));
        sim->setFaults(sim::SimulatorFaults::ignoring({std::uint8_t(code)}));
        const Run r = ctl(portArgs({sim.get()})
                          << QStringLiteral("--json") << QStringLiteral("diff") << file);
        QCOMPARE(r.status, 3);
        const QJsonObject port =
            QJsonDocument::fromJson(r.out.toUtf8())[QStringLiteral("ports")][0].toObject();
        QVERIFY2(port[QStringLiteral("differences")].isNull(), qPrintable(r.out));
        QVERIFY(test::ReceivedCodes(*sim).contains(code));
    }

    // Back up several devices at once, change one file, write it back, diff.
    void backupWriteDiff() {
        auto a = startSim(31);
        auto b = startSim(32);
        auto c = startSim(33);
        QTemporaryDir dir;
        const QString backup = dir.filePath(QStringLiteral("backup"));
        const Run read = ctl(portArgs({a.get(), b.get(), c.get()})
                             << QStringLiteral("read") << QStringLiteral("-o") << backup);
        QCOMPARE(read.status, 0);
        QCOMPARE(QDir(backup).entryList(QDir::Files), QStringList({"31.krv", "32.krv", "33.krv"}));

        const QString path = QDir(backup).filePath(QStringLiteral("32.krv"));
        DeviceConfiguration config;
        readConfigurationFile(path).applyTo(config);
        config.deviceModel = QStringLiteral("KORVANE");
        config.gps.gpsEnabled = 0;
        config.ports[5].channel = QStringLiteral("9");
        config.ports[5].coding = QStringLiteral("POCSAG");
        config.ports[5].rate = QStringLiteral("1200");
        config.ports[5].clockSource = QStringLiteral("内部");
        config.ports[5].clockEdge = QStringLiteral("上升沿(正)");
        config.ports[5].polarity = QStringLiteral("正");
        config.ports[5].portState = QStringLiteral("开");
        writeConfigurationFile(path, config);

        const Run before = ctl(portArgs({b.get()}) << QStringLiteral("diff") << path);
        QCOMPARE(before.status, 1);
        QVERIFY2(before.out.contains(QStringLiteral("gps.enabled: device true, file false")),
                 qPrintable(before.out));
        QVERIFY(before.out.contains(QStringLiteral("ports.6.channel: device -, file 9")));

        const Run write = ctl(portArgs({b.get()})
                              << QStringLiteral("write") << path << QStringLiteral("--channels")
                              << QStringLiteral(KORVANE_EXAMPLES_DIR "/channels.chn"));
        QCOMPARE(write.status, 0);
        QVERIFY(write.err.contains(QStringLiteral("祝贺你，写入成功！")));
        QVERIFY(!b->state().scheduleBlocks.empty());

        const Run after = ctl(portArgs({a.get(), b.get()}) << QStringLiteral("diff") << path);
        QCOMPARE(after.status, 1); // a differs: another serial number, GPS on
        QVERIFY(
            after.out.contains(a->slavePath() + QStringLiteral(": serial: device 31, file 32")));
        QVERIFY(!after.out.contains(b->slavePath()));
    }

    void writeThatFailsAndSetAddress() {
        auto sim = startSim(41);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("41.krv"));
        QCOMPARE(
            ctl(portArgs({sim.get()}) << QStringLiteral("read") << QStringLiteral("-o") << path)
                .status,
            0);
        sim->setFaults(sim::SimulatorFaults::ignoring({0x37}));
        const Run write = ctl(portArgs({sim.get()}) << QStringLiteral("write") << path
                                                    << QStringLiteral("--no-schedule"));
        QCOMPARE(write.status, 3);
        QVERIFY(write.err.contains(QStringLiteral("写入失败！")));
        QVERIFY(!write.err.contains(QStringLiteral("祝贺你")));
        sim->setFaults({});

        const Run set =
            ctl(portArgs({sim.get()})
                << QStringLiteral("set-address") << QStringLiteral("--serial")
                << QStringLiteral("41") << QStringLiteral("--address") << QStringLiteral("0x1234"));
        QCOMPARE(set.status, 0);
        QCOMPARE(sim->state().address, 0x1234u);
    }

    // A write's frames reach only a device of the file's address: a file of another
    // address is refused before the first write frame, or sent to the device's own
    // address when asked.
    void writeToAnotherAddress_data() {
        QTest::addColumn<bool>("fromDevice");
        QTest::addColumn<int>("status");
        QTest::newRow("refused") << false << 2;
        QTest::newRow("--address-from-device") << true << 0;
    }
    void writeToAnotherAddress() {
        QFETCH(bool, fromDevice);
        QFETCH(int, status);
        auto sim = startSim(71, false, sim::Model::Korvane, 42);
        QTemporaryDir dir;
        const QString path = copyInto(m_backup71, dir, QStringLiteral("71.krv"));
        DeviceConfiguration config;
        readConfigurationFile(path).applyTo(config);
        config.info.address = 1;
        config.gps.gpsEnabled = 0;
        writeConfigurationFile(path, config);

        QStringList args = portArgs({sim.get()})
                           << QStringLiteral("write") << path << QStringLiteral("--no-schedule");
        if (fromDevice)
            args << QStringLiteral("--address-from-device");
        const Run r = ctl(args);
        QCOMPARE(r.status, status);
        QCOMPARE(r.err.contains(QStringLiteral("祝贺你，写入成功！")), status == 0);
        if (fromDevice) {
            QCOMPARE(sim->state().address, 42u);
            QCOMPARE(sim->state().gps, (ByteBuffer{0xAA, 0x55}));
        } else {
            QVERIFY2(r.err.contains(QStringLiteral("--address-from-device")), qPrintable(r.err));
            QCOMPARE(writeFramesReceived(*sim), 0);
        }
    }

    // set-address succeeds only when the device answers with the new address.
    void setAddressConfirmed_data() {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<int>("status");
        QTest::newRow("the device's serial") << "81" << 0;
        QTest::newRow("a serial no device has") << "82" << 1;
    }
    void setAddressConfirmed() {
        QFETCH(QString, serial);
        QFETCH(int, status);
        auto sim = startSim(81);
        const Run r = ctl(portArgs({sim.get()})
                          << QStringLiteral("set-address") << QStringLiteral("--serial") << serial
                          << QStringLiteral("--address") << QStringLiteral("77"));
        QCOMPARE(r.status, status);
        QCOMPARE(r.err.contains(QStringLiteral("祝贺你，地址写入成功！")), status == 0);
        QCOMPARE(sim->state().address, status == 0 ? 77u : 1u);
    }

    // Success lines are for someone watching: left out under --quiet and to a pipe.
    void successLines_data() {
        QTest::addColumn<bool>("quiet");
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<bool>("shown");
        QTest::newRow("terminal") << false << true << true;
        QTest::newRow("--quiet") << true << true << false;
        QTest::newRow("pipe") << false << false << false;
    }
    void successLines() {
        QFETCH(bool, quiet);
        QFETCH(bool, terminal);
        QFETCH(bool, shown);
        auto sim = startSim(131);
        QStringList args = portArgs({sim.get()});
        if (quiet)
            args << QStringLiteral("--quiet");
        args << QStringLiteral("set-address") << QStringLiteral("--serial") << QStringLiteral("131")
             << QStringLiteral("--address") << QStringLiteral("3");
        const Run r = ctl(args, {}, terminal);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err.contains(QStringLiteral("祝贺你，地址写入成功！")), shown);
    }

    // diff and write take a backup folder: each device the file of its serial number,
    // whatever the file's name; a device without one gets nothing.
    void backupFolder() {
        auto a = startSim(171);
        auto b = startSim(172);
        auto c = startSim(173);
        QTemporaryDir dir;
        const QString backup = dir.filePath(QStringLiteral("backup/"));
        QCOMPARE(ctl(portArgs({a.get(), b.get()})
                     << QStringLiteral("read") << QStringLiteral("-o") << backup)
                     .status,
                 0);
        const QString renamed = QDir(backup).filePath(QStringLiteral("second.krv"));
        QVERIFY(QFile::rename(QDir(backup).filePath(QStringLiteral("172.krv")), renamed));
        DeviceConfiguration config;
        readConfigurationFile(renamed).applyTo(config);
        config.gps.gpsEnabled = 0;
        writeConfigurationFile(renamed, config);
        a->clearFrameLog();
        b->clearFrameLog();

        const Run diff = ctl(portArgs({a.get(), b.get(), c.get()})
                             << QStringLiteral("--json") << QStringLiteral("diff") << backup);
        QCOMPARE(diff.status, 2);
        const QJsonObject document = QJsonDocument::fromJson(diff.out.toUtf8()).object();
        const QStringList problems = SchemaCheck(loadSchema()).problems(document);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        const QJsonArray ports = document[QStringLiteral("ports")].toArray();
        const auto field = [&](int port, const char* key) -> QJsonValue {
            return ports[port].toObject()[QLatin1String(key)];
        };
        QCOMPARE(field(0, "status").toInt(), 0);
        QCOMPARE(field(0, "input").toString(), QDir(backup).filePath(QStringLiteral("171.krv")));
        QCOMPARE(field(1, "status").toInt(), 1);
        QCOMPARE(field(1, "error").toString(), QStringLiteral("与文件有1处不同"));
        QCOMPARE(field(1, "input").toString(), renamed);
        QCOMPARE(field(2, "status").toInt(), 2);
        QVERIFY(field(2, "input").isNull());
        QVERIFY(field(2, "differences").isNull());
        QVERIFY2(field(2, "error").toString().contains(QStringLiteral("序列号为173")),
                 qPrintable(diff.out));

        const Run write =
            ctl(portArgs({a.get(), b.get(), c.get()})
                << QStringLiteral("write") << backup << QStringLiteral("--no-schedule"));
        QCOMPARE(write.status, 2);
        QCOMPARE(b->state().gps, (ByteBuffer{0xAA, 0x55}));
        QCOMPARE(writeFramesReceived(*c), 0);
    }

    // diff --settings-only leaves out what differs from device to device.
    void diffSettingsOnly() {
        auto a = startSim(161);
        auto b = startSim(162, false, sim::Model::Korvane, 7);
        QTemporaryDir dir;
        const QString file = takeBackup(*a, dir, QStringLiteral("161.krv"));
        QCOMPARE(ctl(portArgs({a.get(), b.get()}) << QStringLiteral("diff") << file).status, 1);
        QCOMPARE(ctl(portArgs({a.get(), b.get()})
                     << QStringLiteral("diff") << file << QStringLiteral("--settings-only"))
                     .status,
                 0);
    }

private:
    QTemporaryDir m_backupDir;
    QString m_backup71;
};

QTEST_GUILESS_MAIN(TestKorvanectlWrite)
#include "test_korvanectl_write.moc"
