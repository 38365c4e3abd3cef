// korvanectl's own behaviour: arguments, files, output, exit statuses and several
// devices at once. The procedures underneath have tests of their own.

#include "cli/Console.h"
#include "cli/Korvanectl.h"
#include "config/DeviceConfiguration.h"
#include "files/ConfigurationFile.h"
#include "files/FileHelpers.h"
#include "files/FileLog.h"
#include "link/LinkLog.h"
#include "protocol/ProcedureLog.h"
#include "sim/SimulatorHost.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace korvane;
using namespace korvane::cli;

namespace {

const QString NoAnswer = QStringLiteral("请检查Korvane是否加电，连线是否连上，通讯端口是否设对？");

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run Ctl(QStringList arguments) {
    BufferConsole console;
    arguments.prepend(QStringLiteral("korvanectl"));
    Run r;
    r.status = runKorvanectl(arguments, console);
    r.out = console.outText();
    r.err = console.errText();
    return r;
}

// A simulator with its own serial number (and optionally a fault).
std::unique_ptr<sim::SimulatorHost> StartSim(std::uint32_t serial, bool silent = false,
                                             sim::Model model = sim::Model::Korvane) {
    auto host = std::make_unique<sim::SimulatorHost>();
    sim::SimulatorOptions options;
    options.state = sim::DeviceState::initial(model);
    options.state.serialNumber = serial;
    options.faults.silent = silent;
    if (host->start(options).isEmpty())
        qFatal("simulator did not start: %s", qPrintable(host->errorString()));
    return host;
}

QStringList PortArgs(const QList<sim::SimulatorHost*>& sims) {
    QStringList args;
    for (sim::SimulatorHost* s : sims)
        args << QStringLiteral("--port") << s->slavePath();
    return args;
}

} // namespace

class TestKorvanectl : public QObject {
    Q_OBJECT
private slots:
    void badUsageSendsNothing_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")};
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("--fast"), QStringLiteral("read")};
        QTest::newRow("no port") << QStringList{QStringLiteral("read")};
        QTest::newRow("write without file") << QStringList{QStringLiteral("write")};
        QTest::newRow("missing file")
            << QStringList{QStringLiteral("diff"), QStringLiteral("/nonexistent/a.krv")};
        QTest::newRow("diff of a file over the size limit")
            << QStringList{QStringLiteral("diff"), QStringLiteral("{LARGE}")};
        QTest::newRow("write of a file over the size limit")
            << QStringList{QStringLiteral("write"), QStringLiteral("{LARGE}")};
        QTest::newRow("missing channel file")
            << QStringList{QStringLiteral("write"), QStringLiteral("{FILE}"),
                           QStringLiteral("--channels"), QStringLiteral("/nonexistent/a.chn")};
        QTest::newRow("missing schedule file")
            << QStringList{QStringLiteral("write"), QStringLiteral("{FILE}")};
        QTest::newRow("address out of range") << QStringList{
            QStringLiteral("set-address"), QStringLiteral("--serial"), QStringLiteral("5"),
            QStringLiteral("--address"), QStringLiteral("0x1000000")};
        QTest::newRow("option of another command")
            << QStringList{QStringLiteral("identify"), QStringLiteral("-o"), QStringLiteral("x")};
        QTest::newRow("bad baud") << QStringList{QStringLiteral("--baud"), QStringLiteral("fast"),
                                                 QStringLiteral("identify")};
    }
    void badUsageSendsNothing() {
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        const QDir cwd = QDir::current(); // a write looks for its schedule file here
        QVERIFY(QDir::setCurrent(dir.path()));
        const auto restore = qScopeGuard([&] { QDir::setCurrent(cwd.path()); });
        const QString file = dir.filePath(QStringLiteral("a.krv"));
        writeConfigurationFile(file, DeviceConfiguration());
        const QString large = dir.filePath(QStringLiteral("large/a.krv"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("large")));
        QFile big(large);
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(MaxTextFileSize + 1));
        arguments.replaceInStrings(QStringLiteral("{FILE}"), file);
        arguments.replaceInStrings(QStringLiteral("{LARGE}"), large);
        auto sim = StartSim(1);
        if (arguments.value(0) != QStringLiteral("read") || arguments.size() > 1)
            arguments = PortArgs({sim.get()}) + arguments;
        const Run r = Ctl(arguments);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.startsWith(QStringLiteral("korvanectl: ")) ||
                     r.err.contains(QStringLiteral("a.krv")) ||
                     r.err.contains(QStringLiteral("a.chn")) ||
                     r.err.contains(QStringLiteral("SchedulingFile.dat")),
                 qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QVERIFY(sim->framesReceived().isEmpty());
    }

    void helpForProgramAndCommand() {
        const Run program = Ctl({QStringLiteral("--help")});
        QCOMPARE(program.status, 0);
        QVERIFY(program.out.contains(QStringLiteral("set-address")));
        const Run write = Ctl({QStringLiteral("write"), QStringLiteral("--help")});
        QCOMPARE(write.status, 0);
        QVERIFY(write.out.startsWith(QStringLiteral("Usage: korvanectl --port P... write FILE")));
    }

    // --verbose switches the traces on for the run; they are silent otherwise.
    void verboseTraces() {
        auto sim = StartSim(1);
        QVERIFY(!linkLog().isDebugEnabled());
        QCOMPARE(
            Ctl(PortArgs({sim.get()}) << QStringLiteral("--verbose") << QStringLiteral("identify"))
                .status,
            0);
        QVERIFY(linkLog().isDebugEnabled() && procedureLog().isDebugEnabled() &&
                fileLog().isDebugEnabled());
        QLoggingCategory::setFilterRules(QString());
    }

    void portThatCannotBeOpened() {
        const Run r = Ctl({QStringLiteral("--port"), QStringLiteral("/nonexistent/tty"),
                           QStringLiteral("identify")});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.startsWith(QStringLiteral("/nonexistent/tty: ")), qPrintable(r.err));
    }

    void identifyAndPrint() {
        auto single = StartSim(11);
        auto ab = StartSim(12, false, sim::Model::KorvaneAB);
        const Run id = Ctl(PortArgs({single.get(), ab.get()}) << QStringLiteral("identify"));
        QCOMPARE(id.status, 0);
        QCOMPARE(id.out, single->slavePath() + QStringLiteral("\tKORVANE\n") + ab->slavePath() +
                             QStringLiteral("\tKORVANEA/B\n"));

        const Run read = Ctl(PortArgs({single.get()}) << QStringLiteral("read"));
        QCOMPARE(read.status, 0);
        QVERIFY(read.out.contains(QStringLiteral("序列号: 11\n")));
        QCOMPARE(read.out.count(u'\n'), 3 + 1 + 24 + 1);
    }

    void readJsonWithSilentDevice() {
        auto good = StartSim(21, false, sim::Model::KorvaneAB);
        auto silent = StartSim(22, true);
        const Run r = Ctl(PortArgs({good.get(), silent.get()})
                          << QStringLiteral("--json") << QStringLiteral("read"));
        QCOMPARE(r.status, 1);
        const QJsonArray array = QJsonDocument::fromJson(r.out.toUtf8()).array();
        QCOMPARE(array.size(), 2);
        const QJsonObject device = array[0].toObject();
        QCOMPARE(device[QStringLiteral("port")].toString(), good->slavePath());
        QCOMPARE(device[QStringLiteral("model")].toString(), QStringLiteral("KORVANEA/B"));
        QCOMPARE(device[QStringLiteral("serial")].toInt(), 21);
        QVERIFY(!device.contains(QStringLiteral("error")));
        const QJsonArray ports = device[QStringLiteral("ports")].toArray();
        QCOMPARE(ports.size(), 24);
        QCOMPARE(ports[0].toObject()[QStringLiteral("port")].toInt(), 1);
        QCOMPARE(ports[0].toObject()[QStringLiteral("channel")].toString(), QStringLiteral("5"));
        QVERIFY(device[QStringLiteral("gps")].toObject()[QStringLiteral("enabled")].isBool());
        QCOMPARE(device[QStringLiteral("delay")].toObject()[QStringLiteral("cyclesB")].toInt(), 32);

        const QJsonObject failed = array[1].toObject();
        QCOMPARE(failed[QStringLiteral("error")].toString(), NoAnswer + u'.');
        QCOMPARE(r.err,
                 silent->slavePath() + QStringLiteral(": ") + NoAnswer + QStringLiteral(".\n"));
    }

    // Back up several devices at once, change one file, write it back, diff.
    void backupWriteDiff() {
        auto a = StartSim(31);
        auto b = StartSim(32);
        auto c = StartSim(33);
        QTemporaryDir dir;
        const QString backup = dir.filePath(QStringLiteral("backup"));
        const Run read = Ctl(PortArgs({a.get(), b.get(), c.get()})
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

        const Run before = Ctl(PortArgs({b.get()}) << QStringLiteral("diff") << path);
        QCOMPARE(before.status, 1);
        QVERIFY2(before.out.contains(QStringLiteral("gps enabled: device true, file false")),
                 qPrintable(before.out));
        QVERIFY(before.out.contains(QStringLiteral("port 6 channel: device -, file 9")));

        const Run write = Ctl(PortArgs({b.get()})
                              << QStringLiteral("write") << path << QStringLiteral("--channels")
                              << QStringLiteral(KORVANE_EXAMPLES_DIR "/channels.chn"));
        QCOMPARE(write.status, 0);
        QVERIFY(write.err.contains(QStringLiteral("祝贺你，写入成功！")));
        QVERIFY(!b->state().scheduleBlocks.empty());

        const Run after = Ctl(PortArgs({a.get(), b.get()}) << QStringLiteral("diff") << path);
        QCOMPARE(after.status, 1); // a differs: another serial number, GPS on
        QVERIFY(
            after.out.contains(a->slavePath() + QStringLiteral(": serial: device 31, file 32")));
        QVERIFY(!after.out.contains(b->slavePath()));
    }

    void writeThatFailsAndSetAddress() {
        auto sim = StartSim(41);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("41.krv"));
        QCOMPARE(
            Ctl(PortArgs({sim.get()}) << QStringLiteral("read") << QStringLiteral("-o") << path)
                .status,
            0);
        sim->setFaults(sim::SimulatorFaults::ignoring({0x37}));
        const Run write = Ctl(PortArgs({sim.get()}) << QStringLiteral("write") << path
                                                    << QStringLiteral("--no-schedule"));
        QCOMPARE(write.status, 1);
        QVERIFY(write.err.contains(QStringLiteral("写入失败！")));
        sim->setFaults({});

        const Run set =
            Ctl(PortArgs({sim.get()})
                << QStringLiteral("set-address") << QStringLiteral("--serial")
                << QStringLiteral("41") << QStringLiteral("--address") << QStringLiteral("0x1234"));
        QCOMPARE(set.status, 0);
        QCOMPARE(sim->state().address, 0x1234u);
    }

    void scanGivenPorts() {
        auto good = StartSim(51);
        auto silent = StartSim(52, true);
        const Run r = Ctl(PortArgs({good.get(), silent.get()})
                          << QStringLiteral("--port") << QStringLiteral("/nonexistent/tty")
                          << QStringLiteral("scan"));
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, good->slavePath() + QStringLiteral("\tKORVANE\n"));
        QVERIFY(r.err.isEmpty());
        // Only the probe went out.
        QCOMPARE(good->framesReceived().size(), 1);

        const Run none = Ctl(PortArgs({silent.get()}) << QStringLiteral("scan"));
        QCOMPARE(none.status, 1);
        QVERIFY(none.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestKorvanectl)
#include "test_korvanectl.moc"
