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
    int Status = -1;
    QString Out;
    QString Err;
};

Run Ctl(QStringList arguments) {
    BufferConsole console;
    arguments.prepend(QStringLiteral("korvanectl"));
    Run r;
    r.Status = runKorvanectl(arguments, console);
    r.Out = console.outText();
    r.Err = console.errText();
    return r;
}

// A simulator with its own serial number (and optionally a fault).
std::unique_ptr<sim::SimulatorHost> StartSim(std::uint32_t serial, bool silent = false,
                                             sim::Model model = sim::Model::Korvane,
                                             std::uint32_t address = 1) {
    auto host = std::make_unique<sim::SimulatorHost>();
    sim::SimulatorOptions options;
    options.state = sim::DeviceState::initial(model);
    options.state.serialNumber = serial;
    options.state.address = address;
    options.faults.silent = silent;
    if (host->start(options).isEmpty())
        qFatal("simulator did not start: %s", qPrintable(host->errorString()));
    return host;
}

// The answer time limit in tests: far above any answer of the simulator on a loaded
// machine, far below the product's 5 s, so a silent device costs little.
const QString TestTimeout = QStringLiteral("800");

QStringList PortArgs(const QList<sim::SimulatorHost*>& sims) {
    QStringList args{QStringLiteral("--timeout"), TestTimeout};
    for (sim::SimulatorHost* s : sims)
        args << QStringLiteral("--port") << s->slavePath();
    return args;
}

// The frames of the log that would change the device.
int WriteFramesReceived(const sim::SimulatorHost& sim) {
    int count = 0;
    for (const ByteBuffer& f : sim.framesReceived())
        count += f.size() > 1 && (f[1] & 0x0F) == 0x07 ? 1 : 0;
    return count;
}

// A backup of the device as read -o makes it.
QString Backup(sim::SimulatorHost& sim, const QTemporaryDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    const Run r = Ctl(PortArgs({&sim}) << QStringLiteral("read") << QStringLiteral("-o") << path);
    if (r.Status != 0)
        qFatal("backup failed: %s", qPrintable(r.Err));
    sim.clearFrameLog();
    return path;
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
        DeviceConfiguration valid;
        valid.resetPortTable();
        writeConfigurationFile(file, valid);
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
        QCOMPARE(r.Status, 2);
        QVERIFY2(r.Err.startsWith(QStringLiteral("korvanectl: ")) ||
                     r.Err.contains(QStringLiteral("a.krv")) ||
                     r.Err.contains(QStringLiteral("a.chn")) ||
                     r.Err.contains(QStringLiteral("SchedulingFile.dat")),
                 qPrintable(r.Err));
        QVERIFY(r.Out.isEmpty());
        QVERIFY(sim->framesReceived().isEmpty());
    }

    // A file that is not a whole configuration, or holds a value the device would not
    // keep, is named with its line before anything is sent.
    void fileCheckedBeforeSending_data() {
        QTest::addColumn<QByteArray>("bytes"); // empty: a valid file changed by line and text
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("problemLine");
        QTest::newRow("empty file") << QByteArray("-") << 0 << QByteArray() << 1;
        QTest::newRow("text file") << QByteArray("hello\r\nworld\r\n") << 0 << QByteArray() << 1;
        QTest::newRow("random bytes")
            << QByteArray("\x93\xff\x01\x7e\x00\x80", 6) << 0 << QByteArray() << 1;
        QTest::newRow("JSON file")
            << QByteArray("{\"serial\": 1, \"ports\": []}\n") << 0 << QByteArray() << 1;
        QTest::newRow("cut after its third line") << QByteArray() << -3 << QByteArray() << 4;
        QTest::newRow("serial number 0") << QByteArray() << 1 << QByteArray("0") << 1;
        QTest::newRow("address over 24 bits") << QByteArray() << 2 << QByteArray("16777216") << 2;
        QTest::newRow("GPS switch 2") << QByteArray() << 3 << QByteArray("2") << 3;
        QTest::newRow("unknown coding name")
            << QByteArray() << 44 + 5 * 10 + 3 << QByteArray("FLEX") << 97;
        QTest::newRow("rate the device does not keep") // port 1 keeps multiples of 200
            << QByteArray() << 44 + 4 << QByteArray("1234") << 48;
        QTest::newRow("invalid code-page bytes")
            << QByteArray() << 44 + 10 << QByteArray("\x81") << 54;
        QTest::newRow("last row missing") << QByteArray() << -(44 + 230) << QByteArray() << 275;
    }
    void fileCheckedBeforeSending() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, line);
        QFETCH(QByteArray, text);
        QFETCH(int, problemLine);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.krv"));
        if (bytes == "-") {
            bytes.clear();
        } else if (bytes.isEmpty()) {
            DeviceConfiguration config;
            config.resetPortTable();
            for (int row : {0, 5})
                config.Ports[row] = PortEntry{QString::number(row + 1),
                                              QString::number(row + 9),
                                              QStringLiteral("POCSAG"),
                                              QStringLiteral("1200"),
                                              QStringLiteral("内部"),
                                              QStringLiteral("上升沿(正)"),
                                              QStringLiteral("正"),
                                              QStringLiteral("开"),
                                              QString(),
                                              QString()};
            QList<QByteArray> lines = configurationFileBytes(config).split('\n');
            lines.removeLast(); // after the last line end
            if (line < 0)
                lines = lines.mid(0, -line);
            else
                lines[line - 1] = text + '\r';
            bytes = lines.join('\n') + '\n';
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        auto sim = StartSim(1);
        for (const QStringList& command :
             {QStringList{QStringLiteral("diff")},
              QStringList{QStringLiteral("write"), QStringLiteral("--no-schedule")}}) {
            const Run r = Ctl(PortArgs({sim.get()}) + command << path);
            QCOMPARE(r.Status, 2);
            QVERIFY2(r.Err.startsWith(path + u':' + QString::number(problemLine) + u':'),
                     qPrintable(r.Err));
            QVERIFY(r.Out.isEmpty());
        }
        QVERIFY(sim->framesReceived().isEmpty());
    }

    // write --dry-run reads the device and prints what a write would change.
    void dryRun() {
        auto sim = StartSim(91);
        QTemporaryDir dir;
        const QString path = Backup(*sim, dir, QStringLiteral("91.krv"));
        const QStringList args = PortArgs({sim.get()})
                                 << QStringLiteral("write") << path << QStringLiteral("--dry-run");
        QCOMPARE(Ctl(args).Status, 0);
        DeviceConfiguration config;
        readConfigurationFile(path).applyTo(config);
        config.Gps.GpsEnabled = 0;
        writeConfigurationFile(path, config);
        const Run r = Ctl(args);
        QCOMPARE(r.Status, 1);
        QVERIFY2(r.Out.contains(QStringLiteral("gps enabled: device true, file false")),
                 qPrintable(r.Out));
        QCOMPARE(WriteFramesReceived(*sim), 0);
    }

    void helpForProgramAndCommand() {
        const Run program = Ctl({QStringLiteral("--help")});
        QCOMPARE(program.Status, 0);
        QVERIFY(program.Out.contains(QStringLiteral("set-address")));
        const Run write = Ctl({QStringLiteral("write"), QStringLiteral("--help")});
        QCOMPARE(write.Status, 0);
        QVERIFY(write.Out.startsWith(QStringLiteral("Usage: korvanectl --port P... write FILE")));
    }

    // --verbose switches the traces on for the run; they are silent otherwise.
    void verboseTraces() {
        auto sim = StartSim(1);
        QVERIFY(!linkLog().isDebugEnabled());
        QCOMPARE(
            Ctl(PortArgs({sim.get()}) << QStringLiteral("--verbose") << QStringLiteral("identify"))
                .Status,
            0);
        QVERIFY(linkLog().isDebugEnabled() && procedureLog().isDebugEnabled() &&
                fileLog().isDebugEnabled());
        QLoggingCategory::setFilterRules(QString());
    }

    void portThatCannotBeOpened() {
        const Run r = Ctl({QStringLiteral("--port"), QStringLiteral("/nonexistent/tty"),
                           QStringLiteral("identify")});
        QCOMPARE(r.Status, 3);
        QVERIFY2(r.Err.startsWith(QStringLiteral("/nonexistent/tty: ")), qPrintable(r.Err));
    }

    void identifyAndPrint() {
        auto single = StartSim(11);
        auto ab = StartSim(12, false, sim::Model::KorvaneAB);
        const Run id = Ctl(PortArgs({single.get(), ab.get()}) << QStringLiteral("identify"));
        QCOMPARE(id.Status, 0);
        QCOMPARE(id.Out, single->slavePath() + QStringLiteral("\tKORVANE\n") + ab->slavePath() +
                             QStringLiteral("\tKORVANEA/B\n"));

        const Run read = Ctl(PortArgs({single.get()}) << QStringLiteral("read"));
        QCOMPARE(read.Status, 0);
        QVERIFY(read.Out.contains(QStringLiteral("序列号: 11\n")));
        QCOMPARE(read.Out.count(u'\n'), 3 + 1 + 24 + 1);
    }

    void readJsonWithSilentDevice() {
        auto good = StartSim(21, false, sim::Model::KorvaneAB);
        auto silent = StartSim(22, true);
        const Run r = Ctl(PortArgs({good.get(), silent.get()})
                          << QStringLiteral("--json") << QStringLiteral("read"));
        QCOMPARE(r.Status, 3);
        const QJsonArray array = QJsonDocument::fromJson(r.Out.toUtf8()).array();
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
        QCOMPARE(r.Err,
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
        QCOMPARE(read.Status, 0);
        QCOMPARE(QDir(backup).entryList(QDir::Files), QStringList({"31.krv", "32.krv", "33.krv"}));

        const QString path = QDir(backup).filePath(QStringLiteral("32.krv"));
        DeviceConfiguration config;
        readConfigurationFile(path).applyTo(config);
        config.DeviceModel = QStringLiteral("KORVANE");
        config.Gps.GpsEnabled = 0;
        config.Ports[5].Channel = QStringLiteral("9");
        config.Ports[5].Coding = QStringLiteral("POCSAG");
        config.Ports[5].Rate = QStringLiteral("1200");
        config.Ports[5].ClockSource = QStringLiteral("内部");
        config.Ports[5].ClockEdge = QStringLiteral("上升沿(正)");
        config.Ports[5].Polarity = QStringLiteral("正");
        config.Ports[5].PortState = QStringLiteral("开");
        writeConfigurationFile(path, config);

        const Run before = Ctl(PortArgs({b.get()}) << QStringLiteral("diff") << path);
        QCOMPARE(before.Status, 1);
        QVERIFY2(before.Out.contains(QStringLiteral("gps enabled: device true, file false")),
                 qPrintable(before.Out));
        QVERIFY(before.Out.contains(QStringLiteral("port 6 channel: device -, file 9")));

        const Run write = Ctl(PortArgs({b.get()})
                              << QStringLiteral("write") << path << QStringLiteral("--channels")
                              << QStringLiteral(KORVANE_EXAMPLES_DIR "/channels.chn"));
        QCOMPARE(write.Status, 0);
        QVERIFY(write.Err.contains(QStringLiteral("祝贺你，写入成功！")));
        QVERIFY(!b->state().scheduleBlocks.empty());

        const Run after = Ctl(PortArgs({a.get(), b.get()}) << QStringLiteral("diff") << path);
        QCOMPARE(after.Status, 1); // a differs: another serial number, GPS on
        QVERIFY(
            after.Out.contains(a->slavePath() + QStringLiteral(": serial: device 31, file 32")));
        QVERIFY(!after.Out.contains(b->slavePath()));
    }

    void writeThatFailsAndSetAddress() {
        auto sim = StartSim(41);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("41.krv"));
        QCOMPARE(
            Ctl(PortArgs({sim.get()}) << QStringLiteral("read") << QStringLiteral("-o") << path)
                .Status,
            0);
        sim->setFaults(sim::SimulatorFaults::ignoring({0x37}));
        const Run write = Ctl(PortArgs({sim.get()}) << QStringLiteral("write") << path
                                                    << QStringLiteral("--no-schedule"));
        QCOMPARE(write.Status, 3);
        QVERIFY(write.Err.contains(QStringLiteral("写入失败！")));
        QVERIFY(!write.Err.contains(QStringLiteral("祝贺你")));
        sim->setFaults({});

        const Run set =
            Ctl(PortArgs({sim.get()})
                << QStringLiteral("set-address") << QStringLiteral("--serial")
                << QStringLiteral("41") << QStringLiteral("--address") << QStringLiteral("0x1234"));
        QCOMPARE(set.Status, 0);
        QCOMPARE(sim->state().address, 0x1234u);
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
        auto good = StartSim(61);
        QTemporaryDir dir;
        const QString path = Backup(*good, dir, QStringLiteral("61.krv"));
        if (changed) {
            DeviceConfiguration config;
            readConfigurationFile(path).applyTo(config);
            config.Gps.GpsEnabled = 0;
            writeConfigurationFile(path, config);
        }
        QStringList args{command};
        if (command == QStringLiteral("diff") || command == QStringLiteral("write"))
            args << path;
        if (command == QStringLiteral("write"))
            args << QStringLiteral("--no-schedule");
        if (silent)
            good->setFaults(sim::SimulatorFaults::fullySilent());
        QCOMPARE(Ctl(PortArgs({good.get()}) + args).Status, status);

        // Beside a device that is fine, the worse status wins.
        auto other = StartSim(61);
        QCOMPARE(Ctl(PortArgs({other.get(), good.get()}) + args).Status, status);
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
        auto sim = StartSim(71, false, sim::Model::Korvane, 42);
        QTemporaryDir dir;
        const QString path = Backup(*sim, dir, QStringLiteral("71.krv"));
        DeviceConfiguration config;
        readConfigurationFile(path).applyTo(config);
        config.Info.Address = 1;
        config.Gps.GpsEnabled = 0;
        writeConfigurationFile(path, config);

        QStringList args = PortArgs({sim.get()})
                           << QStringLiteral("write") << path << QStringLiteral("--no-schedule");
        if (fromDevice)
            args << QStringLiteral("--address-from-device");
        const Run r = Ctl(args);
        QCOMPARE(r.Status, status);
        QCOMPARE(r.Err.contains(QStringLiteral("祝贺你，写入成功！")), status == 0);
        if (fromDevice) {
            QCOMPARE(sim->state().address, 42u);
            QCOMPARE(sim->state().gps, (ByteBuffer{0xAA, 0x55}));
        } else {
            QVERIFY2(r.Err.contains(QStringLiteral("--address-from-device")), qPrintable(r.Err));
            QCOMPARE(WriteFramesReceived(*sim), 0);
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
        auto sim = StartSim(81);
        const Run r = Ctl(PortArgs({sim.get()})
                          << QStringLiteral("set-address") << QStringLiteral("--serial") << serial
                          << QStringLiteral("--address") << QStringLiteral("77"));
        QCOMPARE(r.Status, status);
        QCOMPARE(r.Err.contains(QStringLiteral("祝贺你，地址写入成功！")), status == 0);
        QCOMPARE(sim->state().address, status == 0 ? 77u : 1u);
    }

    void scanGivenPorts() {
        auto good = StartSim(51);
        auto silent = StartSim(52, true);
        const Run r = Ctl(PortArgs({good.get(), silent.get()})
                          << QStringLiteral("--port") << QStringLiteral("/nonexistent/tty")
                          << QStringLiteral("scan"));
        QCOMPARE(r.Status, 0);
        QCOMPARE(r.Out, good->slavePath() + QStringLiteral("\tKORVANE\n"));
        QVERIFY(r.Err.isEmpty());
        // Only the probe went out.
        QCOMPARE(good->framesReceived().size(), 1);

        const Run none = Ctl(PortArgs({silent.get()}) << QStringLiteral("scan"));
        QCOMPARE(none.Status, 3);
        QVERIFY(none.Out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestKorvanectl)
#include "test_korvanectl.moc"
