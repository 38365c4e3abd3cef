// SPDX-License-Identifier: MIT
#include "PtyDevice.h"
#include "link/CommandTransport.h"
#include "link/MonitorMessage.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QtTest>

#include <functional>
#include <memory>

using namespace korvane;

namespace {

constexpr int Patience = 10000; // ms; generous for a loaded machine under sanitizers

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

const std::uint8_t* Data(const QByteArray& bytes) {
    return reinterpret_cast<const std::uint8_t*>(bytes.constData());
}

QByteArray Copy(const std::uint8_t* bytes, int count) {
    return QByteArray(reinterpret_cast<const char*>(bytes), count);
}

// Plays the device on the master side from the event loop, so it answers while a
// transaction waits. Each complete frame of frameLength bytes goes to onFrame.
class FakeDevice {
public:
    explicit FakeDevice(PtyDevice& pty) : m_pty(pty) {}

    // The port must hold the slave open by now: an unused master reads as hung up.
    void Listen() {
        m_notifier = std::make_unique<QSocketNotifier>(m_pty.MasterFd(), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { Readable(); });
    }
    // The device goes away in the middle of things.
    void Vanish() {
        m_notifier->setEnabled(false);
        m_pty.CloseMaster();
    }

    int frameLength = 0;
    QList<QByteArray> frames;
    std::function<void(const QByteArray&)> onFrame;

private:
    void Readable() {
        if (!m_pty.ReadAvailable(m_pending)) {
            m_notifier->setEnabled(false);
            return;
        }
        while (frameLength > 0 && m_pending.size() >= frameLength) {
            const QByteArray frame = m_pending.left(frameLength);
            m_pending.remove(0, frameLength);
            frames.append(frame);
            if (onFrame)
                onFrame(frame);
        }
    }

    PtyDevice& m_pty;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_pending;
};

struct Message {
    int count;
    QByteArray block;
    bool operator==(const Message&) const = default;
};

class MonitorRecorder : public QObject {
public:
    QList<Message> messages;
    std::function<void(QEvent*)> onAny; // as an event filter

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (onAny)
            onAny(e);
        return false;
    }
    bool event(QEvent* e) override {
        if (e->type() != MonitorMessage::EventType)
            return QObject::event(e);
        const auto* m = static_cast<MonitorMessage*>(e);
        messages.append({m->count(), m->block()});
        return true;
    }
};

class BusyCounter : public BusyCursor {
public:
    void busy() override {
        ++busyCalls;
        ++depth;
    }
    void restore() override {
        ++restored;
        --depth;
    }
    int busyCalls = 0;
    int restored = 0;
    int depth = 0;
};

// A transport on an open pseudo-terminal with a device, a monitor and a busy cursor.
struct Rig {
    PtyDevice pty;
    FakeDevice device{pty};
    MonitorRecorder monitor;
    BusyCounter cursor;
    CommandTransport transport;

    Rig() {
        transport.comm().setCommName(pty.SlavePath());
        transport.comm().openPort();
        transport.setMonitor(&monitor);
        transport.setBusyCursor(&cursor);
        device.Listen();
    }
    // The device answers every frame of frame.size() bytes with answer.
    void AnswerWith(const QByteArray& frame, const QByteArray& answer) {
        device.frameLength = static_cast<int>(frame.size());
        device.onFrame = [this, answer](const QByteArray&) {
            QVERIFY(pty.Write(answer));
        };
    }
    const std::uint8_t* transact(const QByteArray& frame, int& length) {
        length = static_cast<int>(frame.size());
        return transport.transact(Data(frame), length);
    }
    QString name() const { return transport.comm().commName(); }
};

const QByteArray ReadRequest = Bytes({0x7E, 0x10, 0x7F});
const QByteArray Answer = Bytes({0x7E, 0x10, 1, 2, 3, 4, 5, 6, 0x7F});

} // namespace

class TestComm32 : public QObject {
    Q_OBJECT
private slots:
    void portDescription_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<uint>("rate");
        QTest::addColumn<DataBits>("byteSize");
        QTest::addColumn<ParityMode>("parity");
        QTest::addColumn<StopBitsMode>("stopBits");
        QTest::addColumn<QString>("text");
        QTest::newRow("COM1 8-N-1") << "COM1" << 9600u << DataBits::_8 << ParityMode::None
                                    << StopBitsMode::_1 << "COM1 9600-8-N-1";
        QTest::newRow("COM2 7-E-2") << "COM2" << 19200u << DataBits::_7 << ParityMode::Even
                                    << StopBitsMode::_2 << "COM2 19200-7-E-2";
        QTest::newRow("odd, 1.5 stop bits") << "COM3" << 4800u << DataBits::_5 << ParityMode::Odd
                                            << StopBitsMode::_1_5 << "COM3 4800-5-O-1.5";
        QTest::newRow("mark: no letter") << "COM1" << 9600u << DataBits::_8 << ParityMode::Mark
                                         << StopBitsMode::_1 << "COM1 9600-8-1";
        QTest::newRow("space: no letter") << "COM1" << 9600u << DataBits::_6 << ParityMode::Space
                                          << StopBitsMode::_2 << "COM1 9600-6-2";
        QTest::newRow("name with a percent sign")
            << "%1" << 57600u << DataBits::_8 << ParityMode::None << StopBitsMode::_1
            << "%1 57600-8-N-1";
    }
    void portDescription() {
        QFETCH(QString, name);
        QFETCH(uint, rate);
        QFETCH(DataBits, byteSize);
        QFETCH(ParityMode, parity);
        QFETCH(StopBitsMode, stopBits);
        QFETCH(QString, text);
        CommandTransport transport;
        SerialPort& port = transport.comm();
        port.setCommName(name);
        port.setBaudRate(rate);
        port.setByteSize(byteSize);
        port.setParity(parity);
        port.setStopBits(stopBits);
        QCOMPARE(transport.portDescription(), text);
    }

    // Frames are binary (XON and XOFF bytes must pass) and a response ends at a
    // 100 ms gap.
    void transportSetsUpItsPort() {
        CommandTransport transport;
        const SerialPort& port = transport.comm();
        QVERIFY(!port.isOpen());
        QVERIFY(!port.inputXonXoff() && !port.outputXonXoff());
        QCOMPARE(port.readIntervalTimeout(), 100u);
        QCOMPARE(transport.response(), nullptr);
    }

    void quickAnswer() {
        Rig rig;
        rig.AnswerWith(ReadRequest, Answer);
        int waitingDepth = -1;
        rig.device.onFrame = [&](const QByteArray&) {
            waitingDepth = rig.cursor.depth; // the device answers while the caller waits
            QVERIFY(rig.pty.Write(Answer));
        };
        int length = 0;
        const std::uint8_t* response = rig.transact(ReadRequest, length);
        QVERIFY(response != nullptr);
        QCOMPARE(length, Answer.size());
        QCOMPARE(Copy(response, length), Answer);
        QCOMPARE(response[length], std::uint8_t{0});
        QCOMPARE(rig.device.frames, QList<QByteArray>{ReadRequest});
        QCOMPARE(waitingDepth, 1);
        QCOMPARE(rig.cursor.busyCalls, 1);
        QCOMPARE(rig.cursor.restored, 1);

        const auto copy = rig.transport.transact(std::span(Data(ReadRequest), 3));
        QVERIFY(copy.has_value());
        QCOMPARE(Copy(copy->data(), static_cast<int>(copy->size())), Answer);
        QCOMPARE(rig.device.frames.size(), 2);
        QCOMPARE(rig.cursor.restored, 2);
        QCOMPARE(rig.cursor.depth, 0);
    }

    void firstBlockIsTheResponse() {
        Rig rig;
        rig.AnswerWith(ReadRequest, Answer.left(5));
        int length = 0;
        QVERIFY(rig.transact(ReadRequest, length) != nullptr);
        QCOMPARE(length, 5);
        // The rest of the answer comes late: it is stored, but that transaction is over.
        QVERIFY(rig.pty.Write(Answer.mid(5)));
        QTRY_COMPARE_WITH_TIMEOUT(rig.transport.responseLength(), 4, Patience);
        QCOMPARE(Copy(rig.transport.response(), 4), Answer.mid(5));
    }

    void unsolicitedBlockDoesNotCount() {
        Rig rig;
        QVERIFY(rig.pty.Write("junk"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.transport.responseLength(), 4, Patience);
        rig.AnswerWith(ReadRequest, Answer);
        int length = 0;
        const std::uint8_t* response = rig.transact(ReadRequest, length);
        QVERIFY(response != nullptr);
        QCOMPARE(Copy(response, length), Answer);
    }

    void debugMonitor_data() {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("commandText");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("responseText");
        QTest::newRow("NUL inside both")
            << Bytes({0x7E, 0x10, 0x00, 0x33, 0x7F}) << 5 << Bytes({0x7E, 0x10})
            << Bytes({0x7E, 'R', 0, 'S', 0x7F}) << Bytes({0x7E, 'R'});
        // Bytes after the frame in the caller's buffer hold no NUL: the line must end
        // with the frame all the same.
        QTest::newRow("no NUL in the frame")
            << Bytes({0x7E, 'A', 'B', 0x7F, 'Z', 'Z', 'Z', 'Z', 'Z', 'Z'}) << 4
            << Bytes({0x7E, 'A', 'B', 0x7F}) << Bytes({0x7E, 'O', 'K', 0x7F})
            << Bytes({0x7E, 'O', 'K', 0x7F});
    }
    void debugMonitor() {
        QFETCH(QByteArray, buffer);
        QFETCH(int, length);
        QFETCH(QByteArray, commandText);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, responseText);
        Rig rig;
        rig.transport.setDebug(true);
        rig.AnswerWith(buffer.left(length), answer);
        int inOut = length;
        QVERIFY(rig.transport.transact(Data(buffer), inOut) != nullptr);
        QCOMPARE(inOut, answer.size());
        QCoreApplication::processEvents();
        const QByteArray name = rig.name().toUtf8();
        const QList<Message> expected = {
            {0, name + " Command: " + commandText},
            {length, buffer.left(length)},
            {0, name + " Response: " + responseText},
            {static_cast<int>(answer.size()), answer},
        };
        QCOMPARE(rig.monitor.messages, expected);
    }

    void noMonitorMessagesWithoutDebug() {
        Rig rig;
        rig.AnswerWith(ReadRequest, Answer);
        int length = 0;
        QVERIFY(rig.transact(ReadRequest, length) != nullptr);
        QCoreApplication::processEvents();
        QVERIFY(rig.monitor.messages.isEmpty());

        // Debug on, but the monitor is gone: nothing is posted anywhere.
        rig.transport.setDebug(true);
        {
            MonitorRecorder shortLived;
            rig.transport.setMonitor(&shortLived);
        }
        int posted = 0;
        MonitorRecorder everything; // sees every event of this thread first
        QCoreApplication::instance()->installEventFilter(&everything);
        everything.onAny = [&](QEvent* e) {
            posted += e->type() == MonitorMessage::EventType;
        };
        QVERIFY(rig.transact(ReadRequest, length) != nullptr);
        QCoreApplication::processEvents();
        QCOMPARE(length, Answer.size());
        QCOMPARE(posted, 0);
    }

    void sendFrameOnClosedPort() {
        CommandTransport transport;
        MonitorRecorder monitor;
        transport.setMonitor(&monitor);
        transport.setDebug(true);
        QVERIFY(!transport.sendFrame(Data(ReadRequest), 3));
        QVERIFY(!transport.sendFrame(nullptr, 3));
        QCoreApplication::processEvents();
        const QByteArray name = transport.comm().commName().toUtf8();
        const QList<Message> expected = {
            {0, name + " Command: " + ReadRequest},
            {3, ReadRequest},
            {0, name + " Command: "},
        };
        QCOMPARE(monitor.messages, expected);
    }

    // The one test that waits out the product's full time limit.
    void noAnswerKeepsEarlierLength() {
        Rig rig;
        rig.transport.setDebug(true);
        rig.AnswerWith(ReadRequest, Answer);
        int length = 0;
        QVERIFY(rig.transact(ReadRequest, length) != nullptr);
        QCoreApplication::processEvents();
        QCOMPARE(rig.monitor.messages.size(), 4);

        rig.device.onFrame = nullptr; // silent from now on
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(rig.transport.timeLimitMs(), 5010);
        QCOMPARE(rig.transact(ReadRequest, length), nullptr);
        QVERIFY2(clock.elapsed() >= 5010, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(length, Answer.size());
        QCOMPARE(rig.device.frames.size(), 2);
        QCoreApplication::processEvents();
        QCOMPARE(rig.monitor.messages.size(), 6);
        QCOMPARE(rig.monitor.messages[5], (Message{3, ReadRequest}));
        QCOMPARE(rig.cursor.busyCalls, 2);
        QCOMPARE(rig.cursor.restored, 2);
    }

    // The wait ends at the hang-up, not at the time limit; the port is let go, and
    // every transaction says it was lost until it is opened again.
    void deviceVanishesDuringTransaction() {
        Rig rig;
        rig.transport.setTimeLimitMs(6 * Patience);
        rig.device.frameLength = static_cast<int>(ReadRequest.size());
        rig.device.onFrame = [&rig](const QByteArray&) {
            rig.device.Vanish();
        };
        const QString name = rig.name();
        for (int attempt = 0; attempt < 2; ++attempt) {
            QElapsedTimer clock;
            clock.start();
            int length = 0;
            try {
                rig.transact(ReadRequest, length);
                QFAIL("the transaction on a vanished device ended without an error");
            } catch (const KorvaneError& e) {
                QCOMPARE(e.message(), PortLostText);
                QCOMPARE(e.kind(), KorvaneError::Kind::Port);
                QVERIFY2(e.reason().startsWith(QStringLiteral("端口 %1 在使用中断开了").arg(name)),
                         qPrintable(e.reason()));
                QVERIFY(!e.hint().isEmpty());
            }
            QCOMPARE_LT(clock.elapsed(), 3 * Patience);
            QVERIFY(!rig.transport.comm().isOpen());
        }
        QCOMPARE(rig.cursor.restored, 1); // the second one did not wait at all
    }
};

QTEST_GUILESS_MAIN(TestComm32)
#include "test_command_transport.moc"
