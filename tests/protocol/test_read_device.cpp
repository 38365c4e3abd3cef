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
        sim::DeviceState state = f.Sim.state();
        state.address = 0x017E05; // a 0x7E inside the answer travels escaped
        state.serialNumber = 12345678;
        f.Sim.setState(state);

        QVERIFY(f.Procedures->readDevice());

        // The probe, then the six reads in order.
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x28}) + ReadCodes);
        for (const ByteBuffer& frame : f.Sim.framesReceived())
            QCOMPARE(frame.size(), std::size_t(3)); // plain requests, no address
        QCOMPARE(f.Config.DeviceModel, label);
        QCOMPARE(f.Ui.Model, label);
        QCOMPARE(f.Config.Info.Address, 0x017E05u);
        QCOMPARE(f.Ui.Address, QStringLiteral("97797"));
        QCOMPARE(f.Ui.AddressHex, QStringLiteral("7E 08 05 7E 01 7F "));
        QCOMPARE(f.Config.Info.SerialNumber, 12345678u);
        QCOMPARE(f.Ui.Serial, QStringLiteral("12345678"));
        QCOMPARE(f.Ui.SerialHex, QStringLiteral("7E 18 4E 61 BC 00 7F "));

        // The simulator's five start ports, every other row unassigned.
        QStringList rows;
        for (const PortEntry& e : f.Config.Ports) {
            QStringList fields;
            for (int col = 0; col < PortEntry::FieldCount; ++col)
                fields.append(e.field(col));
            if (e.isAssigned())
                rows.append(fields.join(u'|'));
            else
                QCOMPARE(fields.mid(1).join(QString()), QStringLiteral("-------"));
        }
        QCOMPARE(f.Config.Ports.size(), 24);
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
        QCOMPARE(f.Config.Gps, (GpsParams{1, 0}));
        QCOMPARE(f.Config.Trunk.DelayEnabled, 1);
        QCOMPARE(f.Config.Trunk.DelayCyclesA, 16);
        QCOMPARE(f.Config.Trunk.DelayCyclesB, label == text::ModelAB ? 32 : 0);
        const QString delay =
            label == text::ModelAB ? QStringLiteral("16 32 ") : QStringLiteral("16 ");
        QCOMPARE(f.Ui.Summary,
                 QStringLiteral("GPS:允许 GPS极性:正  干线延时:允许 延时周期：") + delay +
                     QStringLiteral("  干线口:自动   时钟极性:正   数据极性:正   载波电平:高 "));
        QVERIFY(f.Config.isRefreshed());
        QVERIFY(f.Config.isTrunkRefreshed());
        QVERIFY(f.Ui.Messages.isEmpty());
        QVERIFY(!f.Ui.Busy);
        QCOMPARE(f.Ui.Events.first(), QStringLiteral("busy 1"));
        QCOMPARE(f.Ui.Events.last(), QStringLiteral("busy 0"));
        QCOMPARE(f.Ui.PortLabel, f.Port + QStringLiteral(" 9600-8-N-1"));
    }

    // The model is found once a run: the second read sends no probe, and a device of
    // the other model later keeps the first label.
    void probeOnlyOnce() {
        DeviceFixture f;
        QVERIFY(f.Procedures->readDevice());
        f.Sim.clearFrameLog();
        f.Sim.setState(sim::DeviceState::initial(sim::Model::KorvaneAB));
        QVERIFY(!f.Procedures->readDevice()); // 164-byte port answer: count error
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x08, 0x18, 0x28}));
        QCOMPARE(f.Config.DeviceModel, text::ModelSingle);
        QCOMPARE(f.Ui.Texts().last(), QStringLiteral("端口参数返回数量错误！\"164"));
    }

    void probeWithoutAnswerRaises() {
        DeviceFixture f;
        f.Sim.setFaults(sim::SimulatorFaults::fullySilent());
        QElapsedTimer t;
        t.start();
        try {
            f.Procedures->readDevice();
            QFAIL("no error raised");
        } catch (const KorvaneError& e) {
            QCOMPARE(e.message(), NoAnswer);
        }
        QVERIFY(t.elapsed() >= TestTimeLimitMs);
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x28}));
        QCOMPARE(f.Config.DeviceModel, text::ModelUnknown);
        QVERIFY(!f.Ui.Busy); // restored on the way out
        QVERIFY(f.Ui.Messages.isEmpty());
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
        f.Sim.setFaults(faults);
        QVERIFY(!f.Procedures->readDevice());
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x28}));
        QCOMPARE(f.Ui.Texts(), QStringList({QStringLiteral("Korvane的版本信息不正确！")}));
        QCOMPARE(f.Ui.Messages[0].Caption, text::CaptionOrlendis);
        QCOMPARE(f.Config.DeviceModel, text::ModelUnknown);
        QVERIFY(!f.Config.isRefreshed());
        QVERIFY(!f.Ui.Busy);
        // Still unknown: the next operation probes again.
        f.Sim.setFaults({});
        QVERIFY(f.Procedures->ensureIdentified());
        QCOMPARE(f.Config.DeviceModel, text::ModelSingle);
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
        f.Config.DeviceModel = text::ModelSingle;
        f.Config.Info.Address = 77;
        f.Config.Gps = {0, 1};
        f.Config.resetPortTable();
        f.Sim.setFaults(sim::SimulatorFaults::ignoring({std::uint8_t(code)}));
        QVERIFY(!f.Procedures->readDevice());

        const int step = ReadCodes.indexOf(code);
        QCOMPARE(f.ReceivedCodes(), ReadCodes.mid(0, step + 1));
        QCOMPARE(f.Ui.Texts(), QStringList({NoAnswer}));
        QCOMPARE(f.Ui.Messages[0].Caption,
                 QStringLiteral("通讯错误") +
                     QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper());
        QCOMPARE(f.Ui.Messages[0].Icon, MessageIcon::Error);
        QCOMPARE(f.Config.Info.Address, step > 0 ? 1u : 77u);
        QCOMPARE(f.Config.Ports.size(), step > 2 ? 24 : 0);
        QCOMPARE(f.Config.Gps, step > 3 ? (GpsParams{1, 0}) : (GpsParams{0, 1}));
        QVERIFY(f.Config.isRefreshed()); // set once identified, whatever follows
        QVERIFY(!f.Ui.Busy);
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
        f.Config.DeviceModel = text::ModelSingle;
        sim::SimulatorFaults faults;
        if (fault == 0)
            faults.badEnd = true;
        else
            faults.wrongLength = fault == 1 ? sim::SimulatorFaults::Length::OneLonger
                                            : sim::SimulatorFaults::Length::OneShorter;
        f.Sim.setFaults(faults);
        QVERIFY(!f.Procedures->readDevice());
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x08}));
        QCOMPARE(f.Ui.Texts(), QStringList({message}));
        QCOMPARE(f.Ui.Messages[0].Caption, text::CaptionOrlendis);
        QCOMPARE(f.Config.Info.Address, 1u);
        QVERIFY(f.Config.Ports.isEmpty());
    }

    // An answer split by a pause longer than the read gap arrives as two blocks; the
    // first one alone is no frame.
    void splitAnswerIsMalformed() {
        DeviceFixture f;
        f.Config.DeviceModel = text::ModelSingle;
        sim::SimulatorFaults faults;
        faults.splitMs = 1500; // no late-waking reader can merge the halves
        f.Sim.setFaults(faults);
        QVERIFY(!f.Procedures->readDevice());
        QCOMPARE(f.Ui.Texts(), QStringList({QStringLiteral("参数返回有错误！")}));
    }

    void closedPortIsOpenedFirst() {
        DeviceFixture f;
        f.Transport.comm().closePort();
        QVERIFY(f.Procedures->readDevice());
        QVERIFY(f.Transport.comm().isOpen());
        QCOMPARE(f.Ui.PortLabel, f.Port + QStringLiteral(" 9600-8-N-1"));
    }

    void portThatCannotOpenRaisesAfterRestoring() {
        DeviceFixture f;
        f.Transport.comm().closePort();
        f.Transport.comm().setCommName(QStringLiteral("/dev/korvane-no-such-port"));
        try {
            f.Procedures->readDevice();
            QFAIL("no error raised");
        } catch (const std::exception& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Error opening serial port"));
        }
        QVERIFY(!f.Ui.Busy);
        QCOMPARE(f.Ui.PortLabel, QStringLiteral("断开"));
        QVERIFY(f.Sim.framesReceived().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReadDevice)
#include "test_read_device.moc"
