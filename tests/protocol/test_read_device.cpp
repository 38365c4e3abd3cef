// SPDX-License-Identifier: MIT
// Identification and the full device read, against the simulator over a pty.

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "protocol/Commands.h"
#include "protocol/PortTableCodec.h"
#include "tests/support/DeviceFixture.h"

#include <QtTest>

using namespace korvane;
using namespace korvane::test;

namespace {

const QString NoAnswer = QStringLiteral("请检查Korvane是否加电，连线是否连上，通讯端口是否设对？");
const QList<int> ReadCodes{0x08, 0x18, 0x28, 0x38, 0x48, 0x58};

} // namespace

class TestReadDevice : public QObject {
    Q_OBJECT
private slots:
    void readsEverything_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("label");
        QTest::newRow("KORVANE") << int(sim::Model::Korvane) << text::ModelSingle;
        QTest::newRow("KORVANEA/B") << int(sim::Model::KorvaneAB) << text::ModelAB;
    }

    void readsEverything() {
        QFETCH(int, model);
        QFETCH(QString, label);
        DeviceFixture f(ModelOptions(sim::Model(model)));
        sim::DeviceState state = f.sim.state();
        state.address = 0x017E05; // a 0x7E inside the answer travels escaped
        state.serialNumber = 12345678;
        f.sim.setState(state);

        QVERIFY(f.procedures->readDevice());

        // The probe, then the six reads in order.
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x28}) + ReadCodes);
        for (const ByteBuffer& frame : f.sim.framesReceived())
            QCOMPARE(frame.size(), std::size_t(3)); // plain requests, no address
        QCOMPARE(f.config.deviceModel, label);
        QCOMPARE(f.ui.model, label);
        QCOMPARE(f.config.info.address, 0x017E05u);
        QCOMPARE(f.ui.address, QStringLiteral("97797"));
        QCOMPARE(f.ui.addressHex, QStringLiteral("7E 08 05 7E 01 7F "));
        QCOMPARE(f.config.info.serialNumber, 12345678u);
        QCOMPARE(f.ui.serial, QStringLiteral("12345678"));
        QCOMPARE(f.ui.serialHex, QStringLiteral("7E 18 4E 61 BC 00 7F "));

        // The simulator's five start ports, every other row unassigned.
        QStringList rows;
        for (const PortEntry& e : f.config.ports) {
            QStringList fields;
            for (int col = 0; col < PortEntry::FieldCount; ++col)
                fields.append(e.field(col));
            if (e.isAssigned())
                rows.append(fields.join(u'|'));
            else
                QCOMPARE(fields.mid(1).join(QString()), QStringLiteral("-------"));
        }
        QCOMPARE(f.config.ports.size(), 24);
        const bool ab = label == text::ModelAB;
        const QStringList delays =
            ab ? QStringList{"000100", "000000", "00007C", "000200", "000000"}
               : QStringList(5, QString());
        QCOMPARE(rows, (QStringList{"1|5|POCSAG|1200|-|上升沿(正)|正|开|" + delays[0] + "|",
                                    "2|12|同步|9600|内部|上升沿(正)|正|开|" + delays[1] + "|",
                                    "3|7|POCSAG|512|-|上升沿(正)|正|开|" + delays[2] + "|",
                                    "4|127|同步|2400|内部|上升沿(正)|正|开|" + delays[3] + "|",
                                    "5|20|同步|1200|外部|下降沿(负)|负|关|" + delays[4] + "|"}));

        // Simulator start state: GPS on positive; trunk automatic, clock positive, data
        // negative... as stored: 55 AA 55 55 55 is automatic, positive, positive, high.
        QCOMPARE(f.config.gps, (GpsParams{1, 0}));
        QCOMPARE(f.config.trunk.delayEnabled, 1);
        QCOMPARE(f.config.trunk.delayCyclesA, 16);
        QCOMPARE(f.config.trunk.delayCyclesB, label == text::ModelAB ? 32 : 0);
        const QString delay =
            label == text::ModelAB ? QStringLiteral("16 32 ") : QStringLiteral("16 ");
        QCOMPARE(f.ui.summary,
                 QStringLiteral("GPS:允许 GPS极性:正  干线延时:允许 延时周期：") + delay +
                     QStringLiteral("  干线口:自动   时钟极性:正   数据极性:正   载波电平:高 "));
        QVERIFY(f.config.isRefreshed());
        QVERIFY(f.config.isTrunkRefreshed());
        QVERIFY(f.ui.messages.isEmpty());
        QVERIFY(!f.ui.busy);
        QCOMPARE(f.ui.events.first(), QStringLiteral("busy 1"));
        QCOMPARE(f.ui.events.last(), QStringLiteral("busy 0"));
        QCOMPARE(f.ui.portLabel, f.port + QStringLiteral(" 9600-8-N-1"));
    }

    // The model is found once a run: the second read sends no probe, and a device of
    // the other model later keeps the first label.
    void probeOnlyOnce() {
        DeviceFixture f;
        QVERIFY(f.procedures->readDevice());
        f.sim.clearFrameLog();
        f.sim.setState(sim::DeviceState::initial(sim::Model::KorvaneAB));
        QVERIFY(!f.procedures->readDevice()); // 164-byte port answer: count error
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x08, 0x18, 0x28}));
        QCOMPARE(f.config.deviceModel, text::ModelSingle);
        QCOMPARE(f.ui.Texts().last(), QStringLiteral("端口参数返回数量错误！\"164"));
    }

    void probeWithoutAnswerRaises() {
        DeviceFixture f;
        f.sim.setFaults(sim::SimulatorFaults::fullySilent());
        QElapsedTimer t;
        t.start();
        try {
            f.procedures->readDevice();
            QFAIL("no error raised");
        } catch (const KorvaneError& e) {
            QCOMPARE(e.message(), NoAnswer);
        }
        QVERIFY(t.elapsed() >= TestTimeLimitMs);
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x28}));
        QCOMPARE(f.config.deviceModel, text::ModelUnknown);
        QVERIFY(!f.ui.busy); // restored on the way out
        QVERIFY(f.ui.messages.isEmpty());
    }

    void probeOfWrongLengthIsVersionError_data() {
        QTest::addColumn<bool>("badEnd");
        QTest::newRow("93 bytes") << false;
        QTest::newRow("no end byte") << true;
    }

    void probeOfWrongLengthIsVersionError() {
        QFETCH(bool, badEnd);
        DeviceFixture f;
        sim::SimulatorFaults faults;
        if (badEnd)
            faults.badEnd = true;
        else
            faults.wrongLength = sim::SimulatorFaults::Length::OneLonger;
        f.sim.setFaults(faults);
        QVERIFY(!f.procedures->readDevice());
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x28}));
        QCOMPARE(f.ui.Texts(), QStringList({QStringLiteral("Korvane的版本信息不正确！")}));
        QCOMPARE(f.ui.messages[0].caption, text::CaptionOrlendis);
        QCOMPARE(f.config.deviceModel, text::ModelUnknown);
        QVERIFY(!f.config.isRefreshed());
        QVERIFY(!f.ui.busy);
        // Still unknown: the next operation probes again.
        f.sim.setFaults({});
        QVERIFY(f.procedures->ensureIdentified());
        QCOMPARE(f.config.deviceModel, text::ModelSingle);
    }

    // A read step that gets no answer: its message, what the steps before it filled
    // stays, nothing after it is sent.
    void stepWithoutAnswer_data() {
        QTest::addColumn<int>("code");
        for (int code : ReadCodes)
            QTest::newRow(qPrintable(QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0'))))
                << code;
    }

    void stepWithoutAnswer() {
        QFETCH(int, code);
        DeviceFixture f;
        f.config.deviceModel = text::ModelSingle;
        f.config.info.address = 77;
        f.config.gps = {0, 1};
        f.config.resetPortTable();
        f.sim.setFaults(sim::SimulatorFaults::ignoring({std::uint8_t(code)}));
        QVERIFY(!f.procedures->readDevice());

        const int step = ReadCodes.indexOf(code);
        QCOMPARE(f.ReceivedCodes(), ReadCodes.mid(0, step + 1));
        QCOMPARE(f.ui.Texts(), QStringList({NoAnswer}));
        QCOMPARE(f.ui.messages[0].caption,
                 QStringLiteral("通讯错误") +
                     QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper());
        QCOMPARE(f.ui.messages[0].icon, MessageIcon::Error);
        QCOMPARE(f.config.info.address, step > 0 ? 1u : 77u);
        QCOMPARE(f.config.ports.size(), step > 2 ? 24 : 0);
        QCOMPARE(f.config.gps, step > 3 ? (GpsParams{1, 0}) : (GpsParams{0, 1}));
        QVERIFY(f.config.isRefreshed()); // set once identified, whatever follows
        QVERIFY(!f.ui.busy);
    }

    void malformedAnswers_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("no end byte") << 0 << QStringLiteral("参数返回有错误！");
        QTest::newRow("one byte long") << 1 << QStringLiteral("地址参数返回数量错误！\"7");
        QTest::newRow("one byte short") << 2 << QStringLiteral("地址参数返回数量错误！\"5");
    }

    void malformedAnswers() {
        QFETCH(int, fault);
        QFETCH(QString, message);
        DeviceFixture f;
        f.config.deviceModel = text::ModelSingle;
        sim::SimulatorFaults faults;
        if (fault == 0)
            faults.badEnd = true;
        else
            faults.wrongLength = fault == 1 ? sim::SimulatorFaults::Length::OneLonger
                                            : sim::SimulatorFaults::Length::OneShorter;
        f.sim.setFaults(faults);
        QVERIFY(!f.procedures->readDevice());
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x08}));
        QCOMPARE(f.ui.Texts(), QStringList({message}));
        QCOMPARE(f.ui.messages[0].caption, text::CaptionOrlendis);
        QCOMPARE(f.config.info.address, 1u);
        QVERIFY(f.config.ports.isEmpty());
    }

    // An answer split by a pause longer than the read gap arrives as two blocks; the
    // first one alone is no frame.
    void splitAnswerIsMalformed() {
        DeviceFixture f;
        f.config.deviceModel = text::ModelSingle;
        sim::SimulatorFaults faults;
        faults.splitMs = 1500; // no late-waking reader can merge the halves
        f.sim.setFaults(faults);
        QVERIFY(!f.procedures->readDevice());
        QCOMPARE(f.ui.Texts(), QStringList({QStringLiteral("参数返回有错误！")}));
    }

    void closedPortIsOpenedFirst() {
        DeviceFixture f;
        f.transport.comm().closePort();
        QVERIFY(f.procedures->readDevice());
        QVERIFY(f.transport.comm().isOpen());
        QCOMPARE(f.ui.portLabel, f.port + QStringLiteral(" 9600-8-N-1"));
    }

    void portThatCannotOpenRaisesAfterRestoring() {
        DeviceFixture f;
        f.transport.comm().closePort();
        f.transport.comm().setCommName(QStringLiteral("/dev/korvane-no-such-port"));
        try {
            f.procedures->readDevice();
            QFAIL("no error raised");
        } catch (const std::exception& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Error opening serial port"));
        }
        QVERIFY(!f.ui.busy);
        QCOMPARE(f.ui.portLabel, QStringLiteral("断开"));
        QVERIFY(f.sim.framesReceived().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReadDevice)
#include "test_read_device.moc"
