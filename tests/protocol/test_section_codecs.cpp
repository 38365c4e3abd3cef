// SPDX-License-Identifier: MIT
#include "protocol/PortTableCodec.h"
#include "protocol/SectionCodecs.h"

#include "ByteVectors.h"

#include <QtTest>

using namespace korvane;
using namespace korvane::testing;

namespace {

const QString Single = QStringLiteral("KORVANE");
const QString AB = QStringLiteral("KORVANEA/B");

// Whether the decoder of the answer's code takes it.
bool Decodes(int code, const ByteBuffer& f, const QString& model) {
    return code == 0x08   ? !!decodeReadAddress(f)
           : code == 0x18 ? !!decodeReadSerialNumber(f)
           : code == 0x38 ? !!decodeReadGps(f)
           : code == 0x48 ? !!decodeReadTrunkAttributes(f, {})
           : code == 0x58 ? !!decodeReadTrunkDelay(f, model, {})
                          : !!decodeReadPortParams(f, model);
}

TrunkParams trunk(int port, int clock, int data, int carrier, int enabled = 0, int a = 0,
                  int b = 0) {
    return TrunkParams{port, clock, data, carrier, enabled, a, b};
}

} // namespace

namespace korvane {
char* toString(const TrunkParams& t) {
    return qstrdup(QStringLiteral("port %1 clock %2 data %3 carrier %4 delay %5 A %6 B %7")
                       .arg(t.trunkPort)
                       .arg(t.clockPolarity)
                       .arg(t.dataPolarity)
                       .arg(t.carrierLevel)
                       .arg(t.delayEnabled)
                       .arg(t.delayCyclesA)
                       .arg(t.delayCyclesB)
                       .toUtf8()
                       .constData());
}
} // namespace korvane

class TestSectionCodecs : public QObject {
    Q_OBJECT
private slots:
    void setAddress_data() {
        QTest::addColumn<uint>("serial");
        QTest::addColumn<uint>("address");
        QTest::addColumn<ByteBuffer>("payload");
        QTest::newRow("serial with frame bytes, address 5")
            << 0x7C007E01u << 5u << Bytes({0x01, 0x7E, 0x00, 0x7C, 0x05, 0x00, 0x00});
        QTest::newRow("largest address")
            << 0xFFFFFFFFu << 0xFFFFFFu << Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
        QTest::newRow("address keeps its low 24 bits")
            << 1u << 0x12345678u << Bytes({0x01, 0x00, 0x00, 0x00, 0x78, 0x56, 0x34});
        QTest::newRow("zeros sent unchanged") << 0u << 0u << Repeat(0, 7);
    }

    void setAddress() {
        QFETCH(uint, serial);
        QFETCH(uint, address);
        QFETCH(ByteBuffer, payload);
        QCOMPARE(Hex(encodeSetAddress(serial, address)), Hex(payload));
    }

    void addressAndSerial() {
        QCOMPARE(decodeReadAddress(response(0x08, Bytes({0x56, 0x34, 0x12}))), 0x123456u);
        QCOMPARE(decodeReadSerialNumber(response(0x18, Bytes({0x01, 0x02, 0x03, 0x84}))),
                 0x84030201u);
    }

    // Every decoder takes only its own payload length (for the model, where that
    // matters); anything else, an empty answer too, is a count error.
    void scheduleBlocks() {
        // 130 entries: block 2 holds entries 128 and 129, then 62 bytes of 0xFF.
        ScheduleTable t;
        for (int i = 0; i < 130; ++i)
            t.push_back(std::uint8_t(i));
        std::vector<std::uint8_t> expected{0x70, 0x11, 0x01, 0x02, 128, 129};
        expected.resize(68, 0xFF);
        QCOMPARE(Hex(scheduleBlockPayload(70000, 2, t)), Hex(expected));

        const std::vector<std::uint8_t> block1 = scheduleBlockPayload(70000, 1, t);
        QCOMPARE(block1.size(), std::size_t(68));
        QCOMPARE(int(block1[3]), 1);
        QCOMPARE(int(block1[4]), 64);
        QCOMPARE(int(block1[67]), 127);

        std::vector<std::uint8_t> three{0x01, 0x00, 0x00, 0x00, 0x02, 0xFF, 0x00};
        three.resize(68, 0xFF);
        QCOMPARE(Hex(scheduleBlockPayload(1, 0, ScheduleTable{2, 255, 0})), Hex(three));
    }

    void decodersRefuseOtherLengths() {
        const struct {
            int code;
            QString model;
            QList<int> lengths;
        } decoders[] = {
            {0x08, Single, {2, 4}},        {0x18, Single, {3, 5}}, {0x38, Single, {1, 3}},
            {0x48, Single, {4, 6}},        {0x58, Single, {7}},    {0x58, AB, {4}},
            {0x28, Single, {88, 90, 161}}, {0x28, AB, {89, 160}},
        };
        for (const auto& d : decoders) {
            QVERIFY(!Decodes(d.code, {}, d.model));
            for (int n : d.lengths)
                QVERIFY2(!Decodes(d.code, response(d.code, Repeat(0x55, std::size_t(n))), d.model),
                         qPrintable(QStringLiteral("code %1, %2 bytes").arg(d.code).arg(n)));
        }
    }

    void gpsEncode_data() {
        QTest::addColumn<int>("enabled");
        QTest::addColumn<int>("polarity");
        QTest::addColumn<ByteBuffer>("payload");
        QTest::newRow("on positive") << 1 << 0 << Bytes({0x55, 0x55});
        QTest::newRow("on negative") << 1 << 1 << Bytes({0x55, 0xAA});
        QTest::newRow("off positive") << 0 << 0 << Bytes({0xAA, 0x55});
        QTest::newRow("off negative") << 0 << 1 << Bytes({0xAA, 0xAA});
    }

    void gpsEncode() {
        QFETCH(int, enabled);
        QFETCH(int, polarity);
        QFETCH(ByteBuffer, payload);
        QCOMPARE(Hex(encodeWriteGps(GpsParams{enabled, polarity})), Hex(payload));
        const auto back = decodeReadGps(response(0x38, payload));
        QVERIFY(back);
        QCOMPARE(*back, (GpsParams{enabled, polarity}));
    }

    // Only 0x55 counts; any other byte is the other value.
    void gpsDecode_data() {
        QTest::addColumn<ByteBuffer>("frame");
        QTest::addColumn<int>("enabled");
        QTest::addColumn<int>("polarity");
        QTest::newRow("55 AA enabled negative") << response(0x38, Bytes({0x55, 0xAA})) << 1 << 1;
        QTest::newRow("00 55 disabled positive") << response(0x99, Bytes({0x00, 0x55})) << 0 << 0;
        QTest::newRow("00 00 disabled negative") << response(0x38, Bytes({0x00, 0x00})) << 0 << 1;
    }

    void gpsDecode() {
        QFETCH(ByteBuffer, frame);
        const auto gps = decodeReadGps(frame);
        QVERIFY(gps);
        QTEST(gps->gpsEnabled, "enabled");
        QTEST(gps->gpsPolarity, "polarity");
    }

    void trunkEncode_data() {
        QTest::addColumn<TrunkParams>("params");
        QTest::addColumn<ByteBuffer>("payload");
        QTest::newRow("automatic, all first states")
            << trunk(0, 0, 0, 0) << Bytes({0x55, 0xAA, 0x55, 0x55, 0x55});
        QTest::newRow("TA") << trunk(1, 0, 0, 0) << Bytes({0xAA, 0x55, 0x55, 0x55, 0x55});
        QTest::newRow("TB") << trunk(2, 0, 0, 0) << Bytes({0xAA, 0xAA, 0x55, 0x55, 0x55});
        QTest::newRow("clock negative")
            << trunk(0, 1, 0, 0) << Bytes({0x55, 0xAA, 0xAA, 0x55, 0x55});
        QTest::newRow("data negative")
            << trunk(0, 0, 1, 0) << Bytes({0x55, 0xAA, 0x55, 0xAA, 0x55});
        QTest::newRow("carrier low") << trunk(0, 0, 0, 1) << Bytes({0x55, 0xAA, 0x55, 0x55, 0xAA});
        QTest::newRow("unknown trunk port sent as automatic")
            << trunk(7, 1, 1, 1) << Bytes({0x55, 0xAA, 0xAA, 0xAA, 0xAA});
    }

    void trunkEncode() {
        QFETCH(TrunkParams, params);
        QFETCH(ByteBuffer, payload);
        QCOMPARE(Hex(encodeWriteTrunkAttributes(params)), Hex(payload));
    }

    // Byte 0 of 0x55 is automatic whatever byte 1 holds. The delay fields of the
    // model are kept.
    void trunkDecode_data() {
        QTest::addColumn<ByteBuffer>("payload");
        QTest::addColumn<TrunkParams>("expected");
        const auto kept = [](int port, int clock, int data, int carrier) {
            return trunk(port, clock, data, carrier, 1, 0x111111, 0x222222);
        };
        QTest::newRow("55 55 automatic")
            << Bytes({0x55, 0x55, 0x55, 0x55, 0x55}) << kept(0, 0, 0, 0);
        QTest::newRow("55 AA automatic")
            << Bytes({0x55, 0xAA, 0x55, 0x55, 0x55}) << kept(0, 0, 0, 0);
        QTest::newRow("55 00 automatic")
            << Bytes({0x55, 0x00, 0xAA, 0xAA, 0xAA}) << kept(0, 1, 1, 1);
        QTest::newRow("AA 55 TA") << Bytes({0xAA, 0x55, 0x55, 0x00, 0x55}) << kept(1, 0, 1, 0);
        QTest::newRow("00 55 TA") << Bytes({0x00, 0x55, 0x55, 0x55, 0x00}) << kept(1, 0, 0, 1);
        QTest::newRow("AA AA TB") << Bytes({0xAA, 0xAA, 0x55, 0x55, 0x55}) << kept(2, 0, 0, 0);
        QTest::newRow("00 00 TB") << Bytes({0x00, 0x00, 0x00, 0x55, 0x55}) << kept(2, 1, 0, 0);
    }

    void trunkDecode() {
        QFETCH(ByteBuffer, payload);
        QFETCH(TrunkParams, expected);
        const TrunkParams current = trunk(2, 1, 1, 1, 1, 0x111111, 0x222222);
        const auto t = decodeReadTrunkAttributes(response(0x48, payload), current);
        QVERIFY(t);
        QCOMPARE(*t, expected);
    }

    void delayEncode_data() {
        QTest::addColumn<TrunkParams>("params");
        QTest::addColumn<ByteBuffer>("payload");
        QTest::newRow("enabled, both cycles") << trunk(0, 0, 0, 0, 1, 0x123456, 0xABCDEF)
                                              << Bytes({0x55, 0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB});
        QTest::newRow("disabled, zero")
            << trunk(0, 0, 0, 0, 0, 0, 0) << Bytes({0xAA, 0, 0, 0, 0, 0, 0});
        QTest::newRow("cycles keep 24 bits") << trunk(0, 0, 0, 0, 1, 0x01FFFFFF, -1)
                                             << Bytes({0x55, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    }

    void delayEncode() {
        QFETCH(TrunkParams, params);
        QFETCH(ByteBuffer, payload);
        QCOMPARE(Hex(encodeWriteTrunkDelay(params)), Hex(payload));
    }

    // The model's own length decides whether cycle B comes with the answer.
    void delayDecode_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<ByteBuffer>("payload");
        QTest::addColumn<TrunkParams>("expected");
        QTest::newRow("single 7 bytes keeps cycle B") << Single << Bytes({0x55, 0x01, 0x02, 0x03})
                                                      << trunk(1, 1, 1, 1, 1, 0x030201, 0x222222);
        QTest::newRow("ab 10 bytes sets cycle B")
            << AB << Bytes({0x00, 0x01, 0x02, 0x03, 0xFF, 0xFE, 0xFD})
            << trunk(1, 1, 1, 1, 0, 0x030201, 0xFDFEFF);
    }

    void delayDecode() {
        QFETCH(QString, model);
        QFETCH(ByteBuffer, payload);
        QFETCH(TrunkParams, expected);
        const TrunkParams current = trunk(1, 1, 1, 1, 1, 0x111111, 0x222222);
        const auto t = decodeReadTrunkDelay(response(0x58, payload), model, current);
        QVERIFY(t);
        QCOMPARE(*t, expected);
    }
};

QTEST_GUILESS_MAIN(TestSectionCodecs)
#include "test_section_codecs.moc"
