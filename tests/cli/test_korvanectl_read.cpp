// SPDX-License-Identifier: MIT
// korvanectl's commands that only read: identify, scan, read, show, ports, and their
// exit statuses.

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
#include <QHash>
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

class TestKorvanectlRead : public QObject {
    Q_OBJECT
private slots:
    // The backups the cases start from, each read once from a device of its serial
    // number as it comes up.
    void initTestCase() {
        shortenBlockGap();
        for (const std::uint32_t serial : {61u, 121u}) {
            auto sim = startSim(serial);
            m_backups[serial] =
                takeBackup(*sim, m_backupDir, QString::number(serial) + QStringLiteral(".krv"));
        }
    }

    void identifyAndPrint() {
        auto single = startSim(11);
        auto ab = startSim(12, false, sim::Model::KorvaneAB);
        const Run id = ctl(portArgs({single.get(), ab.get()}) << QStringLiteral("identify"));
        QCOMPARE(id.status, 0);
        QCOMPARE(id.out, single->slavePath() + QStringLiteral("\tKORVANE\n") + ab->slavePath() +
                             QStringLiteral("\tKORVANEA/B\n"));

        const Run read = ctl(portArgs({single.get()}) << QStringLiteral("read"));
        QCOMPARE(read.status, 0);
        QVERIFY(read.out.contains(QStringLiteral("序列号: 11\n")));
        QCOMPARE(read.out.count(u'\n'), 3 + 1 + 24 + 1);
    }

    // The usual command-line forms: --option=value, -oFILE, --, - for standard output
    // and input.
    void conventions_data() {
        QTest::addColumn<QStringList>("arguments"); // {PORT}, {FILE}: a backup, {OUT}
        QTest::addColumn<bool>("fromStdin");
        QTest::addColumn<QString>("outStarts"); // what standard output starts with; "": nothing
        QTest::newRow("-oFILE") << QStringList{"{PORT}", "read", "-o{OUT}"} << false << "";
        QTest::newRow("--output=FILE")
            << QStringList{"{PORT}", "read", "--output={OUT}"} << false << "";
        QTest::newRow("read -o -")
            << QStringList{"{PORT}", "read", "-o", "-"} << false << "121\r\n1\r\n";
        QTest::newRow("diff --") << QStringList{"{PORT}", "diff", "--", "{FILE}"} << false << "";
        QTest::newRow("diff -") << QStringList{"{PORT}", "diff", "-"} << true << "";
        QTest::newRow("write -") << QStringList{"{PORT}", "--quiet", "write", "-", "--no-schedule"}
                                 << true << "";
    }
    void conventions() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, fromStdin);
        QFETCH(QString, outStarts);
        auto sim = startSim(121);
        QTemporaryDir dir;
        const QString file = copyInto(m_backups.value(121), dir, QStringLiteral("121.krv"));
        const QString out = dir.filePath(QStringLiteral("out.krv"));
        QStringList expanded;
        for (const QString& a : arguments) {
            if (a == QStringLiteral("{PORT}"))
                expanded << portArgs({sim.get()});
            else
                expanded << QString(a)
                                .replace(QStringLiteral("{FILE}"), file)
                                .replace(QStringLiteral("{OUT}"), out);
        }
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const Run r = ctl(expanded, fromStdin ? f.readAll() : QByteArray());
        QCOMPARE(r.status, 0);
        QVERIFY2(outStarts.isEmpty() ? r.out.isEmpty() : r.out.startsWith(outStarts),
                 qPrintable(r.out));
        if (arguments.contains(QStringLiteral("-o{OUT}")) ||
            arguments.contains(QStringLiteral("--output={OUT}")))
            QVERIFY(QFileInfo(out).isFile());
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err)); // --quiet: no success line
    }

    // show prints a file as read prints the device it came from.
    void showFile() {
        auto sim = startSim(141);
        QTemporaryDir dir;
        const QString file = takeBackup(*sim, dir, QStringLiteral("141.krv"));
        DeviceConfiguration config;
        readConfigurationFile(file).applyTo(config);
        config.trunk.delayEnabled = 1; // its summary words depend on the model
        writeConfigurationFile(file, config);
        const Run read = ctl(portArgs({sim.get()}) << QStringLiteral("read"));
        const Run show = ctl({QStringLiteral("show"), file});
        QCOMPARE(show.status, 0);
        // The identity and the port table match up to the delay column (a file gives
        // "-" for an empty cell); the model and the carrier level are the device's only.
        const auto columns = [](const QStringList& lines) {
            QStringList cells = lines.mid(0, 26);
            for (QString& line : cells)
                line = line.section(u'\t', 0, 7);
            return cells;
        };
        const QStringList shown = show.out.split(u'\n');
        QCOMPARE(columns(shown), columns(read.out.split(u'\n').mid(1)));
        QCOMPARE(shown.value(27),
                 QStringLiteral("GPS:允许 GPS极性:正  干线延时:允许 延时周期：%1 %2   "
                                "干线口:自动   时钟极性:正   数据极性:正")
                     .arg(config.trunk.delayCyclesA)
                     .arg(config.trunk.delayCyclesB));
    }

    // read -o DIR/ is a folder of <serial>.krv whatever the number of ports.
    void readIntoFolder_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("made");
        QTest::newRow("trailing slash") << "backup/" << false;
        QTest::newRow("existing folder") << "backup" << true;
    }
    void readIntoFolder() {
        QFETCH(QString, output);
        QFETCH(bool, made);
        auto sim = startSim(151);
        QTemporaryDir dir;
        if (made)
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("backup")));
        const Run r = ctl(portArgs({sim.get()}) << QStringLiteral("read") << QStringLiteral("-o")
                                                << dir.filePath(output));
        QCOMPARE(r.status, 0);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("backup/151.krv"))).isFile());
    }

    void scanGivenPorts() {
        auto good = startSim(51);
        auto silent = startSim(52, true);
        const Run r = ctl(portArgs({good.get(), silent.get()})
                          << QStringLiteral("--port") << QStringLiteral("/nonexistent/tty")
                          << QStringLiteral("scan"));
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, good->slavePath() + QStringLiteral("\tKORVANE\t51\n"));
        QVERIFY(r.err.isEmpty());
        // Only the probe and the serial number read went out.
        QCOMPARE(good->framesReceived().size(), 2);

        const Run none = ctl(portArgs({silent.get()}) << QStringLiteral("scan"));
        QCOMPARE(none.status, 3);
        QVERIFY(none.out.isEmpty());
        QCOMPARE(none.err, QStringLiteral("korvanectl: 1个端口上都没有找到 Korvane\n"));
    }

    // A running simulator is among the ports, with what a port lacks marked.
    void portsListsSimulators() {
        auto sim = startSim(61);
        const SimulatorAnnouncement announced(sim->slavePath(), QStringLiteral("KORVANEA/B"));
        const Run r = ctl({QStringLiteral("ports")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.endsWith(sim->slavePath() +
                                QStringLiteral("\t模拟器 KORVANEA/B (korvane-sim)\t-\t-\n")),
                 qPrintable(r.out));
        QVERIFY(sim->framesReceived().isEmpty());
    }

    // Every command tells done, differs and unreachable apart; several ports give the
    // highest status of theirs.
    void exitStatus_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("changed"); // the file differs from the device
        QTest::addColumn<int>("status");
        QTest::newRow("diff, same") << "diff" << false << false << 0;
        QTest::newRow("diff, differs") << "diff" << false << true << 1;
        QTest::newRow("diff, silent device") << "diff" << true << false << 3;
        QTest::newRow("identify, silent device") << "identify" << true << false << 3;
        QTest::newRow("read, silent device") << "read" << true << false << 3;
        QTest::newRow("write, silent device") << "write" << true << false << 3;
    }
    void exitStatus() {
        QFETCH(QString, command);
        QFETCH(bool, silent);
        QFETCH(bool, changed);
        QFETCH(int, status);
        auto good = startSim(61);
        QTemporaryDir dir;
        const QString path = copyInto(m_backups.value(61), dir, QStringLiteral("61.krv"));
        if (changed) {
            DeviceConfiguration config;
            readConfigurationFile(path).applyTo(config);
            config.gps.gpsEnabled = 0;
            writeConfigurationFile(path, config);
        }
        QStringList args{command};
        if (command == QStringLiteral("diff") || command == QStringLiteral("write"))
            args << path;
        if (command == QStringLiteral("write"))
            args << QStringLiteral("--no-schedule");
        if (silent)
            good->setFaults(sim::SimulatorFaults::fullySilent());
        QCOMPARE(ctl(portArgs({good.get()}) + args).status, status);

        // Beside a device that is fine, the worse status wins.
        auto other = startSim(61);
        QCOMPARE(ctl(portArgs({other.get(), good.get()}) + args).status, status);
    }

private:
    QTemporaryDir m_backupDir;
    QHash<std::uint32_t, QString> m_backups;
};

QTEST_GUILESS_MAIN(TestKorvanectlRead)
#include "test_korvanectl_read.moc"
