// SPDX-License-Identifier: MIT
// korvanectl's own behaviour: arguments, files, output, exit statuses and several
// devices at once. The procedures underneath have tests of their own.

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

namespace {

const QString NoAnswer = QStringLiteral("请检查Korvane是否加电，连线是否连上，通讯端口是否设对？");

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run Ctl(QStringList arguments, const QByteArray& in = {}, bool outTerminal = true) {
    BufferConsole console;
    console.inBytes = in;
    console.outTerminal = outTerminal;
    arguments.prepend(QStringLiteral("korvanectl"));
    Run r;
    r.status = runKorvanectl(arguments, console);
    r.out = console.outText();
    r.err = console.errText();
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
    if (r.status != 0)
        qFatal("backup failed: %s", qPrintable(r.err));
    sim.clearFrameLog();
    return path;
}

// The part of JSON Schema korvanectl.schema.json uses: $ref into $defs, anyOf, const,
// enum, type, properties, required, additionalProperties false, items, minimum and
// maximum. The problems found, each with its place in the document.
class SchemaCheck {
public:
    explicit SchemaCheck(QJsonObject root) : m_root(std::move(root)) {}

    QStringList problems(const QJsonValue& value) {
        m_problems.clear();
        check(value, m_root, QStringLiteral("$"));
        return m_problems;
    }

private:
    static bool hasType(const QJsonValue& v, const QString& type) {
        if (type == QStringLiteral("null"))
            return v.isNull();
        if (type == QStringLiteral("boolean"))
            return v.isBool();
        if (type == QStringLiteral("string"))
            return v.isString();
        if (type == QStringLiteral("integer"))
            return v.isDouble() && v.toDouble() == double(v.toInteger());
        if (type == QStringLiteral("number"))
            return v.isDouble();
        if (type == QStringLiteral("array"))
            return v.isArray();
        if (type == QStringLiteral("object"))
            return v.isObject();
        return false;
    }

    bool matches(const QJsonValue& value, const QJsonObject& schema) {
        SchemaCheck inner(m_root);
        inner.check(value, schema, QString());
        return inner.m_problems.isEmpty();
    }

    void check(const QJsonValue& value, const QJsonObject& schema, const QString& at) {
        const auto fail = [&](const QString& what) {
            m_problems.append(at + u' ' + what);
        };
        if (schema.contains(QStringLiteral("$ref"))) {
            const QString ref = schema[QStringLiteral("$ref")].toString();
            const QString name = ref.section(u'/', -1);
            check(value, m_root[QStringLiteral("$defs")].toObject()[name].toObject(), at);
        }
        if (schema.contains(QStringLiteral("anyOf"))) {
            bool any = false;
            for (const QJsonValue& option : schema[QStringLiteral("anyOf")].toArray())
                any = any || matches(value, option.toObject());
            if (!any)
                fail(QStringLiteral("matches none of anyOf"));
        }
        if (schema.contains(QStringLiteral("const")) && value != schema[QStringLiteral("const")])
            fail(QStringLiteral("is not the constant"));
        if (schema.contains(QStringLiteral("enum")) &&
            !schema[QStringLiteral("enum")].toArray().contains(value))
            fail(
                QStringLiteral("is not one of the enumeration: ") +
                QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact)));
        if (schema.contains(QStringLiteral("type"))) {
            const QJsonValue type = schema[QStringLiteral("type")];
            const QJsonArray types = type.isArray() ? type.toArray() : QJsonArray{type};
            bool any = false;
            for (const QJsonValue& t : types)
                any = any || hasType(value, t.toString());
            if (!any)
                fail(QStringLiteral("has the wrong type"));
        }
        if (value.isDouble()) {
            if (schema.contains(QStringLiteral("minimum")) &&
                value.toDouble() < schema[QStringLiteral("minimum")].toDouble())
                fail(QStringLiteral("is below the minimum"));
            if (schema.contains(QStringLiteral("maximum")) &&
                value.toDouble() > schema[QStringLiteral("maximum")].toDouble())
                fail(QStringLiteral("is above the maximum"));
        }
        if (value.isObject()) {
            const QJsonObject object = value.toObject();
            const QJsonObject properties = schema[QStringLiteral("properties")].toObject();
            for (const QJsonValue& key : schema[QStringLiteral("required")].toArray()) {
                if (!object.contains(key.toString()))
                    fail(QStringLiteral("lacks ") + key.toString());
            }
            for (auto it = object.begin(); it != object.end(); ++it) {
                if (properties.contains(it.key()))
                    check(it.value(), properties[it.key()].toObject(), at + u'.' + it.key());
                else if (schema[QStringLiteral("additionalProperties")] == QJsonValue(false))
                    fail(QStringLiteral("has the unknown key ") + it.key());
            }
        }
        if (value.isArray() && schema.contains(QStringLiteral("items"))) {
            const QJsonArray array = value.toArray();
            for (qsizetype i = 0; i < array.size(); ++i)
                check(array[i], schema[QStringLiteral("items")].toObject(),
                      at + QStringLiteral("[%1]").arg(i));
        }
    }

    QJsonObject m_root;
    QStringList m_problems;
};

QJsonObject LoadSchema() {
    QFile file(QStringLiteral(KORVANE_SCHEMA_FILE));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the schema");
    return QJsonDocument::fromJson(file.readAll()).object();
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
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.startsWith(QStringLiteral("korvanectl: ")) ||
                     r.err.contains(QStringLiteral("a.krv")) ||
                     r.err.contains(QStringLiteral("a.chn")) ||
                     r.err.contains(QStringLiteral("SchedulingFile.dat")),
                 qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
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
        QTest::newRow("control characters in a value")
            << QByteArray() << 3 << QByteArray("1\t\x1b[2J") << 3;
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
                config.ports[row] = PortEntry{QString::number(row + 1),
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
            QCOMPARE(r.status, 2);
            QVERIFY2(r.err.startsWith(path + u':' + QString::number(problemLine) + u':'),
                     qPrintable(r.err));
            // One line, showing the file's control characters instead of obeying them.
            QVERIFY2(
                !r.err.chopped(1).contains(QRegularExpression(QStringLiteral("[\\x00-\\x1f]"))),
                qPrintable(r.err));
            QVERIFY(r.out.isEmpty());
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
        QCOMPARE(Ctl(args).status, 0);
        DeviceConfiguration config;
        readConfigurationFile(path).applyTo(config);
        config.gps.gpsEnabled = 0;
        writeConfigurationFile(path, config);
        const Run r = Ctl(args);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains(QStringLiteral("gps.enabled: device true, file false")),
                 qPrintable(r.out));
        QCOMPARE(WriteFramesReceived(*sim), 0);
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
        auto sim = StartSim(101);
        auto silent = StartSim(102, true);
        QTemporaryDir dir;
        // ports lists the simulator too.
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const auto unsetRuntime = qScopeGuard([] { qunsetenv("XDG_RUNTIME_DIR"); });
        const SimulatorAnnouncement announced(sim->slavePath(), QStringLiteral("KORVANE"));
        QVERIFY(announced.isAnnounced());
        const QString file = Backup(*sim, dir, QStringLiteral("101.krv"));
        DeviceConfiguration config;
        readConfigurationFile(file).applyTo(config);
        config.gps.gpsEnabled = 0;
        const QString changed = dir.filePath(QStringLiteral("changed.krv"));
        writeConfigurationFile(changed, config);
        const QString broken = dir.filePath(QStringLiteral("broken.krv"));
        QFile b(broken);
        QVERIFY(b.open(QIODevice::WriteOnly) && b.write("1\r\n1\r\n") > 0);
        b.close();

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
        const Run r = Ctl(expanded);
        QCOMPARE(r.status, status);
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(r.out.toUtf8(), &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(r.out));
        const QStringList problems = SchemaCheck(LoadSchema()).problems(document.object());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n') + u'\n' + r.out));
        QCOMPARE(document[QStringLiteral("status")].toInt(), status);
    }

    // A read that fails part way keeps, in its JSON, what it did read.
    void failedReadKeepsWhatItRead() {
        auto sim = StartSim(111);
        sim->setFaults(sim::SimulatorFaults::ignoring({0x38}));
        const Run r =
            Ctl(PortArgs({sim.get()}) << QStringLiteral("--json") << QStringLiteral("read"));
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
        const QString file = Backup(sim, dir, QStringLiteral("a.krv"));
        const auto clear = qScopeGuard([] { clearInterrupt(); });

        std::atomic<bool> done{false};
        std::thread watcher([&] {
            while (!done) {
                if (test::ReceivedCodes(sim).count(code) >= occurrence) {
                    requestInterrupt();
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        const Run r = Ctl(PortArgs({&sim}) << QStringLiteral("--json") << QStringLiteral("write")
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
        // Nothing after the frame in flight.
        const QList<int> codes = test::ReceivedCodes(sim);
        QCOMPARE(codes.count(code), occurrence);
        QCOMPARE(codes.last(), code);

        clearInterrupt();
        QCOMPARE(Ctl(PortArgs({&sim}) << QStringLiteral("identify")).status, 0);
    }

    // An answer still on its way to a program that ended in the middle of a transaction
    // is not taken for the answer to the next one's probe.
    void answerLeftOnTheLine() {
        sim::SimulatorHost sim;
        sim::SimulatorOptions options;
        options.replyDelayMs = 120; // the answer comes after the next program has opened the port
        QVERIFY(!sim.start(options).isEmpty());
        {
            CommandTransport left;
            left.comm().setCommName(sim.slavePath());
            left.comm().openPort();
            const ByteBuffer request{0x7E, 0x08, 0x7F};
            QVERIFY(left.sendFrame(request.data(), std::uint16_t(request.size())));
            QTRY_COMPARE(sim.framesReceived().size(), 1);
        }
        const Run r = Ctl(PortArgs({&sim}) << QStringLiteral("identify"));
        QCOMPARE(r.status, 0);
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
        auto sim = StartSim(121);
        QTemporaryDir dir;
        const QString file = Backup(*sim, dir, QStringLiteral("121.krv"));
        const QString out = dir.filePath(QStringLiteral("out.krv"));
        QStringList expanded;
        for (const QString& a : arguments) {
            if (a == QStringLiteral("{PORT}"))
                expanded << PortArgs({sim.get()});
            else
                expanded << QString(a)
                                .replace(QStringLiteral("{FILE}"), file)
                                .replace(QStringLiteral("{OUT}"), out);
        }
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const Run r = Ctl(expanded, fromStdin ? f.readAll() : QByteArray());
        QCOMPARE(r.status, 0);
        QVERIFY2(outStarts.isEmpty() ? r.out.isEmpty() : r.out.startsWith(outStarts),
                 qPrintable(r.out));
        if (arguments.contains(QStringLiteral("-o{OUT}")) ||
            arguments.contains(QStringLiteral("--output={OUT}")))
            QVERIFY(QFileInfo(out).isFile());
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err)); // --quiet: no success line
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
        auto sim = StartSim(131);
        QStringList args = PortArgs({sim.get()});
        if (quiet)
            args << QStringLiteral("--quiet");
        args << QStringLiteral("set-address") << QStringLiteral("--serial") << QStringLiteral("131")
             << QStringLiteral("--address") << QStringLiteral("3");
        const Run r = Ctl(args, {}, terminal);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err.contains(QStringLiteral("祝贺你，地址写入成功！")), shown);
    }

    // A usage error is one line and where to find help.
    void usageErrorIsOneLine() {
        const Run r = Ctl({QStringLiteral("--fast"), QStringLiteral("read")});
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err, QStringLiteral("korvanectl: 没有 --fast 这个选项\n"
                                       "用法见 'korvanectl --help'。\n"));
    }

    // The settings file's problems are told, not taken as defaults.
    void settingsFileProblems_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("told");
        QTest::newRow("no CommName")
            << QByteArray("[Setting]\r\nBaudRate=9600\r\n") << "中没有 CommName";
        QTest::newRow("BaudRate no number")
            << QByteArray("[Setting]\r\nCommName=COM1\r\nBaudRate=abc\r\n") << "不是数字";
        QTest::newRow("Parity out of range")
            << QByteArray("[Setting]\r\nCommName=COM1\r\nParity=9\r\n") << "不在0至4之间";
    }
    void settingsFileProblems() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, told);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("KORVANE.INI"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(settings) == settings.size());
        f.close();
        const Run r = Ctl({QStringLiteral("--settings"), path, QStringLiteral("identify")});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(told), qPrintable(r.err));
    }

    // A port name cannot break the lines or columns of text output.
    void portNameEscaped() {
        const Run r = Ctl({QStringLiteral("--timeout"), TestTimeout, QStringLiteral("--port"),
                           QStringLiteral("/nonexistent/a\tb\nc"), QStringLiteral("identify")});
        QCOMPARE(r.status, 3);
        QVERIFY2(r.err.startsWith(QStringLiteral("/nonexistent/a\\x09b\\x0ac: ")),
                 qPrintable(r.err));
    }

    // show prints a file as read prints the device it came from.
    void showFile() {
        auto sim = StartSim(141);
        QTemporaryDir dir;
        const QString file = Backup(*sim, dir, QStringLiteral("141.krv"));
        DeviceConfiguration config;
        readConfigurationFile(file).applyTo(config);
        config.trunk.delayEnabled = 1; // its summary words depend on the model
        writeConfigurationFile(file, config);
        const Run read = Ctl(PortArgs({sim.get()}) << QStringLiteral("read"));
        const Run show = Ctl({QStringLiteral("show"), file});
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
        auto sim = StartSim(151);
        QTemporaryDir dir;
        if (made)
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("backup")));
        const Run r = Ctl(PortArgs({sim.get()}) << QStringLiteral("read") << QStringLiteral("-o")
                                                << dir.filePath(output));
        QCOMPARE(r.status, 0);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("backup/151.krv"))).isFile());
    }

    // diff and write take a backup folder: each device the file of its serial number,
    // whatever the file's name; a device without one gets nothing.
    void backupFolder() {
        auto a = StartSim(171);
        auto b = StartSim(172);
        auto c = StartSim(173);
        QTemporaryDir dir;
        const QString backup = dir.filePath(QStringLiteral("backup/"));
        QCOMPARE(Ctl(PortArgs({a.get(), b.get()})
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

        const Run diff = Ctl(PortArgs({a.get(), b.get(), c.get()})
                             << QStringLiteral("--json") << QStringLiteral("diff") << backup);
        QCOMPARE(diff.status, 2);
        const QJsonObject document = QJsonDocument::fromJson(diff.out.toUtf8()).object();
        const QStringList problems = SchemaCheck(LoadSchema()).problems(document);
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
            Ctl(PortArgs({a.get(), b.get(), c.get()})
                << QStringLiteral("write") << backup << QStringLiteral("--no-schedule"));
        QCOMPARE(write.status, 2);
        QCOMPARE(b->state().gps, (ByteBuffer{0xAA, 0x55}));
        QCOMPARE(WriteFramesReceived(*c), 0);
    }

    // A backup folder is checked whole before the first frame.
    void backupFolderCheckedBeforeSending_data() {
        QTest::addColumn<QString>("extra"); // a file put beside the backup
        QTest::addColumn<QString>("told");
        QTest::newRow("two files of one serial number") << "copy.krv"
                                                        << "copy.krv:1: ";
        QTest::newRow("a broken file") << "broken.krv"
                                       << "broken.krv:3: ";
        QTest::newRow("no .krv file") << ""
                                      << "没有 .krv";
    }
    void backupFolderCheckedBeforeSending() {
        QFETCH(QString, extra);
        QFETCH(QString, told);
        auto sim = StartSim(181);
        QTemporaryDir dir;
        const QDir backup(dir.filePath(QStringLiteral("backup")));
        QVERIFY(backup.mkpath(QStringLiteral(".")));
        const QString file = Backup(*sim, dir, QStringLiteral("backup/181.krv"));
        if (extra == QStringLiteral("copy.krv")) {
            QVERIFY(QFile::copy(file, backup.filePath(extra)));
        } else if (extra == QStringLiteral("broken.krv")) {
            QFile broken(backup.filePath(extra));
            QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("182\r\n1\r\n") > 0);
        } else {
            QVERIFY(QFile::rename(file, file + QStringLiteral(".old")));
        }
        for (const QStringList& command : {QStringList{QStringLiteral("diff"), backup.path()},
                                           QStringList{QStringLiteral("write"), backup.path(),
                                                       QStringLiteral("--no-schedule")}}) {
            const Run r = Ctl(PortArgs({sim.get()}) + command);
            QCOMPARE(r.status, 2);
            QVERIFY2(r.err.contains(told), qPrintable(r.err));
        }
        QVERIFY(sim->framesReceived().isEmpty());
    }

    // diff --settings-only leaves out what differs from device to device.
    void diffSettingsOnly() {
        auto a = StartSim(161);
        auto b = StartSim(162, false, sim::Model::Korvane, 7);
        QTemporaryDir dir;
        const QString file = Backup(*a, dir, QStringLiteral("161.krv"));
        QCOMPARE(Ctl(PortArgs({a.get(), b.get()}) << QStringLiteral("diff") << file).status, 1);
        QCOMPARE(Ctl(PortArgs({a.get(), b.get()})
                     << QStringLiteral("diff") << file << QStringLiteral("--settings-only"))
                     .status,
                 0);
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

    // The port's line says why and what to try; the JSON keeps them apart.
    void portThatCannotBeOpened() {
        const QStringList args{QStringLiteral("--port"), QStringLiteral("/nonexistent/tty"),
                               QStringLiteral("identify")};
        const QString reason = QStringLiteral("找不到端口 /nonexistent/tty（");
        const QString hint = QStringLiteral("请插上串口适配器，或选择另一个端口。");
        const Run r = Ctl(args);
        QCOMPARE(r.status, 3);
        QVERIFY2(r.err.startsWith(QStringLiteral("/nonexistent/tty: Error opening serial port. ") +
                                  reason),
                 qPrintable(r.err));
        QVERIFY2(r.err.endsWith(QStringLiteral("；") + hint + u'\n'), qPrintable(r.err));
        QCOMPARE(r.err.count(u'\n'), 1);

        const Run json = Ctl(QStringList{QStringLiteral("--json")} + args);
        const QJsonObject port =
            QJsonDocument::fromJson(json.out.toUtf8())[QStringLiteral("ports")][0].toObject();
        QCOMPARE(port[QStringLiteral("error")].toString(),
                 QStringLiteral("Error opening serial port."));
        QVERIFY2(port[QStringLiteral("reason")].toString().startsWith(reason),
                 qPrintable(json.out));
        QCOMPARE(port[QStringLiteral("hint")].toString(), hint);
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
        QCOMPARE(failed[QStringLiteral("error")].toString(), NoAnswer + u'.');
        QCOMPARE(failed[QStringLiteral("status")].toInt(), 3);
        QVERIFY(failed[QStringLiteral("configuration")].isNull());
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
        QVERIFY2(before.out.contains(QStringLiteral("gps.enabled: device true, file false")),
                 qPrintable(before.out));
        QVERIFY(before.out.contains(QStringLiteral("ports.6.channel: device -, file 9")));

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
        QCOMPARE(write.status, 3);
        QVERIFY(write.err.contains(QStringLiteral("写入失败！")));
        QVERIFY(!write.err.contains(QStringLiteral("祝贺你")));
        sim->setFaults({});

        const Run set =
            Ctl(PortArgs({sim.get()})
                << QStringLiteral("set-address") << QStringLiteral("--serial")
                << QStringLiteral("41") << QStringLiteral("--address") << QStringLiteral("0x1234"));
        QCOMPARE(set.status, 0);
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
        QCOMPARE(Ctl(PortArgs({good.get()}) + args).status, status);

        // Beside a device that is fine, the worse status wins.
        auto other = StartSim(61);
        QCOMPARE(Ctl(PortArgs({other.get(), good.get()}) + args).status, status);
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
        config.info.address = 1;
        config.gps.gpsEnabled = 0;
        writeConfigurationFile(path, config);

        QStringList args = PortArgs({sim.get()})
                           << QStringLiteral("write") << path << QStringLiteral("--no-schedule");
        if (fromDevice)
            args << QStringLiteral("--address-from-device");
        const Run r = Ctl(args);
        QCOMPARE(r.status, status);
        QCOMPARE(r.err.contains(QStringLiteral("祝贺你，写入成功！")), status == 0);
        if (fromDevice) {
            QCOMPARE(sim->state().address, 42u);
            QCOMPARE(sim->state().gps, (ByteBuffer{0xAA, 0x55}));
        } else {
            QVERIFY2(r.err.contains(QStringLiteral("--address-from-device")), qPrintable(r.err));
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
        QCOMPARE(r.status, status);
        QCOMPARE(r.err.contains(QStringLiteral("祝贺你，地址写入成功！")), status == 0);
        QCOMPARE(sim->state().address, status == 0 ? 77u : 1u);
    }

    void scanGivenPorts() {
        auto good = StartSim(51);
        auto silent = StartSim(52, true);
        const Run r = Ctl(PortArgs({good.get(), silent.get()})
                          << QStringLiteral("--port") << QStringLiteral("/nonexistent/tty")
                          << QStringLiteral("scan"));
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, good->slavePath() + QStringLiteral("\tKORVANE\t51\n"));
        QVERIFY(r.err.isEmpty());
        // Only the probe and the serial number read went out.
        QCOMPARE(good->framesReceived().size(), 2);

        const Run none = Ctl(PortArgs({silent.get()}) << QStringLiteral("scan"));
        QCOMPARE(none.status, 3);
        QVERIFY(none.out.isEmpty());
        QCOMPARE(none.err, QStringLiteral("korvanectl: 1个端口上都没有找到 Korvane\n"));
    }

    // A running simulator is among the ports, with what a port lacks marked.
    void portsListsSimulators() {
        auto sim = StartSim(61);
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const auto unsetRuntime = qScopeGuard([] { qunsetenv("XDG_RUNTIME_DIR"); });
        const SimulatorAnnouncement announced(sim->slavePath(), QStringLiteral("KORVANEA/B"));
        const Run r = Ctl({QStringLiteral("ports")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.endsWith(sim->slavePath() +
                                QStringLiteral("\t模拟器 KORVANEA/B (korvane-sim)\t-\t-\n")),
                 qPrintable(r.out));
        QVERIFY(sim->framesReceived().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestKorvanectl)
#include "test_korvanectl.moc"
