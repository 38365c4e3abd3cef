// SPDX-License-Identifier: MIT
#include "PtyDevice.h"
#include "link/SerialPort.h"
#include "link/SerialPortLinuxBaud.h"
#include "link/SerialPortTermios.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryFile>
#include <QThread>
#include <QtTest>

#include <cstring>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace korvane;

namespace {

constexpr int Patience = 10000; // ms; generous for a loaded machine under sanitizers

// Everything the port's handlers report, in the order they ran.
struct Recorder {
    QList<QByteArray> blocks;
    QList<std::uint32_t> errors;
    QList<std::uint32_t> modems;
    int hangups = 0;
    int sendEmpty = 0;

    void Attach(SerialPort& port) {
        port.dataReceived = [this](const std::uint8_t* buffer, std::uint16_t count) {
            QCOMPARE(buffer[count], std::uint8_t{0});
            blocks.append(QByteArray(reinterpret_cast<const char*>(buffer), count));
        };
        port.lineErrorReceived = [this](std::uint32_t flags) {
            errors.append(flags);
        };
        port.modemStateChanged = [this](std::uint32_t value) {
            modems.append(value);
        };
        port.hangupRequested = [this]() {
            ++hangups;
        };
        port.sendBufferEmptied = [this]() {
            ++sendEmpty;
        };
    }
    qsizetype ReceivedBytes() const {
        qsizetype n = 0;
        for (const QByteArray& b : blocks)
            n += b.size();
        return n;
    }
    // A pseudo-terminal has no line errors and no modem lines: any report is spurious.
    bool quiet() const { return errors.isEmpty() && modems.isEmpty(); }
    QList<int> Sizes() const {
        QList<int> sizes;
        for (const QByteArray& b : blocks)
            sizes.append(static_cast<int>(b.size()));
        return sizes;
    }
};

// Sees every event of this thread before its receiver; filter returns true to drop it.
class EventHold : public QObject {
public:
    explicit EventHold(std::function<bool(QEvent*)> filter) : m_filter(std::move(filter)) {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override { return m_filter(e); }

private:
    std::function<bool(QEvent*)> m_filter;
};

// A port opened on a fresh pseudo-terminal, its handlers recorded; configure runs
// before the open.
struct OpenRig {
    PtyDevice device;
    SerialPort port;
    Recorder rec;
    explicit OpenRig(const std::function<void(SerialPort&)>& configure = {}) {
        rec.Attach(port);
        port.setCommName(device.SlavePath());
        if (configure)
            configure(port);
        port.openPort();
    }
};

QByteArray Pattern(int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(static_cast<char>('A' + i % 26));
    return bytes;
}

bool Send(SerialPort& port, const QByteArray& bytes) {
    return port.writeData(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                          static_cast<std::uint16_t>(bytes.size()));
}

QString OpenError(SerialPort& port) {
    try {
        port.openPort();
    } catch (const KorvaneError& e) {
        return QString::fromLatin1(e.what());
    }
    return {};
}

// A failed open's message, reason and hint; empty when the port opened.
QStringList FailureOf(SerialPort& port) {
    try {
        port.openPort();
    } catch (const KorvaneError& e) {
        return {QString::fromUtf8(e.what()), e.reason(), e.hint()};
    }
    return {};
}

// The same for an open of path by a child process that may not open what the test
// process can: as root, whom file modes do not stop, the child runs as nobody.
QStringList FailureOfUnprivileged(const QString& path) {
    constexpr uid_t Nobody = 65534;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {QStringLiteral("no pipe")};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setresgid(Nobody, Nobody, Nobody) != 0 ||
             ::setresuid(Nobody, Nobody, Nobody) != 0))
            ::_exit(2);
        SerialPort port;
        port.setCommName(path);
        const QByteArray text = FailureOf(port).join(u'\n').toUtf8();
        for (qsizetype at = 0; at < text.size();) {
            const ssize_t n = ::write(fds[1], text.constData() + at, std::size_t(text.size() - at));
            if (n <= 0)
                ::_exit(3);
            at += n;
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray text;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            text.append(buffer, n);
        else if (errno != EINTR)
            break;
    }
    ::close(fds[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return {QStringLiteral("the child failed: %1").arg(status)};
    return QString::fromUtf8(text).split(u'\n');
}

// This process as a busy port names its holders.
QString ThisProcess() {
    QFile comm(QStringLiteral("/proc/self/comm"));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QStringLiteral("%1（进程 %2）")
        .arg(QString::fromLocal8Bit(comm.readAll().trimmed()))
        .arg(QCoreApplication::applicationPid());
}

// One line setting and how a termios must show it. A pseudo-terminal forces 8 data
// bits and no parity enable bit, so only the other settings can be seen on one.
struct LineCase {
    const char* name;
    bool visibleOnPty;
    std::function<void(SerialPort&)> apply;
    std::function<bool(const termios&)> holds;
};

LineCase Case(const char* name, bool visibleOnPty, std::function<void(SerialPort&)> apply,
              std::function<bool(const termios&)> holds) {
    return {name, visibleOnPty, std::move(apply), std::move(holds)};
}

const std::vector<LineCase>& LineCases() {
    static const std::vector<LineCase> cases = {
        Case(
            "5 data bits", false, [](SerialPort& p) { p.setByteSize(DataBits::_5); },
            [](const termios& t) { return (t.c_cflag & CSIZE) == CS5; }),
        Case(
            "6 data bits", false, [](SerialPort& p) { p.setByteSize(DataBits::_6); },
            [](const termios& t) { return (t.c_cflag & CSIZE) == CS6; }),
        Case(
            "7 data bits", false, [](SerialPort& p) { p.setByteSize(DataBits::_7); },
            [](const termios& t) { return (t.c_cflag & CSIZE) == CS7; }),
        Case(
            "odd parity", false, [](SerialPort& p) { p.setParity(ParityMode::Odd); },
            [](const termios& t) {
                return (t.c_cflag & (PARENB | PARODD | CMSPAR)) == (PARENB | PARODD);
            }),
        Case(
            "even parity", false, [](SerialPort& p) { p.setParity(ParityMode::Even); },
            [](const termios& t) { return (t.c_cflag & (PARENB | PARODD | CMSPAR)) == PARENB; }),
        Case(
            "mark parity", false, [](SerialPort& p) { p.setParity(ParityMode::Mark); },
            [](const termios& t) {
                return (t.c_cflag & (PARENB | PARODD | CMSPAR)) == (PARENB | PARODD | CMSPAR);
            }),
        Case(
            "space parity", false, [](SerialPort& p) { p.setParity(ParityMode::Space); },
            [](const termios& t) {
                return (t.c_cflag & (PARENB | PARODD | CMSPAR)) == (PARENB | CMSPAR);
            }),
        Case(
            "2 stop bits", true, [](SerialPort& p) { p.setStopBits(StopBitsMode::_2); },
            [](const termios& t) { return (t.c_cflag & CSTOPB) != 0; }),
        Case(
            "1.5 stop bits send 2", true, [](SerialPort& p) { p.setStopBits(StopBitsMode::_1_5); },
            [](const termios& t) { return (t.c_cflag & CSTOPB) != 0; }),
        Case(
            "CTS output flow", true, [](SerialPort& p) { p.setOutputCtsFlow(true); },
            [](const termios& t) { return (t.c_cflag & CRTSCTS) != 0; }),
        Case(
            "RTS handshake", true, [](SerialPort& p) { p.setRtsControl(RtsMode::RtsHandshake); },
            [](const termios& t) { return (t.c_cflag & CRTSCTS) != 0; }),
        Case(
            "XON/XOFF output off", true, [](SerialPort& p) { p.setOutputXonXoff(false); },
            [](const termios& t) { return (t.c_iflag & (IXON | IXOFF)) == IXOFF; }),
        Case(
            "XON/XOFF input off", true, [](SerialPort& p) { p.setInputXonXoff(false); },
            [](const termios& t) { return (t.c_iflag & (IXON | IXOFF)) == IXON; }),
        Case(
            "XON and XOFF characters", true,
            [](SerialPort& p) {
                p.setXonChar(0x01);
                p.setXoffChar(0x02);
            },
            [](const termios& t) { return t.c_cc[VSTART] == 0x01 && t.c_cc[VSTOP] == 0x02; }),
        Case(
            "parity check drops bad bytes", true, [](SerialPort& p) { p.setParityCheck(true); },
            [](const termios& t) {
                return (t.c_iflag & (INPCK | IGNPAR | PARMRK)) == (INPCK | IGNPAR);
            }),
        Case(
            "parity check replaces bad bytes", true,
            [](SerialPort& p) {
                p.setReplaceWhenParityError(true);
                p.setParityCheck(true);
            },
            [](const termios& t) { return (t.c_iflag & (INPCK | IGNPAR | PARMRK)) == INPCK; }),
        Case(
            "19200 bit/s", true, [](SerialPort& p) { p.setBaudRate(19200); },
            [](const termios& t) {
                return cfgetospeed(&t) == B19200 && cfgetispeed(&t) == B19200;
            }),
        Case(
            "115200 bit/s", true, [](SerialPort& p) { p.setBaudRate(115200); },
            [](const termios& t) { return cfgetospeed(&t) == B115200; })};
    return cases;
}

} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT
private slots:
    // Only the defaults the transport and the window do not set themselves.
    void defaults() {
        SerialPort port;
        QCOMPARE(port.dtrControl(), DtrMode::DtrEnable);
        QCOMPARE(port.rtsControl(), RtsMode::RtsEnable);
        QCOMPARE(port.readIntervalTimeout(), 100u);
        QCOMPARE(port.readTotalTimeoutConstant() + port.readTotalTimeoutMultiplier(), 0u);
        QVERIFY(!port.isOpen());
        port.closePort(); // closed: nothing happens
        QVERIFY(!port.isOpen());
    }

    void openFailures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing port") << "/dev/korvane-no-such-port"
                                      << "Error opening serial port";
        QTest::newRow("empty name") << ""
                                    << "Error opening serial port";
        QTest::newRow("directory") << "/tmp"
                                   << "Error opening serial port";
        QTest::newRow("not a terminal") << "/dev/null"
                                        << "File handle is not a comm handle ";
        QTest::newRow("regular file") << "<file>"
                                      << "File handle is not a comm handle ";
    }
    void openFailures() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QTemporaryFile file;
        if (name == QLatin1String("<file>")) {
            QVERIFY(file.open());
            name = file.fileName();
        }
        PtyDevice device;
        QVERIFY(device.IsValid());
        const int threads = ThreadCount();
        const int fds = OpenFdCount();

        SerialPort port;
        port.setCommName(name);
        QCOMPARE(OpenError(port), message);
        QVERIFY(!port.isOpen());
        QCOMPARE(OpenFdCount(), fds);
        QCOMPARE(ThreadCount(), threads);
        QVERIFY(!Send(port, "x"));

        port.setCommName(device.SlavePath());
        QCOMPARE(OpenError(port), QString());
        QVERIFY(port.isOpen());
    }

    // The reason and the hint behind the fixed message. "{PTY}" stands for the
    // pseudo-terminal's path, "{SELF}" for this process.
    void openFailureReasons_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("inReason");
        QTest::addColumn<QString>("inHint");
        QTest::newRow("missing path") << "missing"
                                      << "找不到端口 /dev/korvane-no-such-port（"
                                      << "请插上串口适配器";
        QTest::newRow("no permission") << "mode 0"
                                       << "没有打开端口 {PTY} 的权限（"
                                       << "sudo usermod -aG dialout $USER";
        QTest::newRow("held by another open") << "held"
                                              << "端口 {PTY} 正被另一个程序占用：{SELF}"
                                              << "请关闭占用它的程序";
    }
    void openFailureReasons() {
        QFETCH(QString, how);
        QFETCH(QString, inReason);
        QFETCH(QString, inHint);
        PtyDevice device;
        QVERIFY(device.IsValid());
        SerialPort holder;
        SerialPort port;
        QStringList failure;
        if (how == QLatin1String("missing")) {
            port.setCommName(QStringLiteral("/dev/korvane-no-such-port"));
            failure = FailureOf(port);
        } else if (how == QLatin1String("mode 0")) {
            QVERIFY(::chmod(QFile::encodeName(device.SlavePath()).constData(), 0) == 0);
            failure = FailureOfUnprivileged(device.SlavePath());
        } else {
            holder.setCommName(device.SlavePath());
            holder.openPort();
            port.setCommName(device.SlavePath());
            failure = FailureOf(port);
        }
        inReason.replace(QStringLiteral("{PTY}"), device.SlavePath())
            .replace(QStringLiteral("{SELF}"), ThisProcess());
        QVERIFY2(failure.size() == 3, qPrintable(failure.join(u'|')));
        QCOMPARE(failure[0], QStringLiteral("Error opening serial port"));
        QVERIFY2(failure[1].contains(inReason), qPrintable(failure[1]));
        QVERIFY2(failure[2].contains(inHint), qPrintable(failure[2]));
    }

    void openTwiceKeepsPortUsable() {
        OpenRig r;
        auto& [device, port, rec] = r;
        QCOMPARE(OpenError(port), QStringLiteral("This serial port already opened"));
        QVERIFY(port.isOpen());

        QVERIFY(Send(port, "ping"));
        QCOMPARE(device.Read(4), QByteArray("ping"));
        QVERIFY(device.Write("pong"));
        QTRY_COMPARE_WITH_TIMEOUT(rec.blocks, QList<QByteArray>{"pong"}, Patience);
    }

    void secondPortRefused() {
        PtyDevice device;
        SerialPort first;
        SerialPort second;
        first.setCommName(device.SlavePath());
        second.setCommName(device.SlavePath());
        first.openPort();
        QCOMPARE(OpenError(second), QStringLiteral("Error opening serial port"));
        QVERIFY(!second.isOpen());
        QVERIFY(first.isOpen());

        first.closePort();
        QCOMPARE(OpenError(second), QString());
        QVERIFY(Send(second, "ok"));
        QCOMPARE(device.Read(2), QByteArray("ok"));
    }

    void closeRestoresAndReopens() {
        PtyDevice device;
        const termios before = device.SlaveTermios();
        QVERIFY(before.c_lflag & ICANON);

        SerialPort port;
        Recorder rec;
        rec.Attach(port);
        port.setCommName(device.SlavePath());
        port.openPort();
        const termios raw = device.SlaveTermios();
        QCOMPARE(raw.c_lflag & (ICANON | ECHO | ISIG), tcflag_t{0});
        QCOMPARE(raw.c_oflag & OPOST, tcflag_t{0});

        port.closePort();
        QVERIFY(!port.isOpen());
        QCOMPARE(device.SlaveTermios().c_lflag, before.c_lflag);
        port.closePort();

        port.openPort();
        QVERIFY(device.Write("again"));
        QTRY_COMPARE_WITH_TIMEOUT(rec.blocks, QList<QByteArray>{"again"}, Patience);
    }

    void receiveBlocks_data() {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("ignoreNul");
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<QByteArray>("received");
        const QByteArray big = Pattern(3000);
        QTest::newRow("30 bytes in one burst")
            << Pattern(30) << false << QList<int>{30} << Pattern(30);
        QTest::newRow("3000 bytes: a full block first")
            << big << false << QList<int>{2048, 952} << big;
        const QByteArray withNuls("a\0b\0\0c", 6);
        QTest::newRow("NULs kept") << withNuls << false << QList<int>{6} << withNuls;
        QTest::newRow("NULs discarded") << withNuls << true << QList<int>{3} << QByteArray("abc");
    }
    void receiveBlocks() {
        QFETCH(QByteArray, sent);
        QFETCH(bool, ignoreNul);
        QFETCH(QList<int>, sizes);
        QFETCH(QByteArray, received);
        OpenRig r([ignoreNul](SerialPort& p) { p.setIgnoreNullChar(ignoreNul); });
        auto& [device, port, rec] = r;
        QVERIFY(device.Write(sent));
        QTRY_COMPARE_WITH_TIMEOUT(rec.ReceivedBytes(), received.size(), Patience);
        QCOMPARE(rec.Sizes(), sizes);
        QCOMPARE(rec.blocks.join(), received);
        QVERIFY(rec.quiet());
    }

    void pauseEndsBlock() {
        OpenRig r;
        auto& [device, port, rec] = r;
        const QByteArray answer = Pattern(30);
        QVERIFY(device.Write(answer.left(10)));
        // The first block can only come once the 100 ms gap has passed.
        QTRY_COMPARE_WITH_TIMEOUT(rec.blocks.size(), 1, Patience);
        QVERIFY(device.Write(answer.mid(10)));
        QTRY_COMPARE_WITH_TIMEOUT(rec.blocks.size(), 2, Patience);
        QCOMPARE(rec.blocks, (QList<QByteArray>{answer.left(10), answer.mid(10)}));
    }

    void intervalChangeAppliesAtOnce() {
        OpenRig r;
        auto& [device, port, rec] = r;
        port.setReadIntervalTimeout(2000);
        QVERIFY(device.Write(Pattern(10)));
        QTest::qWait(300); // the gap under test: longer than 100 ms, shorter than 2000 ms
        QVERIFY(device.Write(Pattern(20)));
        QTRY_COMPARE_WITH_TIMEOUT(rec.ReceivedBytes(), 30, Patience);
        QCOMPARE(rec.Sizes(), QList<int>{30});
    }

    void totalLimitEndsRead() {
        OpenRig r([](SerialPort& p) {
            p.setReadIntervalTimeout(0); // no interval: only the total limit ends a read
            p.setReadTotalTimeoutConstant(300);
        });
        auto& [device, port, rec] = r;
        QVERIFY(device.Write("12345"));
        QTRY_COMPARE_WITH_TIMEOUT(rec.blocks, QList<QByteArray>{"12345"}, Patience);
    }

    void writeData() {
        PtyDevice device;
        SerialPort port;
        Recorder rec;
        rec.Attach(port);
        port.setCommName(device.SlavePath());
        const std::uint8_t bytes[] = {1, 2, 3};
        QVERIFY(!port.writeData(bytes, 3)); // closed

        port.openPort();
        // The transmit thread announces its empty queue once at start.
        QTRY_COMPARE_WITH_TIMEOUT(rec.sendEmpty, 1, Patience);
        QVERIFY(!port.writeData(bytes, 0));
        QVERIFY(!port.writeData(nullptr, 3));
        QVERIFY(port.writeData(bytes, 3));
        QCOMPARE(device.Read(3), QByteArray("\x01\x02\x03"));
        QTRY_COMPARE_WITH_TIMEOUT(rec.sendEmpty, 2, Patience);

        // More than the pseudo-terminal buffers: the thread waits for room.
        const QByteArray large = Pattern(65535);
        QVERIFY(Send(port, large));
        QCOMPARE(device.Read(static_cast<int>(large.size())), large);
        QTRY_COMPARE_WITH_TIMEOUT(rec.sendEmpty, 3, Patience);
        QCOMPARE(rec.hangups, 0);

        port.closePort();
        QVERIFY(!port.writeData(bytes, 3));
    }

    void termiosMapping_data() {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < LineCases().size(); ++i)
            QTest::newRow(LineCases()[i].name) << static_cast<int>(i);
    }
    void termiosMapping() {
        QFETCH(int, index);
        const LineCase& c = LineCases()[static_cast<std::size_t>(index)];
        SerialPort port;
        termios tio;
        std::memset(&tio, 0xFF, sizeof tio); // every old flag must be rebuilt
        QVERIFY(fillTermios(port, tio));
        QVERIFY(!c.holds(tio));
        // The defaults: raw 8-N-1 at 9600 with XON/XOFF both ways.
        QCOMPARE(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t{0});
        QCOMPARE(tio.c_oflag & OPOST, tcflag_t{0});
        QCOMPARE(tio.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(tio.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS),
                 tcflag_t(CS8));
        QCOMPARE(tio.c_iflag & (IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK | ISTRIP | IGNBRK),
                 tcflag_t(IXON | IXOFF | IGNBRK));
        QCOMPARE(tio.c_cc[VMIN], cc_t{0});
        QCOMPARE(tio.c_cc[VTIME], cc_t{0});
        QCOMPARE(tio.c_cc[VSTART], cc_t{17});
        QCOMPARE(tio.c_cc[VSTOP], cc_t{19});
        QCOMPARE(tio.c_cc[VEOF], cc_t{0xFF}); // other control characters are kept
        QCOMPARE(cfgetospeed(&tio), speed_t(B9600));

        c.apply(port);
        QVERIFY(fillTermios(port, tio));
        QVERIFY(c.holds(tio));
    }

    void customRateKeepsTermiosSpeed() {
        SerialPort port;
        port.setBaudRate(250000);
        termios tio{};
        cfsetospeed(&tio, B4800);
        QVERIFY(!fillTermios(port, tio));
        QCOMPARE(cfgetospeed(&tio), speed_t(B4800));
    }

    void settingsApplyAtOnce_data() {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < LineCases().size(); ++i)
            if (LineCases()[i].visibleOnPty)
                QTest::newRow(LineCases()[i].name) << static_cast<int>(i);
    }
    void settingsApplyAtOnce() {
        QFETCH(int, index);
        const LineCase& c = LineCases()[static_cast<std::size_t>(index)];
        OpenRig r;
        auto& [device, port, rec] = r;
        QVERIFY(!c.holds(device.SlaveTermios()));
        c.apply(port);
        QVERIFY(c.holds(device.SlaveTermios()));
    }

    void bitRateWithoutConstant() {
        OpenRig r;
        auto& [device, port, rec] = r;
        port.setBaudRate(250000);
        QCOMPARE(readBaudRate(device.MasterFd()), 250000u);
        port.setBaudRate(0); // ignored: a zero rate would hang the line up
        QCOMPARE(readBaudRate(device.MasterFd()), 250000u);
        port.setBaudRate(9600);
        const termios tio = device.SlaveTermios();
        QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
        QCOMPARE(readBaudRate(device.MasterFd()), 9600u);
    }

    void parityAtNextOpen_data() {
        QTest::addColumn<ParityMode>("parity");
        QTest::addColumn<uint>("flags");
        // PARENB itself is cleared by every pseudo-terminal; the other two bits show.
        QTest::newRow("Odd") << ParityMode::Odd << uint(PARODD);
        QTest::newRow("Mark") << ParityMode::Mark << uint(PARODD | CMSPAR);
        QTest::newRow("Space") << ParityMode::Space << uint(CMSPAR);
    }
    void parityAtNextOpen() {
        QFETCH(ParityMode, parity);
        QFETCH(uint, flags);
        const tcflag_t mask = PARENB | PARODD | CMSPAR;
        OpenRig r;
        auto& [device, port, rec] = r;
        port.setParity(parity);
        QCOMPARE(device.SlaveTermios().c_cflag & mask, tcflag_t{0});
        port.closePort();
        port.openPort();
        QCOMPARE(device.SlaveTermios().c_cflag & mask, tcflag_t(flags));
    }

    void commNameAtNextOpen() {
        PtyDevice first;
        PtyDevice second;
        SerialPort port;
        Recorder rec;
        rec.Attach(port);
        port.setCommName(first.SlavePath());
        port.openPort();
        port.setCommName(second.SlavePath());
        QVERIFY(first.Write("one"));
        QTRY_COMPARE_WITH_TIMEOUT(rec.blocks, QList<QByteArray>{"one"}, Patience);

        port.closePort();
        port.openPort();
        QVERIFY(second.Write("two"));
        QTRY_COMPARE_WITH_TIMEOUT(rec.blocks, (QList<QByteArray>{"one", "two"}), Patience);
        SerialPort other; // the first port is free again
        other.setCommName(first.SlavePath());
        QCOMPARE(OpenError(other), QString());
    }

    // Data and a hang-up are both queued when the port goes, by its owner or inside
    // the first handler: nothing more is delivered, and nothing touches the port after.
    void destroyWithNotificationsQueued_data() {
        QTest::addColumn<bool>("inHandler");
        QTest::newRow("by the owner") << false;
        QTest::newRow("inside the first handler") << true;
    }
    void destroyWithNotificationsQueued() {
        QFETCH(bool, inHandler);
        PtyDevice device;
        const int threads = ThreadCount();
        SerialPort* port = new SerialPort;
        port->setCommName(device.SlavePath());
        int blocks = 0;
        int hangups = 0;
        port->dataReceived = [&](const std::uint8_t*, std::uint16_t) {
            ++blocks;
            delete port;
            port = nullptr;
        };
        port->hangupRequested = [&]() {
            ++hangups;
        };
        int sendEmpty = 0;
        port->sendBufferEmptied = [&]() {
            ++sendEmpty;
        };
        port->openPort();
        QTRY_COMPARE_WITH_TIMEOUT(ThreadCount(), threads + 2, Patience);
        QTRY_COMPARE_WITH_TIMEOUT(sendEmpty, 1, Patience); // the transmit thread's first notice
        // As the block is about to be delivered, the device goes: the receive thread
        // posts the hang-up behind it and ends. The owner's case drops the block and
        // destroys the port from a call queued ahead of the hang-up.
        bool held = false;
        bool hangupQueued = false;
        EventHold hold([&](QEvent* e) {
            if (held || e->type() < QEvent::User)
                return false;
            held = true;
            if (!inHandler)
                QMetaObject::invokeMethod(
                    qApp,
                    [&] {
                        delete port;
                        port = nullptr;
                    },
                    Qt::QueuedConnection);
            device.CloseMaster();
            QDeadlineTimer deadline(Patience);
            while (ThreadCount() > threads + 1 && !deadline.hasExpired())
                QThread::msleep(1);
            hangupQueued = ThreadCount() == threads + 1;
            return !inHandler;
        });
        QVERIFY(device.Write("pending"));
        QTRY_VERIFY_WITH_TIMEOUT(port == nullptr, Patience);
        QVERIFY(hangupQueued);
        QTRY_COMPARE_WITH_TIMEOUT(ThreadCount(), threads, Patience);
        QCoreApplication::processEvents();
        QCOMPARE(blocks, inHandler ? 1 : 0);
        QCOMPARE(hangups, 0);
    }

    void hangup() {
        auto device = std::make_unique<PtyDevice>();
        const int threads = ThreadCount();
        SerialPort port;
        Recorder rec;
        rec.Attach(port);
        port.setCommName(device->SlavePath());
        port.openPort();
        QTRY_COMPARE_WITH_TIMEOUT(ThreadCount(), threads + 2, Patience);

        device->CloseMaster();
        QTRY_COMPARE_WITH_TIMEOUT(rec.hangups, 1, Patience);
        // Writing to the vanished device ends the transmit thread too, without a
        // second notice; after that the port refuses writes.
        QTRY_VERIFY_WITH_TIMEOUT(!Send(port, "z"), Patience);
        QTRY_COMPARE_WITH_TIMEOUT(ThreadCount(), threads, Patience);
        QCoreApplication::processEvents();
        QCOMPARE(rec.hangups, 1);
        QVERIFY(rec.blocks.isEmpty());
        QVERIFY(rec.quiet());
        QVERIFY(port.isOpen()); // until the owner closes it

        port.closePort();
        QVERIFY(!port.isOpen());
        QCOMPARE(OpenError(port), QStringLiteral("Error opening serial port"));
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "test_serial_port.moc"
