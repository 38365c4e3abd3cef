// SPDX-License-Identifier: MIT
// korvanectl's arguments and input files: what is refused before anything is sent, and
// how it is told.

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

class TestKorvanectlUsage : public QObject {
    Q_OBJECT
private slots:
    // The backup of a device of serial number 181, read once for every row.
    void initTestCase() {
        shortenBlockGap();
        auto sim = startSim(181);
        m_backup181 = takeBackup(*sim, m_backupDir, QStringLiteral("181.krv"));
    }

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
        auto sim = startSim(1);
        if (arguments.value(0) != QStringLiteral("read") || arguments.size() > 1)
            arguments = portArgs({sim.get()}) + arguments;
        const Run r = ctl(arguments);
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
        QTest::newRow("a line after the last row")
            << QByteArray() << 44 + 240 + 1 << QByteArray("1") << 44 + 240 + 1;
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
            else if (line > lines.size())
                lines.append(text + '\r');
            else
                lines[line - 1] = text + '\r';
            bytes = lines.join('\n') + '\n';
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        auto sim = startSim(1);
        for (const QStringList& command :
             {QStringList{QStringLiteral("diff")},
              QStringList{QStringLiteral("write"), QStringLiteral("--no-schedule")}}) {
            const Run r = ctl(portArgs({sim.get()}) + command << path);
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
        auto sim = startSim(181);
        QTemporaryDir dir;
        const QDir folder(dir.filePath(QStringLiteral("backup")));
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        const QString file = copyInto(m_backup181, dir, QStringLiteral("backup/181.krv"));
        if (extra == QStringLiteral("copy.krv")) {
            QVERIFY(QFile::copy(file, folder.filePath(extra)));
        } else if (extra == QStringLiteral("broken.krv")) {
            QFile broken(folder.filePath(extra));
            QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("182\r\n1\r\n") > 0);
        } else {
            QVERIFY(QFile::rename(file, file + QStringLiteral(".old")));
        }
        for (const QStringList& command : {QStringList{QStringLiteral("diff"), folder.path()},
                                           QStringList{QStringLiteral("write"), folder.path(),
                                                       QStringLiteral("--no-schedule")}}) {
            const Run r = ctl(portArgs({sim.get()}) + command);
            QCOMPARE(r.status, 2);
            QVERIFY2(r.err.contains(told), qPrintable(r.err));
        }
        QVERIFY(sim->framesReceived().isEmpty());
    }

    // A usage error is one line and where to find help.
    void usageErrorIsOneLine() {
        const Run r = ctl({QStringLiteral("--fast"), QStringLiteral("read")});
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
        const Run r = ctl({QStringLiteral("--settings"), path, QStringLiteral("identify")});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(told), qPrintable(r.err));
    }

    // A port name cannot break the lines or columns of text output.
    void portNameEscaped() {
        const Run r = ctl({QStringLiteral("--timeout"), TestTimeout, QStringLiteral("--port"),
                           QStringLiteral("/nonexistent/a\tb\nc"), QStringLiteral("identify")});
        QCOMPARE(r.status, 3);
        QVERIFY2(r.err.startsWith(QStringLiteral("/nonexistent/a\\x09b\\x0ac: ")),
                 qPrintable(r.err));
    }

    void helpForProgramAndCommand() {
        const Run program = ctl({QStringLiteral("--help")});
        QCOMPARE(program.status, 0);
        QVERIFY(program.out.contains(QStringLiteral("set-address")));
        const Run write = ctl({QStringLiteral("write"), QStringLiteral("--help")});
        QCOMPARE(write.status, 0);
        QVERIFY(write.out.startsWith(QStringLiteral("Usage: korvanectl --port P... write FILE")));
    }

    // --verbose switches the traces on for the run; they are silent otherwise.
    void verboseTraces() {
        auto sim = startSim(1);
        QVERIFY(!linkLog().isDebugEnabled());
        QCOMPARE(
            ctl(portArgs({sim.get()}) << QStringLiteral("--verbose") << QStringLiteral("identify"))
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
        const Run r = ctl(args);
        QCOMPARE(r.status, 3);
        QVERIFY2(r.err.startsWith(QStringLiteral("/nonexistent/tty: Error opening serial port: ") +
                                  reason),
                 qPrintable(r.err));
        QVERIFY2(r.err.endsWith(QStringLiteral("；") + hint + u'\n'), qPrintable(r.err));
        QCOMPARE(r.err.count(u'\n'), 1);

        const Run json = ctl(QStringList{QStringLiteral("--json")} + args);
        const QJsonObject port =
            QJsonDocument::fromJson(json.out.toUtf8())[QStringLiteral("ports")][0].toObject();
        QCOMPARE(port[QStringLiteral("error")].toString(),
                 QStringLiteral("Error opening serial port"));
        QVERIFY2(port[QStringLiteral("reason")].toString().startsWith(reason),
                 qPrintable(json.out));
        QCOMPARE(port[QStringLiteral("hint")].toString(), hint);
    }

private:
    QTemporaryDir m_backupDir;
    QString m_backup181;
};

QTEST_GUILESS_MAIN(TestKorvanectlUsage)
#include "test_korvanectl_usage.moc"
