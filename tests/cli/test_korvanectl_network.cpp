// SPDX-License-Identifier: MIT
// korvanectl on network serial ports: devices behind ser2net named with --port and a
// rack list (--ports-from), every name checked before the first connection.

#include "cli/Console.h"
#include "cli/Korvanectl.h"
#include "config/DeviceConfiguration.h"
#include "files/ConfigurationFile.h"
#include "sim/SimulatorHost.h"
#include "tests/support/Ser2NetServer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace korvane;
using namespace korvane::cli;
using korvane::test::Ser2NetServer;

namespace {

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

std::unique_ptr<sim::SimulatorHost> StartSim(std::uint32_t serial) {
    auto host = std::make_unique<sim::SimulatorHost>();
    sim::SimulatorOptions options;
    options.state.serialNumber = serial;
    if (host->start(options).isEmpty())
        qFatal("simulator did not start: %s", qPrintable(host->errorString()));
    return host;
}

const QStringList Timeout{QStringLiteral("--timeout"), QStringLiteral("1500")};

void WriteFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

class TestKorvanectlNetwork : public QObject {
    Q_OBJECT

    QTemporaryDir m_runtime;

private slots:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path())); }

    // A region's rack list: three devices, two through RFC 2217 and one raw, read into
    // a folder; then identify, write and diff through each kind of port.
    void rackList() {
        auto a = StartSim(201);
        auto b = StartSim(202);
        auto c = StartSim(203);
        Ser2NetServer telnet;
        QVERIFY2(telnet.start({a->slavePath(), b->slavePath()}, Ser2NetServer::Mode::Rfc2217),
                 qPrintable(telnet.errorString()));
        Ser2NetServer raw;
        QVERIFY2(raw.start({c->slavePath()}, Ser2NetServer::Mode::Raw),
                 qPrintable(raw.errorString()));
        QTemporaryDir dir;
        const QString racks = dir.filePath(QStringLiteral("racks.txt"));
        WriteFile(racks, ("# north region\n\n" + telnet.portName(0) + "   # site A\n  " +
                          telnet.portName(1) + "\n#" + raw.portName(0) + " is the old one\n" +
                          raw.portName(0) + "\n")
                             .toUtf8());
        const QString backup = dir.filePath(QStringLiteral("backup/"));
        const Run read =
            Ctl(Timeout + QStringList{QStringLiteral("--ports-from"), racks, QStringLiteral("read"),
                                      QStringLiteral("-o"), backup});
        QVERIFY2(read.status == 0, qPrintable(read.err));
        QCOMPARE(QDir(backup).entryList(QDir::Files),
                 QStringList({"201.krv", "202.krv", "203.krv"}));

        const Run id = Ctl(Timeout + QStringList{QStringLiteral("--port"), raw.portName(0),
                                                 QStringLiteral("--port"), telnet.portName(0),
                                                 QStringLiteral("identify")});
        QCOMPARE(id.status, 0);
        QCOMPARE(id.out, raw.portName(0) + QStringLiteral("\tKORVANE\n") + telnet.portName(0) +
                             QStringLiteral("\tKORVANE\n"));

        // Change one device's file, write it through RFC 2217, and both kinds of port
        // see the device as the file says.
        const QString path = QDir(backup).filePath(QStringLiteral("202.krv"));
        DeviceConfiguration config;
        readConfigurationFile(path).applyTo(config);
        config.gps.gpsEnabled = config.gps.gpsEnabled == 0 ? 1 : 0;
        writeConfigurationFile(path, config);
        const Run before = Ctl(Timeout + QStringList{QStringLiteral("--port"), telnet.portName(1),
                                                     QStringLiteral("diff"), path});
        QCOMPARE(before.status, 1);
        QVERIFY2(before.out.contains(QStringLiteral("gps.enabled")), qPrintable(before.out));
        const Run write = Ctl(Timeout + QStringList{QStringLiteral("--port"), telnet.portName(1),
                                                    QStringLiteral("write"), path,
                                                    QStringLiteral("--no-schedule")});
        QVERIFY2(write.status == 0, qPrintable(write.err));
        QCOMPARE(Ctl(Timeout + QStringList{QStringLiteral("--port"), telnet.portName(1),
                                           QStringLiteral("diff"), path})
                     .status,
                 0);
        const QString rawFile = QDir(backup).filePath(QStringLiteral("203.krv"));
        QCOMPARE(Ctl(Timeout + QStringList{QStringLiteral("--port"), raw.portName(0),
                                           QStringLiteral("diff"), rawFile})
                     .status,
                 0);
    }

    // A malformed name anywhere, or an unusable list, stops the run before any port is
    // opened: the good port's device hears nothing.
    void namesCheckedFirst_data() {
        QTest::addColumn<QString>("list"); // the rack list's text; {GOOD} the good port
        QTest::addColumn<QString>("error");
        QTest::addRow("no TCP port") << "{GOOD}\nrfc2217://127.0.0.1\n"
                                     << "缺少 TCP 端口号";
        QTest::addRow("port out of range") << "{GOOD}\nsocket://127.0.0.1:70000\n"
                                           << "不在 1 到 65535 之间";
        QTest::addRow("unknown scheme") << "{GOOD}\ntcp://127.0.0.1:4000\n"
                                        << "类型未知";
        QTest::addRow("only comments") << "# nothing yet\n\n"
                                       << "中没有端口";
        QTest::addRow("no such list") << ""
                                      << "无法读取端口列表";
    }
    void namesCheckedFirst() {
        QFETCH(QString, list);
        QFETCH(QString, error);
        auto sim = StartSim(211);
        Ser2NetServer server;
        QVERIFY(server.start({sim->slavePath()}, Ser2NetServer::Mode::Rfc2217));
        QTemporaryDir dir;
        const QString racks = dir.filePath(QStringLiteral("racks.txt"));
        if (!list.isEmpty())
            WriteFile(racks,
                      QString(list).replace(QStringLiteral("{GOOD}"), server.portName(0)).toUtf8());
        const Run r = Ctl(Timeout + QStringList{QStringLiteral("--ports-from"), racks,
                                                QStringLiteral("identify")});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.startsWith(QStringLiteral("korvanectl: ")) && r.err.contains(error),
                 qPrintable(r.err));
        // Nothing was connected: the device heard nothing, and the port is still free.
        QVERIFY(sim->framesReceived().isEmpty());
        const Run bad =
            Ctl(Timeout + QStringList{QStringLiteral("--port"), server.portName(0),
                                      QStringLiteral("--port"), QStringLiteral("rfc2217://[::1"),
                                      QStringLiteral("identify")});
        QCOMPARE(bad.status, 2);
        QVERIFY(sim->framesReceived().isEmpty());
    }

    // A network port that will not open: exit status 3, the reason in the line and in
    // the JSON, as for a local port.
    void portThatWillNotOpen() {
        const QString name =
            QStringLiteral("rfc2217://127.0.0.1:%1").arg(Ser2NetServer::freePorts(1).at(0));
        const Run r = Ctl(Timeout + QStringList{QStringLiteral("--json"), QStringLiteral("--port"),
                                                name, QStringLiteral("identify")});
        QCOMPARE(r.status, 3);
        const QJsonObject port =
            QJsonDocument::fromJson(r.out.toUtf8())[QStringLiteral("ports")][0].toObject();
        QCOMPARE(port[QStringLiteral("port")].toString(), name);
        QCOMPARE(port[QStringLiteral("error")].toString(),
                 QStringLiteral("Error opening serial port"));
        QVERIFY2(port[QStringLiteral("reason")].toString().contains(QStringLiteral("拒绝了连接")),
                 qPrintable(r.out));
        QVERIFY(!port[QStringLiteral("hint")].toString().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestKorvanectlNetwork)
#include "test_korvanectl_network.moc"
