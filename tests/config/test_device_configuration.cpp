// SPDX-License-Identifier: MIT
#include "config/DeviceConfiguration.h"
#include "config/DisplayTexts.h"

#include <QSignalSpy>
#include <QtTest>

using namespace korvane;

namespace {

ChannelChoice choice(const QString& channel, const QString& coding = text::Sync,
                     const QString& rate = QStringLiteral("1200")) {
    return ChannelChoice{channel,
                         coding,
                         rate,
                         text::External,
                         text::FallingEdge,
                         text::Negative,
                         text::Off,
                         QStringLiteral("00012C"),
                         QStringLiteral("1")};
}

} // namespace

class TestDeviceConfiguration : public QObject {
    Q_OBJECT
private slots:
    void startValues() {
        DeviceConfiguration c;
        QCOMPARE(c.info.serialNumber, 1u);
        QCOMPARE(c.info.address, 1u);
        QCOMPARE(c.deviceModel, QStringLiteral("0"));
        QVERIFY(!c.controlMode);
        QVERIFY(c.channelDelayEnabled);
        QVERIFY(c.ports.isEmpty());
        QCOMPARE(c.reserved, ReservedBlock{});
        QVERIFY(!c.isRefreshed());
        QVERIFY(!c.isTrunkRefreshed());
        QVERIFY(!c.isModelKnown());
    }

    void resetGives24UnassignedRows() {
        DeviceConfiguration c;
        c.ports.append(PortEntry::unassigned(99));
        c.resetPortTable();
        QCOMPARE(c.ports.size(), 24);
        for (int i = 0; i < 24; ++i) {
            const PortEntry& e = c.ports[i];
            QCOMPARE(e.portNumber, QString::number(i + 1));
            for (int col = 1; col <= 7; ++col)
                QCOMPARE(e.field(col), text::None);
            QVERIFY(e.delay.isEmpty());
            QVERIFY(e.remark.isEmpty());
            QVERIFY(!e.isAssigned());
        }
    }

    void fieldOrderFollowsColumns() {
        PortEntry e{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
        for (int col = 0; col < PortEntry::FieldCount; ++col)
            QCOMPARE(e.field(col), QString::number(col + 1));
    }

    // Each row: which setter, which value, and the two flags before and after.
    void refreshCoupling_data() {
        QTest::addColumn<bool>("trunkSetter");
        QTest::addColumn<bool>("value");
        QTest::addColumn<bool>("before");          // both flags before
        QTest::addColumn<bool>("refreshed");       // port flag after
        QTest::addColumn<bool>("trunk");           // trunk flag after
        QTest::addColumn<QList<bool>>("portSeen"); // what the window hears, in order
        QTest::addColumn<QList<bool>>("trunkSeen");
        QTest::newRow("refreshed true sets trunk")
            << false << true << false << true << true << QList<bool>{true} << QList<bool>{true};
        QTest::newRow("refreshed false keeps trunk")
            << false << false << true << false << true << QList<bool>{false} << QList<bool>{};
        QTest::newRow("trunk false clears refreshed")
            << true << false << true << false << false << QList<bool>{false} << QList<bool>{false};
        QTest::newRow("trunk true keeps refreshed")
            << true << true << false << false << true << QList<bool>{} << QList<bool>{true};
    }

    void refreshCoupling() {
        QFETCH(bool, trunkSetter);
        QFETCH(bool, value);
        QFETCH(bool, before);
        QFETCH(bool, refreshed);
        QFETCH(bool, trunk);
        QFETCH(QList<bool>, portSeen);
        QFETCH(QList<bool>, trunkSeen);
        DeviceConfiguration c;
        c.setRefreshed(before);
        c.setTrunkRefreshed(before);
        QSignalSpy portSpy(&c, &DeviceConfiguration::refreshedChanged);
        QSignalSpy trunkSpy(&c, &DeviceConfiguration::trunkRefreshedChanged);
        if (trunkSetter)
            c.setTrunkRefreshed(value);
        else
            c.setRefreshed(value);
        QCOMPARE(c.isRefreshed(), refreshed);
        QCOMPARE(c.isTrunkRefreshed(), trunk);
        // The window repaints a label only on its signal.
        const auto values = [](const QSignalSpy& spy) {
            QList<bool> out;
            for (const QList<QVariant>& call : spy)
                out.append(call.at(0).toBool());
            return out;
        };
        QCOMPARE(values(portSpy), portSeen);
        QCOMPARE(values(trunkSpy), trunkSeen);
    }

    void bindCopiesChoice() {
        DeviceConfiguration c;
        c.resetPortTable();
        c.ports[2].remark = text::Added;
        QVERIFY(!c.bindChannel(2, choice(QStringLiteral("5"))));
        const PortEntry& e = c.ports[2];
        QCOMPARE(e.portNumber, QStringLiteral("3"));
        QCOMPARE(e.channel, QStringLiteral("5"));
        QCOMPARE(e.coding, text::Sync);
        QCOMPARE(e.rate, QStringLiteral("1200"));
        QCOMPARE(e.clockSource, text::External);
        QCOMPARE(e.clockEdge, text::FallingEdge);
        QCOMPARE(e.polarity, text::Negative);
        QCOMPARE(e.portState, text::Off);
        QCOMPARE(e.delay, QStringLiteral("00012C"));
        QCOMPARE(e.remark, text::Added); // remarks and flags are not touched
        QVERIFY(!c.isRefreshed());
    }

    void bindNormalises_data() {
        QTest::addColumn<QString>("coding");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("wantCoding");
        QTest::addColumn<QString>("wantRate");
        QTest::addColumn<QString>("wantSource");
        QTest::addColumn<QString>("wantEdge");
        QTest::newRow("async becomes sync internal rising")
            << text::Async << "2400" << text::Sync << "2400" << text::Internal << text::RisingEdge;
        QTest::newRow("pocsag has no clock source")
            << text::Pocsag << "1200" << text::Pocsag << "1200" << text::None << text::FallingEdge;
        QTest::newRow("512 becomes 1200")
            << text::Pocsag << "512" << text::Pocsag << "1200" << text::None << text::FallingEdge;
        QTest::newRow("other rates copied")
            << text::Sync << "0512" << text::Sync << "0512" << text::External << text::FallingEdge;
    }

    void bindNormalises() {
        QFETCH(QString, coding);
        QFETCH(QString, rate);
        DeviceConfiguration c;
        c.resetPortTable();
        QVERIFY(!c.bindChannel(0, choice(QStringLiteral("9"), coding, rate)));
        QTEST(c.ports[0].coding, "wantCoding");
        QTEST(c.ports[0].rate, "wantRate");
        QTEST(c.ports[0].clockSource, "wantSource");
        QTEST(c.ports[0].clockEdge, "wantEdge");
    }

    void bindRefusesDuplicateByValue() {
        DeviceConfiguration c;
        c.resetPortTable();
        QVERIFY(!c.bindChannel(0, choice(QStringLiteral("05"))));
        const PortTable before = c.ports;
        const auto refusal = c.bindChannel(4, choice(QStringLiteral("5")));
        QVERIFY(refusal);
        QCOMPARE(*refusal, QStringLiteral("\"5\"信道已被选择，请选择一未选择的信道。"));
        QCOMPARE(c.ports, before);
        // The row's own channel is not a duplicate.
        QVERIFY(!c.bindChannel(0, choice(QStringLiteral("5"))));
        QCOMPARE(c.ports[0].channel, QStringLiteral("5"));
    }

    // "-" and text that is not a number count as channel 0 on both sides.
    void bindNonNumericChannelsCollideAsZero() {
        DeviceConfiguration c;
        c.resetPortTable();
        const auto refusal = c.bindChannel(0, choice(QStringLiteral("x")));
        QVERIFY(refusal);
        QVERIFY(refusal->startsWith(QStringLiteral("\"x\"")));
    }

    void unassign() {
        DeviceConfiguration c;
        c.resetPortTable();
        for (int row : {1, 3, 5})
            QVERIFY(!c.bindChannel(row, choice(QString::number(row + 10))));
        c.setRefreshed(true);
        QSignalSpy spy(&c, &DeviceConfiguration::refreshedChanged);

        c.unassignPorts({});
        QVERIFY(c.isRefreshed());
        QCOMPARE(spy.count(), 0);

        c.unassignPorts({5, 1});
        QVERIFY(!c.isRefreshed());
        QVERIFY(c.isTrunkRefreshed());
        QCOMPARE(spy.count(), 1);
        for (int row : {1, 5}) {
            QCOMPARE(c.ports[row].portNumber, QString::number(row + 1));
            for (int col = 1; col < PortEntry::FieldCount; ++col)
                QCOMPARE(c.ports[row].field(col), text::None);
        }
        QCOMPARE(c.ports[3].channel, QStringLiteral("13"));
        QCOMPARE(c.ports.size(), 24);
    }

    void markWrittenClearsRemarks() {
        DeviceConfiguration c;
        c.resetPortTable();
        c.ports[0].remark = text::Added;
        c.ports[1].remark = text::Modified;
        c.setTrunkRefreshed(false);
        c.markWritten();
        QVERIFY(c.isRefreshed());
        QVERIFY(c.isTrunkRefreshed());
        for (const PortEntry& e : c.ports)
            QVERIFY(e.remark.isEmpty());
    }

    void numberFromText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("value");
        QTest::newRow("leading zeros") << "00000001" << 1u;
        QTest::newRow("plain") << "123456" << 123456u;
        QTest::newRow("letters only") << "ABC" << 0u;
        QTest::newRow("hex digits mixed") << "12AB" << 0u;
        QTest::newRow("empty") << "" << 0u;
        QTest::newRow("dash") << "-" << 0u;
        QTest::newRow("blank inside") << "1 2" << 0u;
        QTest::newRow("too large") << "99999999999" << 0u;
    }

    void numberFromText() {
        QFETCH(QString, text);
        QFETCH(uint, value);
        QCOMPARE(serialNumberFromText(text), value);
        QCOMPARE(addressFromText(text), value);
    }

    void serialNumberTakesUnsignedRange_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("value");
        QTest::newRow("past the signed range") << "3000000000" << 3000000000u;
        QTest::newRow("largest") << "4294967295" << 4294967295u;
        QTest::newRow("one too large") << "4294967296" << 0u;
    }

    void serialNumberTakesUnsignedRange() {
        QFETCH(QString, text);
        QFETCH(uint, value);
        QCOMPARE(serialNumberFromText(text), value);
    }

    void hexValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<uint>("value");
        QTest::newRow("six digits") << "00012C" << true << 300u;
        QTest::newRow("lower case") << "ff" << true << 255u;
        QTest::newRow("empty") << "" << false << 0u;
        QTest::newRow("dash") << "-" << false << 0u;
        QTest::newRow("not hex") << "12G" << false << 0u;
    }

    void hexValue() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(uint, value);
        const auto v = korvane::hexValue(text);
        QCOMPARE(v.has_value(), valid);
        if (valid)
            QCOMPARE(*v, value);
    }
};

QTEST_GUILESS_MAIN(TestDeviceConfiguration)
#include "test_device_configuration.moc"
