// SPDX-License-Identifier: MIT
// korvanectl --json: one document that follows the schema, and what it holds.

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

class TestKorvanectlJson : public QObject {
    Q_OBJECT
private slots:
    // One device and one silent one for every row of the schema test, put back as they
    // were before each row; ports lists the device too.
    void initTestCase() {
        shortenBlockGap();
        m_sim = startSim(101);
        m_silent = startSim(102, true);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        m_announced =
            std::make_unique<SimulatorAnnouncement>(m_sim->slavePath(), QStringLiteral("KORVANE"));
        QVERIFY(m_announced->isAnnounced());
        m_file = takeBackup(*m_sim, m_dir, QStringLiteral("101.krv"));
        DeviceConfiguration config;
        readConfigurationFile(m_file).applyTo(config);
        config.gps.gpsEnabled = 0;
        m_changed = m_dir.filePath(QStringLiteral("changed.krv"));
        writeConfigurationFile(m_changed, config);
        m_broken = m_dir.filePath(QStringLiteral("broken.krv"));
        QFile b(m_broken);
        QVERIFY(b.open(QIODevice::WriteOnly) && b.write("1\r\n1\r\n") > 0);
    }
    void init() {
        resetSim(*m_sim, 101);
        resetSim(*m_silent, 102, true);
    }
    void cleanupTestCase() {
        m_announced.reset();
        qunsetenv("XDG_RUNTIME_DIR");
    }

    // Under --json stdout holds exactly one document that follows the schema, whatever
    // the outcome.
    void jsonFollowsTheSchema_data() {
        QTest::addColumn<QStringList>("arguments"); // {PORT}: a device, {SILENT}: a silent one
        QTest::addColumn<int>("status");
        const auto args = [](const char* text) {
            return QString::fromUtf8(text).split(u' ', Qt::SkipEmptyParts);
        };
        QTest::newRow("usage error") << args("frobnicate") << 2;
        QTest::newRow("usage error before --json") << args("--fast --json read") << 2;
        QTest::newRow("identify") << args("{PORT} {SILENT} identify") << 3;
        QTest::newRow("scan") << args("{PORT} {SILENT} scan") << 0;
        QTest::newRow("ports") << args("ports") << 0;
        QTest::newRow("read") << args("{PORT} {SILENT} read") << 3;
        QTest::newRow("read -o") << args("{PORT} read -o {DIR}/a.krv") << 0;
        QTest::newRow("diff, same") << args("{PORT} diff {FILE}") << 0;
        QTest::newRow("diff, differs") << args("{PORT} diff {CHANGED}") << 1;
        QTest::newRow("diff of a broken file") << args("{PORT} diff {BROKEN}") << 2;
        QTest::newRow("diff, silent") << args("{SILENT} diff {FILE}") << 3;
        QTest::newRow("write") << args("{PORT} write {CHANGED} --no-schedule") << 0;
        QTest::newRow("write --dry-run") << args("{PORT} write {CHANGED} --dry-run") << 1;
        QTest::newRow("write without schedule file") << args("{PORT} write {FILE}") << 2;
        QTest::newRow("write, silent") << args("{SILENT} write {FILE} --no-schedule") << 3;
        QTest::newRow("set-address")
            << args("{PORT} {SILENT} set-address --serial 101 --address 5") << 3;
        QTest::newRow("set-address refused")
            << args("{PORT} set-address --serial 7 --address 5") << 1;
        QTest::newRow("show") << args("show {FILE}") << 0;
        QTest::newRow("schedule") << args("{PORT} schedule --channels " KORVANE_EXAMPLES_DIR
                                          "/channels.chn")
                                  << 0;
    }
    void jsonFollowsTheSchema() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        const QTemporaryDir& dir = m_dir;
        const QString& file = m_file;
        const QString& changed = m_changed;
        const QString& broken = m_broken;
        sim::SimulatorHost* sim = m_sim.get();
        sim::SimulatorHost* silent = m_silent.get();
        QStringList expanded{QStringLiteral("--json"), QStringLiteral("--timeout"), TestTimeout};
        if (arguments.contains(QStringLiteral("--json")))
            expanded.clear();
        for (const QString& a : arguments) {
            if (a == QStringLiteral("{PORT}"))
                expanded << QStringLiteral("--port") << sim->slavePath();
            else if (a == QStringLiteral("{SILENT}"))
                expanded << QStringLiteral("--port") << silent->slavePath();
            else
                expanded << QString(a)
                                .replace(QStringLiteral("{DIR}"), dir.path())
                                .replace(QStringLiteral("{FILE}"), file)
                                .replace(QStringLiteral("{CHANGED}"), changed)
                                .replace(QStringLiteral("{BROKEN}"), broken);
        }
        const QDir cwd = QDir::current(); // no SchedulingFile.dat here
        QVERIFY(QDir::setCurrent(dir.path()));
        const auto restore = qScopeGuard([&] { QDir::setCurrent(cwd.path()); });
        const Run r = ctl(expanded);
        QCOMPARE(r.status, status);
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(r.out.toUtf8(), &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(r.out));
        const QStringList problems = SchemaCheck(loadSchema()).problems(document.object());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n') + u'\n' + r.out));
        QCOMPARE(document[QStringLiteral("status")].toInt(), status);
    }

    // A read that fails part way keeps, in its JSON, what it did read.
    void failedReadKeepsWhatItRead() {
        auto sim = startSim(111);
        sim->setFaults(sim::SimulatorFaults::ignoring({0x38}));
        const Run r =
            ctl(portArgs({sim.get()}) << QStringLiteral("--json") << QStringLiteral("read"));
        QCOMPARE(r.status, 3);
        const QJsonObject port = QJsonDocument::fromJson(r.out.toUtf8())
                                     .object()[QStringLiteral("ports")]
                                     .toArray()[0]
                                     .toObject();
        const QJsonObject values = port[QStringLiteral("configuration")].toObject();
        QCOMPARE(values[QStringLiteral("serial")].toInt(), 111);
        QCOMPARE(values[QStringLiteral("ports")].toArray().size(), 24);
        QVERIFY(values[QStringLiteral("gps")].isNull());
        QVERIFY(values[QStringLiteral("delay")].isNull());
    }

    void readJsonWithSilentDevice() {
        auto good = startSim(21, false, sim::Model::KorvaneAB);
        auto silent = startSim(22, true);
        const Run r = ctl(portArgs({good.get(), silent.get()})
                          << QStringLiteral("--json") << QStringLiteral("read"));
        QCOMPARE(r.status, 3);
        const QJsonObject document = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(document[QStringLiteral("version")].toInt(), 1);
        QCOMPARE(document[QStringLiteral("status")].toInt(), 3);
        const QJsonArray array = document[QStringLiteral("ports")].toArray();
        QCOMPARE(array.size(), 2);
        const QJsonObject device = array[0].toObject();
        QCOMPARE(device[QStringLiteral("port")].toString(), good->slavePath());
        QCOMPARE(device[QStringLiteral("ok")].toBool(), true);
        QVERIFY(device[QStringLiteral("error")].isNull());
        QCOMPARE(device[QStringLiteral("model")].toString(), QStringLiteral("KORVANEA/B"));
        const QJsonObject values = device[QStringLiteral("configuration")].toObject();
        QCOMPARE(values[QStringLiteral("serial")].toInt(), 21);
        const QJsonArray ports = values[QStringLiteral("ports")].toArray();
        QCOMPARE(ports.size(), 24);
        QCOMPARE(ports[0].toObject()[QStringLiteral("number")].toInt(), 1);
        QCOMPARE(ports[0].toObject()[QStringLiteral("channel")].toInt(), 5);
        QVERIFY(values[QStringLiteral("gps")].toObject()[QStringLiteral("enabled")].isBool());
        QCOMPARE(values[QStringLiteral("delay")].toObject()[QStringLiteral("cyclesB")].toInt(), 32);

        const QJsonObject failed = array[1].toObject();
        // The procedures' own text, unchanged: scripts compare with it.
        QCOMPARE(failed[QStringLiteral("error")].toString(), NoAnswer);
        QCOMPARE(failed[QStringLiteral("status")].toInt(), 3);
        QVERIFY(failed[QStringLiteral("configuration")].isNull());
        QCOMPARE(r.err, silent->slavePath() + QStringLiteral(": ") + NoAnswer + u'\n');
    }

private:
    std::unique_ptr<sim::SimulatorHost> m_sim;
    std::unique_ptr<sim::SimulatorHost> m_silent;
    QTemporaryDir m_dir;
    QTemporaryDir m_runtime;
    std::unique_ptr<SimulatorAnnouncement> m_announced;
    QString m_file;
    QString m_changed;
    QString m_broken;
};

QTEST_GUILESS_MAIN(TestKorvanectlJson)
#include "test_korvanectl_json.moc"
