// SPDX-License-Identifier: MIT
// The network port through a real ser2net in front of the simulator's pty: exchanges
// over rfc2217:// and socket://, the line the server sets, and every way an open or a
// transaction fails. Nothing leaves 127.0.0.1.
#include "link/CommandTransport.h"
#include "link/FrameCodec.h"
#include "sim/SimulatorHost.h"
#include "tests/support/Ser2NetServer.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace korvane;
using namespace korvane::test;
using Mode = Ser2NetServer::Mode;

Q_DECLARE_METATYPE(Ser2NetServer::Mode)

namespace {

// Far above any answer on a loaded machine, far below the product's 5 s.
constexpr int TimeLimitMs = 1500;
constexpr std::uint8_t ReadSerialNumber = 0x18;

// The bit rate and stop bits of the pty's line, as ser2net left them (a pty keeps no
// parity: Linux clears it).
struct PtyLine {
    speed_t speed = 0;
    bool twoStopBits = false;
};

PtyLine lineOf(const QString& path) {
    PtyLine line;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return line;
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        line.speed = ::cfgetospeed(&t);
        line.twoStopBits = (t.c_cflag & CSTOPB) != 0;
    }
    ::close(fd);
    return line;
}

struct Failure {
    QString message;
    QString reason;
    bool port = false;
};

Failure openFailure(CommandTransport& transport) {
    try {
        transport.openPort();
    } catch (const KorvaneError& e) {
        return {e.message(), e.reason(), e.kind() == KorvaneError::Kind::Port};
    }
    return {};
}

} // namespace

class TestNetworkPort : public QObject {
    Q_OBJECT

    QTemporaryDir m_runtime;

private slots:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path())); }

    // A read answer with 0xFF bytes in it, whole and paused in the middle (two TCP
    // segments, less than the gap apart): one block, byte for byte what the device sent.
    void exchange_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<int>("splitMs");
        QTest::addRow("rfc2217") << Mode::Rfc2217 << 0;
        QTest::addRow("rfc2217, answer in pieces") << Mode::Rfc2217 << 40;
        QTest::addRow("socket") << Mode::Raw << 0;
        QTest::addRow("socket, answer in pieces") << Mode::Raw << 40;
    }
    void exchange() {
        QFETCH(Mode, mode);
        QFETCH(int, splitMs);
        sim::SimulatorHost sim;
        sim::SimulatorOptions options;
        options.state.serialNumber = 0xFFFF12FF;
        options.faults.splitMs = splitMs;
        QVERIFY(!sim.start(options).isEmpty());
        Ser2NetServer server;
        QVERIFY2(server.start({sim.slavePath()}, mode), qPrintable(server.errorString()));
        CommandTransport transport;
        transport.setTimeLimitMs(TimeLimitMs);
        transport.comm().setCommName(server.portName(0));
        transport.openPort();
        QVERIFY(transport.isOpen());
        QCOMPARE(transport.portDescription(), server.portName(0) + QStringLiteral(" 9600-8-N-1"));
        for (int round = 0; round < 2; ++round) {
            const auto answer = transport.transact(plainFrame(ReadSerialNumber, {}));
            QVERIFY(answer);
            QTRY_COMPARE(sim.framesSent().size(), round + 1);
            QCOMPARE(*answer, sim.framesSent().last());
            QVERIFY(std::count(answer->begin(), answer->end(), 0xFF) >= 3);
        }
        QCOMPARE(sim.framesReceived().size(), 2);
        QCOMPARE(sim.framesReceived().first(), plainFrame(ReadSerialNumber, {}));
    }

    // rfc2217:// sets the device's line on every open; socket:// leaves the server's.
    void lineSettings_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<int>("expectedSpeed");
        QTest::addRow("rfc2217") << Mode::Rfc2217 << int(B19200);
        QTest::addRow("socket") << Mode::Raw << int(B9600);
    }
    void lineSettings() {
        QFETCH(Mode, mode);
        QFETCH(int, expectedSpeed);
        sim::SimulatorHost sim;
        QVERIFY(!sim.start().isEmpty());
        Ser2NetServer server;
        QVERIFY2(server.start({sim.slavePath()}, mode), qPrintable(server.errorString()));
        CommandTransport transport;
        transport.setTimeLimitMs(TimeLimitMs);
        transport.comm().setCommName(server.portName(0));
        transport.comm().setBaudRate(19200);
        transport.comm().setParity(ParityMode::Even);
        transport.comm().setStopBits(StopBitsMode::_2);
        transport.openPort();
        const PtyLine line = lineOf(sim.slavePath());
        QCOMPARE(int(line.speed), expectedSpeed);
        QCOMPARE(line.twoStopBits, mode == Mode::Rfc2217);
        // Changed settings are sent again on the next open.
        transport.closePort();
        transport.comm().setBaudRate(4800);
        transport.openPort();
        QCOMPARE(int(lineOf(sim.slavePath()).speed),
                 mode == Mode::Rfc2217 ? int(B4800) : int(B9600));
    }

    // Every open that fails says why, within the time limit, and holds nothing.
    void openFailures_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("reason");
        QTest::addRow("refused") << "refused"
                                 << "拒绝了连接";
        QTest::addRow("telnet without the COM port option") << "telnet"
                                                            << "不是 RFC 2217 端口";
        QTest::addRow("raw port named rfc2217://") << "raw-as-rfc2217"
                                                   << "不是 RFC 2217 端口";
        QTest::addRow("server that never answers the option") << "mute"
                                                              << "不是 RFC 2217 端口";
        QTest::addRow("host that never answers") << "no-accept"
                                                 << "毫秒内没有应答";
        QTest::addRow("rfc2217 busy") << "busy-rfc2217"
                                      << "正被另一个客户端占用";
        QTest::addRow("socket busy") << "busy-socket"
                                     << "正被另一个客户端占用";
        QTest::addRow("malformed name") << "malformed"
                                        << "缺少 TCP 端口号";
    }
    void openFailures() {
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        sim::SimulatorHost sim;
        QVERIFY(!sim.start().isEmpty());
        Ser2NetServer server;
        QTcpServer listener;
        std::vector<std::unique_ptr<QTcpSocket>> fillers;
        CommandTransport first;
        QString name;
        if (setup == "refused") {
            name = QStringLiteral("rfc2217://127.0.0.1:%1").arg(Ser2NetServer::freePorts(1).at(0));
        } else if (setup == "telnet" || setup == "raw-as-rfc2217") {
            QVERIFY(
                server.start({sim.slavePath()}, setup == "telnet" ? Mode::TelnetOnly : Mode::Raw));
            name = QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.port(0));
        } else if (setup == "mute" || setup == "no-accept") {
            // Accepts nothing: the kernel completes connections into the backlog, and
            // with the backlog full it answers no more.
            listener.setListenBacklogSize(0);
            QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
            listener.pauseAccepting();
            name = QStringLiteral("rfc2217://127.0.0.1:%1").arg(listener.serverPort());
            if (setup == "no-accept") {
                for (int i = 0; i < 4; ++i) {
                    fillers.push_back(std::make_unique<QTcpSocket>());
                    fillers.back()->connectToHost(QHostAddress::LocalHost, listener.serverPort());
                }
                QTest::qWait(200); // the fillers take the backlog; failing that, the test fails
            }
        } else if (setup.startsWith("busy")) {
            const Mode mode = setup == "busy-rfc2217" ? Mode::Rfc2217 : Mode::Raw;
            QVERIFY(server.start({sim.slavePath()}, mode));
            name = server.portName(0);
            first.comm().setCommName(name);
            first.openPort();
        } else {
            name = QStringLiteral("socket://127.0.0.1");
        }
        CommandTransport transport;
        transport.setTimeLimitMs(TimeLimitMs);
        transport.comm().setCommName(name);
        QElapsedTimer elapsed;
        elapsed.start();
        const Failure failure = openFailure(transport);
        QVERIFY2(elapsed.elapsed() < TimeLimitMs + 1000,
                 qPrintable(QString::number(elapsed.elapsed())));
        QCOMPARE(failure.message, QStringLiteral("Error opening serial port"));
        QVERIFY(failure.port);
        QVERIFY2(failure.reason.contains(reason), qPrintable(failure.reason));
        QVERIFY(!transport.isOpen());
        QVERIFY(sim.framesReceived().isEmpty());
        if (setup.startsWith("busy")) {
            // The first client still works: the refusal text was never its data.
            QVERIFY(first.transact(plainFrame(ReadSerialNumber, {})));
        }
    }

    // A connection that ends while a transaction waits ends the transaction at once.
    void lostMidRead_data() {
        QTest::addColumn<Mode>("mode");
        QTest::addRow("rfc2217") << Mode::Rfc2217;
        QTest::addRow("socket") << Mode::Raw;
    }
    void lostMidRead() {
        QFETCH(Mode, mode);
        sim::SimulatorHost sim;
        sim::SimulatorOptions options;
        options.faults = sim::SimulatorFaults::ignoring({ReadSerialNumber});
        QVERIFY(!sim.start(options).isEmpty());
        Ser2NetServer server;
        QVERIFY2(server.start({sim.slavePath()}, mode), qPrintable(server.errorString()));
        CommandTransport transport;
        transport.setTimeLimitMs(20'000);
        transport.comm().setCommName(server.portName(0));
        transport.openPort();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!sim.framesReceived().isEmpty()) {
                poll.stop();
                server.stop();
            }
        });
        poll.start(5);
        QElapsedTimer elapsed;
        elapsed.start();
        QString message;
        try {
            transport.transact(plainFrame(ReadSerialNumber, {}));
        } catch (const KorvaneError& e) {
            message = e.message();
            QVERIFY2(e.reason().contains(QStringLiteral("在使用中断开了")), qPrintable(e.reason()));
        }
        QCOMPARE(message, PortLostText);
        QVERIFY2(elapsed.elapsed() < 10'000, qPrintable(QString::number(elapsed.elapsed())));
        QVERIFY(!transport.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestNetworkPort)
#include "test_network_port.moc"
