// SPDX-License-Identifier: MIT
#include "PtyClient.h"
#include "SimTestUtil.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace korvane;
using namespace simtest;

namespace {

const QString Program = QStringLiteral(KORVANE_SIM_EXECUTABLE);

ByteBuffer request(int code) {
    return bytes({0x7E, code, 0x7F});
}

// Starts the program and returns the slave path from its first line, or empty.
QString startSim(QProcess& process, const QStringList& arguments) {
    process.start(Program, arguments);
    if (!process.waitForStarted(10000))
        return {};
    QElapsedTimer timer;
    timer.start();
    while (!process.canReadLine() && timer.elapsed() < 10000) {
        if (!process.waitForReadyRead(500) && process.state() != QProcess::Running)
            return {};
    }
    const QString line = QString::fromLocal8Bit(process.readLine()).chopped(1);
    const auto match = QRegularExpression(R"(^PTY (/dev/pts/\d+)$)").match(line);
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace

class TestSimProgram : public QObject {
    Q_OBJECT
private slots:
    void stopsCleanly_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    void stopsCleanly() {
        QFETCH(int, signal);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString link = dir.filePath("ttyKORVANE");
        const QString log = dir.filePath("frames.log");
        QProcess process;
        const QString slave = startSim(process, {"--link", link, "--log", log});
        QVERIFY2(!slave.isEmpty(), process.readAllStandardError().constData());
        QCOMPARE(QFileInfo(link).symLinkTarget(), slave);

        {
            PtyClient port(link);
            QVERIFY(port.isOpen());
            QVERIFY(port.send(request(0x08)));
            QCOMPARE(hex(port.receive(6)), hex(bytes({0x7E, 0x08, 0x01, 0x00, 0x00, 0x7F})));
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(log).size() > 0, 10000);

        QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void stateAndModelOptions() {
        QTemporaryDir dir;
        const QString state = dir.filePath("device.txt");
        {
            QFile f(state);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("# test device\naddress = 70000\n");
        }
        QProcess process;
        const QString slave = startSim(process, {"--state", state, "--model", "KORVANEA/B"});
        QVERIFY2(!slave.isEmpty(), process.readAllStandardError().constData());
        PtyClient port(slave);
        QVERIFY(port.send(request(0x08)));
        QCOMPARE(hex(port.receive(6)), hex(bytes({0x7E, 0x08, 0x70, 0x11, 0x01, 0x7F})));
        QVERIFY(port.send(request(0x28)));
        QCOMPARE(unescapeFrame(port.receiveFrame()).size(), std::size_t(164));
        process.terminate();
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
    }

    void faultOptions() {
        QProcess process;
        const QString slave = startSim(process, {"--ignore", "18", "--bad-end"});
        QVERIFY2(!slave.isEmpty(), process.readAllStandardError().constData());
        PtyClient port(slave);
        // 18 is not answered; the address answer that follows comes without its end byte.
        QVERIFY(port.send(concat({request(0x18), request(0x08)})));
        QCOMPARE(hex(port.receive(5)), hex(bytes({0x7E, 0x08, 0x01, 0x00, 0x00})));
        process.terminate();
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
    }

    void help() {
        QProcess process;
        process.start(Program, {"--help"});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        const QString text = QString::fromLocal8Bit(process.readAllStandardOutput());
        for (const char* option :
             {"--model", "--state", "--link", "--log", "--reply-delay-ms", "--baud", "--silent",
              "--ignore", "--split-ms", "--bad-end", "--wrong-length"})
            QVERIFY2(text.contains(QLatin1String(option)), option);
        QVERIFY(!text.startsWith("PTY"));
    }

    void badArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{"--fast"};
        QTest::newRow("bad baud") << QStringList{"--baud", "0"};
        QTest::newRow("missing state file") << QStringList{"--state", "/nonexistent/state.txt"};
        QTest::newRow("link in missing folder") << QStringList{"--link", "/nonexistent/dir/tty"};
    }

    void badArguments() {
        QFETCH(QStringList, arguments);
        QProcess process;
        process.start(Program, arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY(process.exitCode() != 0);
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QVERIFY(process.readAllStandardError().startsWith("korvane-sim: "));
    }
};

QTEST_GUILESS_MAIN(TestSimProgram)
#include "test_sim_program.moc"
