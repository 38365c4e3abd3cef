// SPDX-License-Identifier: MIT
// Writing to the device against the simulator over a pty: the section writes, write-all
// with its refusals, pauses and read-back, the trunk sections together, the address.

#include "ByteVectors.h"
#include "WriteTestSupport.h"

#include "config/DisplayTexts.h"
#include "files/ScheduleFile.h"
#include "protocol/PortTableCodec.h"
#include "tests/support/DeviceFixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace korvane;
using namespace korvane::test;
using namespace korvane::testing;

namespace {

const QString NoAnswer = QStringLiteral("请检查Korvane是否加电，连线是否连上，通讯端口是否设对？");
const QString WriteFailed = QStringLiteral("写入失败！");
const QString WriteSucceeded = QStringLiteral("祝贺你，写入成功！");
const QString Orlendis = QStringLiteral("Orlendis");
const QString Korvane = QStringLiteral("Korvane");
const QString SetOk = QStringLiteral("设置成功");
const QList<int> ReadCodes{0x08, 0x18, 0x28, 0x38, 0x48, 0x58};

enum Section { Ports, TrunkAttributes, Gps, TrunkDelay };

QString Error(const QString& caption, const QString& text) {
    return caption + QStringLiteral(" | ") + text + QStringLiteral(" | error");
}

QString Info(const QString& caption, const QString& text) {
    return caption + QStringLiteral(" | ") + text + QStringLiteral(" | info");
}

QStringList Shown(const RecordingOperator& ui) {
    QStringList out;
    for (const ShownMessage& m : ui.messages)
        out.append(m.icon == MessageIcon::Error ? Error(m.caption, m.text)
                                                : Info(m.caption, m.text));
    return out;
}

// Port 1 on channel 5, POCSAG at 1200 bit/s, rising edge, positive, on; the rest free.
PortEntry FirstPort(const QString& model, const QString& remark) {
    PortEntry e;
    e.portNumber = QStringLiteral("1");
    e.channel = QStringLiteral("5");
    e.coding = text::Pocsag;
    e.rate = QStringLiteral("1200");
    e.clockSource = text::None;
    e.clockEdge = text::RisingEdge;
    e.polarity = text::Positive;
    e.portState = text::On;
    e.delay = model == text::ModelAB ? QStringLiteral("00007C") : QString();
    e.remark = remark;
    return e;
}

const GpsParams WrittenGps{1, 1};
// TB, clock negative, data positive, carrier low, delay off, cycles with frame bytes.
const TrunkParams WrittenTrunk{2, 1, 0, 1, 0, 0x01027E, 0x7F};

void Fill(DeviceConfiguration& c, const QString& model) {
    c.resetPortTable();
    c.ports[0] = FirstPort(model, text::Modified);
    c.ports[6].remark = text::Added;
    c.gps = WrittenGps;
    c.trunk = WrittenTrunk;
}

ByteBuffer ExpectedPorts(const QString& model) {
    ByteBuffer p = Concat(
        {Bytes({0x05, 0x00, 0xFF, 0x3B}), Repeat(0xFF, 46), Bytes({0x04}), Repeat(0xFF, 23)});
    for (int i = 0; i < 5; ++i)
        p = Concat({p, Bytes({0x01, 0x00, 0x00})});
    if (model == text::ModelAB)
        p = Concat({p, Bytes({0x7C, 0x00, 0x00}), Repeat(0x00, 69)});
    return p;
}

const ByteBuffer ExpectedTrunk = Bytes({0xAA, 0xAA, 0xAA, 0x55, 0xAA});
const ByteBuffer ExpectedGps = Bytes({0x55, 0xAA});
const ByteBuffer ExpectedDelay = Bytes({0xAA, 0x7E, 0x02, 0x01, 0x7F, 0x00, 0x00});

// Entries that port 1 (channel 5) claims, that no port claims, that are not numbers
// and that pass through.
const QList<QByteArray> EntryCycle{"4", "105", "x", "210", "3"};
const ByteBuffer SlotCycle = Bytes({0, 5, 255, 210, 255});

QList<QByteArray> CycleEntries(int count) {
    QList<QByteArray> out;
    for (int i = 0; i < count; ++i)
        out.append(EntryCycle[i % EntryCycle.size()]);
    return out;
}

ByteBuffer ExpectedBlock(int block, int count) {
    ByteBuffer out(ScheduleBlockEntries, 0xFF);
    for (int i = 0; i < ScheduleBlockEntries && block * 64 + i < count; ++i)
        out[std::size_t(i)] = SlotCycle[std::size_t((block * 64 + i) % 5)];
    return out;
}

ByteBuffer Head(const ByteBuffer& frame, std::size_t n) {
    return ByteBuffer(frame.begin(), frame.begin() + qMin(n, frame.size()));
}

bool RunSection(DeviceProcedures& p, int section, bool announce) {
    switch (Section(section)) {
    case Ports:
        return p.writePortSection(announce);
    case TrunkAttributes:
        return p.writeTrunkAttributeSection(announce);
    case Gps:
        return p.writeGpsSection(announce);
    case TrunkDelay:
        return p.writeTrunkDelaySection(announce);
    }
    return false;
}

ByteBuffer Stored(const sim::DeviceState& s, int code) {
    switch (code) {
    case 0x27:
        return s.portParams;
    case 0x47:
        return s.trunk;
    case 0x37:
        return s.gps;
    default:
        return s.trunkDelay;
    }
}

} // namespace

class TestWriteDevice : public QObject {
    Q_OBJECT
private slots:
    void writeAllThenReadBack_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("label");
        QTest::newRow("KORVANE") << int(sim::Model::Korvane) << text::ModelSingle;
        QTest::newRow("KORVANEA/B") << int(sim::Model::KorvaneAB) << text::ModelAB;
    }

    void writeAllThenReadBack() {
        QFETCH(int, model);
        QFETCH(QString, label);
        DeviceFixture f(ModelOptions(sim::Model(model)));
        QTemporaryDir dir;
        Fill(f.config, label);
        QVERIFY(ScheduleBeside(dir, f.config, ScheduleFileBytes(CycleEntries(130))));
        qsizetype framesAtSuccess = -1;
        f.ui.onMessage = [&](const ShownMessage&) {
            framesAtSuccess = f.sim.framesReceived().size();
        };

        QVERIFY(f.procedures->writeAll(100001, 1));

        // The probe, the four sections, three schedule blocks, then the full read.
        QCOMPARE(f.ReceivedCodes(),
                 QList<int>({0x28, 0x27, 0x47, 0x37, 0x57, 0x87, 0x87, 0x87}) + ReadCodes);
        const QList<ByteBuffer> frames = f.sim.framesReceived();
        const int codes[] = {0x27, 0x47, 0x37, 0x57};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(Hex(Head(frames[i + 1], 5)), Hex(Bytes({0x7E, codes[i], 0x01, 0x00, 0x00})));
        for (int b = 0; b < 3; ++b)
            QCOMPARE(Hex(Head(frames[b + 5], 6)), Hex(Bytes({0x7E, 0x87, 0x01, 0x00, 0x00, b})));

        const sim::DeviceState s = f.sim.state();
        QCOMPARE(Hex(s.portParams), Hex(ExpectedPorts(label)));
        QCOMPARE(Hex(s.trunk), Hex(ExpectedTrunk));
        QCOMPARE(Hex(s.gps), Hex(ExpectedGps));
        QCOMPARE(Hex(s.trunkDelay), Hex(ExpectedDelay));
        QCOMPARE(s.scheduleBlocks.size(), std::size_t(3));
        for (int b = 0; b < 3; ++b)
            QCOMPARE(Hex(s.scheduleBlocks.at(std::uint8_t(b))), Hex(ExpectedBlock(b, 130)));

        // The success box follows the read-back that confirmed the write.
        QCOMPARE(Shown(f.ui), QStringList{Info(Orlendis, WriteSucceeded)});
        QCOMPARE(framesAtSuccess, qsizetype(14));

        // The window is refilled from the device.
        QCOMPARE(f.config.info.serialNumber, 100001u);
        QCOMPARE(f.ui.serial, QStringLiteral("100001"));
        QCOMPARE(f.ui.address, QStringLiteral("1"));
        QCOMPARE(f.config.ports.size(), 24);
        QCOMPARE(f.config.ports[0], FirstPort(label, QString()));
        for (int i = 1; i < 24; ++i)
            QCOMPARE(f.config.ports[i], PortEntry::unassigned(i + 1));
        QCOMPARE(f.config.gps, WrittenGps);
        QCOMPARE(f.config.trunk, WrittenTrunk);
        QVERIFY(f.config.isRefreshed());
        QVERIFY(f.ui.pauses.isEmpty());
        QVERIFY(!f.ui.busy);
        QCOMPARE(f.ui.busyChanges, 2); // held from the start to the end of the read-back
    }

    void writeAllUnderControlMode() {
        DeviceFixture f;
        WireOperator ui(f.sim);
        DeviceProcedures procedures(f.config, f.transport, ui);
        QTemporaryDir dir;
        Fill(f.config, text::ModelSingle);
        f.config.deviceModel = text::ModelSingle;
        f.config.controlMode = true;
        ui.observe(procedures, f.config);
        QVERIFY(ScheduleBeside(dir, f.config, ScheduleFileBytes(CycleEntries(70))));

        QVERIFY(procedures.writeAll(1, 1));

        // No read-back; a pause after each section and each block, the last one too.
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x27, 0x47, 0x37, 0x57, 0x87, 0x87}));
        QCOMPARE(ui.pauses, QList<int>({3000, 3000, 300, 3000, 3000, 3000}));
        QCOMPARE(ui.framesAtPause, QList<qsizetype>({1, 2, 3, 4, 5, 6}));
        QCOMPARE(ui.events,
                 QStringList({"busy 1", "pause 3000", "pause 3000", "pause 300", "pause 3000",
                              "pause 3000", "pause 3000", "message Orlendis", "busy 0"}));
        QCOMPARE(Shown(ui), QStringList{Info(Orlendis, WriteSucceeded)});
        QCOMPARE(f.sim.state().scheduleBlocks.size(), std::size_t(2));

        // The table stays as written, its edit marks gone.
        QVERIFY(f.config.isRefreshed());
        QCOMPARE(ui.tableChanges, 1);
        QCOMPARE(f.config.ports[0], FirstPort(text::ModelSingle, QString()));
        for (const PortEntry& e : f.config.ports)
            QVERIFY(e.remark.isEmpty());
        QVERIFY(ui.address.isEmpty());
    }

    void writeAllStopsWhenGpsUnanswered() {
        DeviceFixture f;
        f.sim.setFaults(sim::SimulatorFaults::ignoring({0x37}));
        QTemporaryDir dir;
        Fill(f.config, text::ModelSingle);
        f.config.deviceModel = text::ModelSingle;
        QVERIFY(ScheduleBeside(dir, f.config, ScheduleFileBytes(CycleEntries(10))));

        QVERIFY(!f.procedures->writeAll(1, 1));

        QCOMPARE(Shown(f.ui), QStringList({Error(QStringLiteral("GPS参数通讯错误"), NoAnswer),
                                           Info(Orlendis, WriteFailed)}));
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x27, 0x47, 0x37}));
        // What went before stays written; nothing is marked written.
        QCOMPARE(Hex(f.sim.state().trunk), Hex(ExpectedTrunk));
        QVERIFY(f.sim.state().scheduleBlocks.empty());
        QVERIFY(!f.config.isRefreshed());
        QCOMPARE(f.config.ports[0].remark, text::Modified);
        QVERIFY(!f.ui.busy);
    }

    void writeAllRefusals_data() {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("message");
        const QString port = QStringLiteral("请选择通信端口！");
        const QString serial0 = QStringLiteral("序列号为0非法，请确认序列号不能为0！");
        const QString address0 = QStringLiteral("地址为0非法，请确认地址不能为0！");
        QTest::newRow("port closed") << "5"
                                     << "5" << true << port;
        QTest::newRow("port closed comes first") << "0"
                                                 << "0" << true << port;
        QTest::newRow("serial 0") << "0"
                                  << "5" << false << serial0;
        QTest::newRow("serial not a number") << "12a"
                                             << "5" << false << serial0;
        QTest::newRow("serial empty") << ""
                                      << "5" << false << serial0;
        QTest::newRow("serial before address") << "0"
                                               << "0" << false << serial0;
        QTest::newRow("address 0") << "5"
                                   << "0" << false << address0;
        QTest::newRow("address not a number") << "5"
                                              << "abc" << false << address0;
        QTest::newRow("address empty") << "5"
                                       << "" << false << address0;
    }

    // Checked on the texts as they stand, before anything is sent or the probe runs.
    void writeAllRefusals() {
        QFETCH(QString, serial);
        QFETCH(QString, address);
        QFETCH(bool, closed);
        QFETCH(QString, message);
        DeviceFixture f;
        if (closed)
            f.transport.comm().closePort();

        QVERIFY(!f.procedures->writeAll(serialNumberFromText(serial), addressFromText(address)));

        QCOMPARE(Shown(f.ui), QStringList{Error(Korvane, message)});
        QVERIFY(f.sim.framesReceived().isEmpty());
        QCOMPARE(f.ui.busyChanges, 0);
        QCOMPARE(f.config.deviceModel, text::ModelUnknown);
    }

    void writeAllStopsAtVersionError() {
        sim::SimulatorOptions o;
        o.faults.wrongLength = sim::SimulatorFaults::Length::OneLonger;
        DeviceFixture f(o);
        Fill(f.config, text::ModelSingle);

        QVERIFY(!f.procedures->writeAll(1, 1, false));

        QCOMPARE(Shown(f.ui),
                 QStringList{Error(Orlendis, QStringLiteral("Korvane的版本信息不正确！"))});
        QCOMPARE(f.ReceivedCodes(), QList<int>{0x28});
        QVERIFY(!f.ui.busy);
    }

    void unsendablePortTableIsRefused_data() {
        QTest::addColumn<bool>("writeAll");
        QTest::newRow("WriteAll") << true;
        QTest::newRow("WritePortSection") << false;
    }

    // A table the encoder refuses never reaches the device, and writeAll reports the
    // refusal alone: nothing was written, so nothing failed.
    void unsendablePortTableIsRefused() {
        QFETCH(bool, writeAll);
        DeviceFixture f;
        Fill(f.config, text::ModelSingle);
        f.config.deviceModel = text::ModelSingle;
        f.config.ports[2] = FirstPort(text::ModelSingle, QString());
        f.config.ports[2].portNumber = QStringLiteral("3");
        f.config.ports[2].channel = QStringLiteral("300");
        const auto refusal = encodeWritePortParams(f.config.ports, text::ModelSingle).error;
        QVERIFY(refusal);

        const bool result =
            writeAll ? f.procedures->writeAll(1, 1, false) : f.procedures->writePortSection(true);

        QVERIFY(!result);
        QCOMPARE(Shown(f.ui), QStringList{Error(refusal->caption, refusal->text)});
        QVERIFY(f.sim.framesReceived().isEmpty());
        QVERIFY(!f.ui.busy);
        QCOMPARE(f.ui.busyChanges, 2);
    }

    // A missing schedule file is found before the first frame: nothing is sent, and
    // the file's box is followed by the write's failure.
    void writeAllWithoutScheduleFile() {
        DeviceFixture f;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        CurrentDirGuard cwd(dir.path());
        QVERIFY(cwd.ok());
        Fill(f.config, text::ModelSingle);
        f.config.deviceModel = text::ModelSingle;
        const QString tried = QStringLiteral("SchedulingFile.dat");

        QVERIFY(!f.procedures->writeAll(1, 1));

        QVERIFY(f.sim.framesReceived().isEmpty());
        QCOMPARE(Shown(f.ui),
                 QStringList({Error(QStringLiteral("文件错误"),
                                    u'"' + tried + QStringLiteral("\"时序表文件不存在！")),
                              Info(Orlendis, QStringLiteral("写入失败！"))}));
        QVERIFY(!f.config.isRefreshed());
        QVERIFY(!f.ui.busy);
    }

    void sectionWrites_data() {
        QTest::addColumn<int>("section");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("success");
        QTest::addColumn<ByteBuffer>("stored");
        QTest::newRow("ports") << int(Ports) << 0x27 << QStringLiteral("端口参数设置完毕。")
                               << ExpectedPorts(text::ModelSingle);
        QTest::newRow("trunk attributes")
            << int(TrunkAttributes) << 0x47 << QStringLiteral("干线参数设置完毕") << ExpectedTrunk;
        QTest::newRow("GPS") << int(Gps) << 0x37 << QStringLiteral("GPS参数设置完毕")
                             << ExpectedGps;
        QTest::newRow("trunk delay")
            << int(TrunkDelay) << 0x57 << QStringLiteral("干线延时参数设置完毕。") << ExpectedDelay;
    }

    // Silent without announce; announced, exactly one box. The frame carries the
    // address held in the configuration.
    void sectionWrites() {
        QFETCH(int, section);
        QFETCH(int, code);
        QFETCH(QString, success);
        QFETCH(ByteBuffer, stored);
        DeviceFixture f;
        sim::DeviceState state = f.sim.state();
        state.address = 70000;
        f.sim.setState(state);
        Fill(f.config, text::ModelSingle);
        f.config.deviceModel = text::ModelSingle;
        f.config.info.address = 70000;

        QVERIFY(RunSection(*f.procedures, section, false));
        QVERIFY(f.ui.messages.isEmpty());
        QVERIFY(RunSection(*f.procedures, section, true));

        QCOMPARE(Shown(f.ui), QStringList{Info(SetOk, success)});
        QCOMPARE(f.ReceivedCodes(), QList<int>({code, code}));
        for (const ByteBuffer& frame : f.sim.framesReceived())
            QCOMPARE(Hex(Head(frame, 5)), Hex(Bytes({0x7E, code, 0x70, 0x11, 0x01})));
        QCOMPARE(Hex(Stored(f.sim.state(), code)), Hex(stored));
        QVERIFY(!f.config.isRefreshed());
        QCOMPARE(f.config.ports[0].remark, text::Modified);
        QVERIFY(!f.ui.busy);
        QCOMPARE(f.ui.busyChanges, 4);
    }

    void sectionWriteUnanswered_data() {
        QTest::addColumn<int>("section");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("caption");
        QTest::newRow("ports") << int(Ports) << 0x27 << QStringLiteral("端口参数设置通讯错误");
        QTest::newRow("trunk attributes")
            << int(TrunkAttributes) << 0x47 << QStringLiteral("干线参数通讯错误");
        QTest::newRow("GPS") << int(Gps) << 0x37 << QStringLiteral("GPS参数通讯错误");
        QTest::newRow("trunk delay")
            << int(TrunkDelay) << 0x57 << QStringLiteral("干线延时参数设置通讯错误");
    }

    void sectionWriteUnanswered() {
        QFETCH(int, section);
        QFETCH(int, code);
        QFETCH(QString, caption);
        DeviceFixture f;
        f.sim.setFaults(sim::SimulatorFaults::ignoring({std::uint8_t(code)}));
        Fill(f.config, text::ModelSingle);
        f.config.deviceModel = text::ModelSingle;

        QVERIFY(!RunSection(*f.procedures, section, true));

        QCOMPARE(Shown(f.ui), QStringList{Error(caption, NoAnswer)});
        QCOMPARE(f.ReceivedCodes(), QList<int>{code});
        QVERIFY(!f.ui.busy);
    }

    void writeAllTrunkSections_data() {
        QTest::addColumn<bool>("controlMode");
        QTest::addColumn<QList<int>>("pauses");
        QTest::newRow("control mode off") << false << QList<int>();
        QTest::newRow("control mode on") << true << QList<int>({3000, 3000, 3000});
    }

    void writeAllTrunkSections() {
        QFETCH(bool, controlMode);
        QFETCH(QList<int>, pauses);
        DeviceFixture f;
        WireOperator ui(f.sim);
        DeviceProcedures procedures(f.config, f.transport, ui);
        ui.observe(procedures, f.config);
        Fill(f.config, text::ModelSingle);
        f.config.deviceModel = text::ModelSingle;
        f.config.controlMode = controlMode;

        procedures.writeAllTrunkSections();

        QCOMPARE(f.ReceivedCodes(), QList<int>({0x47, 0x37, 0x57}));
        QCOMPARE(Shown(ui), QStringList({Info(SetOk, QStringLiteral("干线参数设置完毕")),
                                         Info(SetOk, QStringLiteral("GPS参数设置完毕")),
                                         Info(SetOk, QStringLiteral("干线延时参数设置完毕。"))}));
        QCOMPARE(ui.pauses, pauses);
        if (controlMode)
            QCOMPARE(ui.framesAtPause, QList<qsizetype>({1, 2, 3}));
        QCOMPARE(Hex(f.sim.state().trunkDelay), Hex(ExpectedDelay));
        // Busy across the pauses as well.
        QCOMPARE(ui.busyChanges, 2);
        QVERIFY(!ui.busy);
    }

    void writeAllTrunkSectionsStopsAtFirstNo() {
        DeviceFixture f;
        WireOperator ui(f.sim);
        DeviceProcedures procedures(f.config, f.transport, ui);
        ui.observe(procedures, f.config);
        f.sim.setFaults(sim::SimulatorFaults::ignoring({0x37}));
        Fill(f.config, text::ModelSingle);
        f.config.deviceModel = text::ModelSingle;
        f.config.controlMode = true;

        procedures.writeAllTrunkSections();

        QCOMPARE(f.ReceivedCodes(), QList<int>({0x47, 0x37}));
        QCOMPARE(Shown(ui), QStringList({Info(SetOk, QStringLiteral("干线参数设置完毕")),
                                         Error(QStringLiteral("GPS参数通讯错误"), NoAnswer)}));
        QCOMPARE(ui.pauses, QList<int>{3000});
        QVERIFY(!ui.busy);
    }

    // No zero check: address 0 goes to the device named by its serial number, in a
    // plain frame, and is read back. The first operation of the run probes first.
    void setAddressSendsZero() {
        DeviceFixture f;
        f.config.info.serialNumber = 100001;
        f.config.info.address = 0;

        QVERIFY(f.procedures->setAddress(true));

        QCOMPARE(f.ReceivedCodes(), QList<int>({0x28, 0x07, 0x08}));
        QCOMPARE(Hex(f.sim.framesReceived()[1]),
                 Hex(Bytes({0x7E, 0x07, 0xA1, 0x86, 0x01, 0x00, 0x00, 0x00, 0x00, 0x7F})));
        QCOMPARE(f.sim.state().address, 0u);
        QCOMPARE(Shown(f.ui),
                 QStringList{Info(Orlendis, QStringLiteral("祝贺你，地址写入成功！"))});
        QVERIFY(!f.ui.busy);
    }

    // The device answers a new address for another serial number and keeps its own:
    // the address read back says so.
    void setAddressRefused_data() {
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<bool>("answers");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<int>("busyChanges");
        QTest::newRow("unanswered")
            << true << false << QList<int>{0x07}
            << QStringList{Error(QStringLiteral("地址设置通讯错误"), NoAnswer)} << 2;
        QTest::newRow("port closed")
            << false << false << QList<int>{}
            << QStringList{Error(Korvane, QStringLiteral("请选择通信端口！"))} << 0;
        QTest::newRow("another device's serial number")
            << true << true << QList<int>{0x07, 0x08}
            << QStringList{Error(Orlendis, QStringLiteral("设备没有接受新地址7，仍是地址1：请确认"
                                                          "序列号5是这台设备的序列号。"))}
            << 2;
    }
    void setAddressRefused() {
        QFETCH(bool, portOpen);
        QFETCH(bool, answers);
        QFETCH(QList<int>, codes);
        QFETCH(QStringList, shown);
        QFETCH(int, busyChanges);
        DeviceFixture f;
        if (!answers)
            f.sim.setFaults(sim::SimulatorFaults::ignoring({0x07}));
        f.config.deviceModel = text::ModelSingle;
        f.config.info.serialNumber = 5;
        f.config.info.address = 7;
        if (!portOpen)
            f.transport.comm().closePort();

        QVERIFY(!f.procedures->setAddress(true));

        QCOMPARE(Shown(f.ui), shown);
        QCOMPARE(f.ReceivedCodes(), codes);
        QCOMPARE(f.ui.busyChanges, busyChanges);
        QVERIFY(!f.ui.busy);
    }
};

QTEST_GUILESS_MAIN(TestWriteDevice)
#include "test_write_device.moc"
