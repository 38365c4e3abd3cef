// SPDX-License-Identifier: MIT
#include "SimTestUtil.h"
#include "sim/DeviceEngine.h"

#include <QtTest>

using namespace korvane;
using namespace korvane::sim;
using namespace simtest;

Q_DECLARE_METATYPE(korvane::sim::Model)

namespace {

// A state whose every section is recognisable in the answers.
DeviceState knownState(Model model) {
    DeviceState s;
    s.model = model;
    s.address = 0x030201;
    s.serialNumber = 0x0A0B0C0D;
    s.portParams = range(0, int(portPayloadLength(model)) - 1);
    s.gps = bytes({0x55, 0xAA});
    s.trunk = bytes({0xAA, 0x55, 0x55, 0xAA, 0x55});
    s.trunkDelay = bytes({0x55, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
    return s;
}

template <typename Edit> SimulatorFaults faults(Edit edit) {
    SimulatorFaults f;
    edit(f);
    return f;
}

ByteBuffer request(int code) {
    return bytes({0x7E, code, 0x7F});
}

// The one answer the engine gives to frame, or an empty array for none.
ByteBuffer answerTo(DeviceEngine& engine, const ByteBuffer& frame) {
    const QList<Exchange> exchanges = engine.feed(frame);
    if (exchanges.size() != 1)
        return bytes({0xEE, int(exchanges.size())}); // never a valid answer
    return exchanges[0].answer;
}

std::size_t unescapedLength(const ByteBuffer& raw) {
    return unescapeFrame(raw).size();
}

ByteBuffer section(const DeviceState& s, const QString& name) {
    if (name == "address")
        return bytes({int(s.address & 0xFF), int((s.address >> 8) & 0xFF), int(s.address >> 16)});
    if (name == "ports")
        return s.portParams;
    if (name == "gps")
        return s.gps;
    if (name == "trunk")
        return s.trunk;
    if (name == "delay")
        return s.trunkDelay;
    if (name.startsWith("block ")) {
        const auto it = s.scheduleBlocks.find(std::uint8_t(name.mid(6).toInt()));
        return it == s.scheduleBlocks.end() ? ByteBuffer{} : it->second;
    }
    return bytes({0xEE});
}

const QList<int> ReadCodes{0x08, 0x18, 0x28, 0x38, 0x48, 0x58};

std::size_t expectedLength(Model model, int code) {
    switch (code) {
    case 0x08:
        return 6;
    case 0x18:
        return 7;
    case 0x28:
        return model == Model::Korvane ? 92 : 164;
    case 0x38:
        return 5;
    case 0x48:
        return 8;
    case 0x58:
        return model == Model::Korvane ? 7 : 10;
    }
    return 0;
}

void addModelCodeRows() {
    QTest::addColumn<Model>("model");
    QTest::addColumn<int>("code");
    for (Model m : {Model::Korvane, Model::KorvaneAB}) {
        for (int code : ReadCodes)
            QTest::addRow("%s %02X", qPrintable(modelLabel(m)), code) << m << code;
    }
}

} // namespace

class TestSimEngine : public QObject {
    Q_OBJECT
private slots:
    void readAnswerBytes_data() {
        QTest::addColumn<Model>("model");
        QTest::addColumn<int>("code");
        QTest::addColumn<ByteBuffer>("answer");

        for (Model m : {Model::Korvane, Model::KorvaneAB}) {
            const QByteArray name = modelLabel(m).toLatin1();
            QTest::addRow("%s address", name.data())
                << m << 0x08 << bytes({0x7E, 0x08, 0x01, 0x02, 0x03, 0x7F});
            QTest::addRow("%s serial", name.data())
                << m << 0x18 << bytes({0x7E, 0x18, 0x0D, 0x0C, 0x0B, 0x0A, 0x7F});
            QTest::addRow("%s gps", name.data())
                << m << 0x38 << bytes({0x7E, 0x38, 0x55, 0xAA, 0x7F});
            QTest::addRow("%s trunk", name.data())
                << m << 0x48 << bytes({0x7E, 0x48, 0xAA, 0x55, 0x55, 0xAA, 0x55, 0x7F});
        }
        QTest::newRow("KORVANE delay, cycle A only")
            << Model::Korvane << 0x58 << bytes({0x7E, 0x58, 0x55, 0x01, 0x02, 0x03, 0x7F});
        QTest::newRow("KORVANEA/B delay, both cycles")
            << Model::KorvaneAB << 0x58
            << bytes({0x7E, 0x58, 0x55, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x7F});
        // Payload bytes 0..88 need no escaping.
        QTest::newRow("KORVANE ports")
            << Model::Korvane << 0x28 << concat({bytes({0x7E, 0x28}), range(0, 88), bytes({0x7F})});
        // Payload bytes 0..160 pass 7C, 7E and 7F.
        QTest::newRow("KORVANEA/B ports escaped")
            << Model::KorvaneAB << 0x28
            << concat({bytes({0x7E, 0x28}), range(0, 0x7B),
                       bytes({0x7C, 0xD6, 0x7D, 0x7C, 0xD4, 0x7C, 0xD5}), range(0x80, 160),
                       bytes({0x7F})});
    }

    void readAnswerBytes() {
        QFETCH(Model, model);
        QFETCH(int, code);
        QFETCH(ByteBuffer, answer);
        DeviceEngine engine(knownState(model));
        QCOMPARE(hex(answerTo(engine, request(code))), hex(answer));
        QCOMPARE(unescapedLength(answer), expectedLength(model, code));
    }

    void escapedAnswerBytes_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<ByteBuffer>("answer");
        QTest::newRow("address 7F7E7C")
            << 0x08 << bytes({0x7E, 0x08, 0x7C, 0xD6, 0x7C, 0xD4, 0x7C, 0xD5, 0x7F});
        QTest::newRow("serial 7C7E7F01")
            << 0x18 << bytes({0x7E, 0x18, 0x01, 0x7C, 0xD5, 0x7C, 0xD4, 0x7C, 0xD6, 0x7F});
        QTest::newRow("gps 7E D4: D4 stays") << 0x38 << bytes({0x7E, 0x38, 0x7C, 0xD4, 0xD4, 0x7F});
        QTest::newRow("trunk with 7C")
            << 0x48 << bytes({0x7E, 0x48, 0x7C, 0xD6, 0x55, 0x55, 0x55, 0x7C, 0xD5, 0x7F});
    }

    void escapedAnswerBytes() {
        QFETCH(int, code);
        QFETCH(ByteBuffer, answer);
        DeviceState s;
        s.address = 0x7F7E7C;
        s.serialNumber = 0x7C7E7F01;
        s.gps = bytes({0x7E, 0xD4});
        s.trunk = bytes({0x7C, 0x55, 0x55, 0x55, 0x7F});
        DeviceEngine engine(s);
        const ByteBuffer got = answerTo(engine, request(code));
        QCOMPARE(hex(got), hex(answer));
        QCOMPARE(unescapedLength(got), expectedLength(Model::Korvane, code));
    }

    void initialStateAnswersEveryRead_data() { addModelCodeRows(); }

    void initialStateAnswersEveryRead() {
        QFETCH(Model, model);
        QFETCH(int, code);
        DeviceEngine engine(DeviceState::initial(model));
        const ByteBuffer answer = answerTo(engine, request(code));
        QVERIFY(isAcceptableFrame(answer));
        QCOMPARE(answer[1], std::uint8_t(code));
        QCOMPARE(unescapedLength(answer), expectedLength(model, code));
    }

    // The start ports' contents are read back literally through the tool's reader in
    // its own test; here only that their answer meets the reader with escaped bytes.
    void initialPortAnswerIsEscaped_data() {
        QTest::addColumn<Model>("model");
        QTest::newRow("KORVANE") << Model::Korvane;
        QTest::newRow("KORVANEA/B") << Model::KorvaneAB;
    }
    void initialPortAnswerIsEscaped() {
        QFETCH(Model, model);
        QCOMPARE(DeviceState::initial(model).portParams.size(), portPayloadLength(model));
        DeviceEngine engine(DeviceState::initial(model));
        QVERIFY(answerTo(engine, request(0x28)).size() > expectedLength(model, 0x28));
    }

    void writes_data() {
        QTest::addColumn<Model>("model");
        QTest::addColumn<ByteBuffer>("frame");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("field");
        QTest::addColumn<ByteBuffer>("value"); // the field afterwards when stored

        const auto K = Model::Korvane;
        const auto AB = Model::KorvaneAB;
        const ByteBuffer ports89 = range(0x30, 0x30 + 88);
        const ByteBuffer ports161 = range(0x10, 0x10 + 160); // holds 7C, 7E, 7F
        const ByteBuffer block = range(0x7A, 0x7A + 63);

        QTest::newRow("gps own address")
            << K << bytes({0x7E, 0x37, 0x01, 0x00, 0x00, 0xAA, 0x55, 0x7F}) << true << "gps"
            << bytes({0xAA, 0x55});
        QTest::newRow("gps other address")
            << K << bytes({0x7E, 0x37, 0x02, 0x00, 0x00, 0xAA, 0x55, 0x7F}) << false << "gps"
            << ByteBuffer{};
        QTest::newRow("gps address high byte differs")
            << K << bytes({0x7E, 0x37, 0x01, 0x00, 0x01, 0xAA, 0x55, 0x7F}) << false << "gps"
            << ByteBuffer{};
        QTest::newRow("gps 3 bytes")
            << K << bytes({0x7E, 0x37, 0x01, 0x00, 0x00, 0xAA, 0x55, 0x00, 0x7F}) << false << "gps"
            << ByteBuffer{};
        QTest::newRow("gps escaped payload")
            << K << bytes({0x7E, 0x37, 0x01, 0x00, 0x00, 0x7C, 0xD4, 0x7C, 0xD5, 0x7F}) << true
            << "gps" << bytes({0x7E, 0x7F});
        QTest::newRow("trunk") << K
                               << addressedFrame(1, 0x47, bytes({0xAA, 0xAA, 0xAA, 0x55, 0xAA}))
                               << true << "trunk" << bytes({0xAA, 0xAA, 0xAA, 0x55, 0xAA});
        QTest::newRow("trunk 4 bytes")
            << K << addressedFrame(1, 0x47, bytes({0xAA, 0xAA, 0xAA, 0x55})) << false << "trunk"
            << ByteBuffer{};
        QTest::newRow("trunk other address")
            << K << addressedFrame(0x010000 | 1, 0x47, bytes({1, 2, 3, 4, 5})) << false << "trunk"
            << ByteBuffer{};
        QTest::newRow("delay on KORVANE keeps cycle B")
            << K << addressedFrame(1, 0x57, bytes({0xAA, 1, 2, 3, 4, 5, 6})) << true << "delay"
            << bytes({0xAA, 1, 2, 3, 4, 5, 6});
        QTest::newRow("delay on KORVANEA/B")
            << AB << addressedFrame(1, 0x57, bytes({0xAA, 1, 2, 3, 4, 5, 6})) << true << "delay"
            << bytes({0xAA, 1, 2, 3, 4, 5, 6});
        QTest::newRow("delay 4 bytes") << K << addressedFrame(1, 0x57, bytes({0xAA, 1, 2, 3}))
                                       << false << "delay" << ByteBuffer{};
        QTest::newRow("ports 89 on KORVANE")
            << K << addressedFrame(1, 0x27, ports89) << true << "ports" << ports89;
        QTest::newRow("ports 161 on KORVANE")
            << K << addressedFrame(1, 0x27, ports161) << false << "ports" << ByteBuffer{};
        QTest::newRow("ports 161 on KORVANEA/B")
            << AB << addressedFrame(1, 0x27, ports161) << true << "ports" << ports161;
        QTest::newRow("ports 89 on KORVANEA/B")
            << AB << addressedFrame(1, 0x27, ports89) << false << "ports" << ByteBuffer{};
        QTest::newRow("ports other address")
            << K << addressedFrame(2, 0x27, ports89) << false << "ports" << ByteBuffer{};
        // The serial number 0x7C007E01 travels escaped: 01 7C D4 00 7C D6.
        QTest::newRow("set address, serial matches")
            << K << bytes({0x7E, 0x07, 0x01, 0x7C, 0xD4, 0x00, 0x7C, 0xD6, 0x05, 0x00, 0x00, 0x7F})
            << true << "address" << bytes({0x05, 0x00, 0x00});
        QTest::newRow("set address, other serial")
            << K << bytes({0x7E, 0x07, 0x02, 0x7C, 0xD4, 0x00, 0x7C, 0xD6, 0x05, 0x00, 0x00, 0x7F})
            << false << "address" << ByteBuffer{};
        QTest::newRow("set address, 6 bytes")
            << K << plainFrame(0x07, bytes({0x01, 0x7E, 0x00, 0x7C, 0x05, 0x00})) << false
            << "address" << ByteBuffer{};
        QTest::newRow("set address to 70000")
            << AB << plainFrame(0x07, bytes({0x01, 0x7E, 0x00, 0x7C, 0x70, 0x11, 0x01})) << true
            << "address" << bytes({0x70, 0x11, 0x01});
        QTest::newRow("schedule block 2")
            << K << plainFrame(0x87, concat({bytes({1, 0, 0, 2}), block})) << true << "block 2"
            << block;
        QTest::newRow("schedule block 255")
            << AB << plainFrame(0x87, concat({bytes({1, 0, 0, 255}), block})) << true << "block 255"
            << block;
        QTest::newRow("schedule block other address")
            << K << plainFrame(0x87, concat({bytes({2, 0, 0, 2}), block})) << false << "block 2"
            << ByteBuffer{};
        QTest::newRow("schedule block 63 entries")
            << K << plainFrame(0x87, concat({bytes({1, 0, 0, 2}), range(0, 62)})) << false
            << "block 2" << ByteBuffer{};
    }

    void writes() {
        QFETCH(Model, model);
        QFETCH(ByteBuffer, frame);
        QFETCH(bool, stored);
        QFETCH(QString, field);
        QFETCH(ByteBuffer, value);

        DeviceState before = DeviceState::initial(model);
        before.serialNumber = 0x7C007E01;
        DeviceEngine engine(before);
        const ByteBuffer answer = answerTo(engine, frame);
        // Every write is answered: 55 when stored, AA when refused.
        QCOMPARE(hex(answer), hex(bytes({0x7E, frame[1], stored ? 0x55 : 0xAA, 0x7F})));
        if (stored) {
            QCOMPARE(hex(section(engine.state(), field)), hex(value));
        } else {
            QVERIFY(engine.state() == before);
        }
    }

    // The address bytes of an addressed frame are sent raw even when they are the
    // start, end or escape byte; the device must not take them for framing.
    void rawAddressBytes_data() {
        QTest::addColumn<int>("address");
        QTest::newRow("126 (7E)") << 0x7E;
        QTest::newRow("127 (7F)") << 0x7F;
        QTest::newRow("7C 7F 7E") << 0x7E7F7C;
    }

    void rawAddressBytes() {
        QFETCH(int, address);
        DeviceState s;
        s.address = std::uint32_t(address);
        DeviceEngine engine(s);
        const ByteBuffer frame = addressedFrame(std::uint32_t(address), 0x37, bytes({0xAA, 0xAA}));
        QCOMPARE(frame.size(), std::size_t(8));
        QCOMPARE(hex(answerTo(engine, frame)), hex(bytes({0x7E, 0x37, 0x55, 0x7F})));
        QCOMPARE(hex(engine.state().gps), hex(bytes({0xAA, 0xAA})));
        // The next frame is read normally.
        QCOMPARE(
            hex(unescapeFrame(answerTo(engine, request(0x08)))),
            hex(bytes({0x7E, 0x08, address & 0xFF, (address >> 8) & 0xFF, address >> 16, 0x7F})));
    }

    void korvaneDelayAnswerAfterWrite() {
        for (Model m : {Model::Korvane, Model::KorvaneAB}) {
            DeviceEngine engine(DeviceState::initial(m));
            answerTo(engine,
                     addressedFrame(1, 0x57, bytes({0x55, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66})));
            const ByteBuffer expected =
                m == Model::Korvane
                    ? bytes({0x7E, 0x58, 0x55, 0x11, 0x22, 0x33, 0x7F})
                    : bytes({0x7E, 0x58, 0x55, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x7F});
            QCOMPARE(hex(answerTo(engine, request(0x58))), hex(expected));
        }
    }

    void setAddressMovesWrites() {
        DeviceEngine engine;
        const std::uint32_t serial = engine.state().serialNumber;
        const ByteBuffer setTo9 = plainFrame(
            0x07, bytes({int(serial & 0xFF), int((serial >> 8) & 0xFF), int((serial >> 16) & 0xFF),
                         int(serial >> 24), 0x09, 0x00, 0x00}));
        QCOMPARE(hex(answerTo(engine, setTo9)), hex(bytes({0x7E, 0x07, 0x55, 0x7F})));
        QCOMPARE(hex(answerTo(engine, request(0x08))),
                 hex(bytes({0x7E, 0x08, 0x09, 0x00, 0x00, 0x7F})));
        QCOMPARE(answerTo(engine, addressedFrame(1, 0x37, bytes({0xAA, 0xAA})))[2],
                 std::uint8_t(0xAA));
        QCOMPARE(answerTo(engine, addressedFrame(9, 0x37, bytes({0xAA, 0xAA})))[2],
                 std::uint8_t(0x55));
        QCOMPARE(
            answerTo(engine, plainFrame(0x87, concat({bytes({9, 0, 0, 0}), repeated(64, 3)})))[2],
            std::uint8_t(0x55));
        QCOMPARE(engine.state().scheduleBlocks.size(), std::size_t(1));
    }

    void splitting_data() {
        QTest::addColumn<ByteBuffer>("input");
        QTest::addColumn<QList<int>>("codes"); // answered codes in order; -1 for no answer

        QTest::newRow("junk before a frame")
            << bytes({0x00, 0x11, 0x7F, 0x7E, 0x08, 0x7F}) << QList<int>{0x08};
        QTest::newRow("two frames at once")
            << bytes({0x7E, 0x08, 0x7F, 0x7E, 0x18, 0x7F}) << QList<int>{0x08, 0x18};
        QTest::newRow("start byte restarts")
            << bytes({0x7E, 0x28, 0x00, 0x7E, 0x08, 0x7F}) << QList<int>{0x08};
        QTest::newRow("empty frame") << bytes({0x7E, 0x7F}) << QList<int>{-1};
        QTest::newRow("unknown code") << bytes({0x7E, 0x99, 0x7F}) << QList<int>{-1};
        QTest::newRow("read with payload") << bytes({0x7E, 0x08, 0x00, 0x7F}) << QList<int>{-1};
        QTest::newRow("write code 17 unknown") << bytes({0x7E, 0x17, 0x00, 0x7F}) << QList<int>{-1};
        // An escape left open before the end byte is dropped: one GPS byte, refused.
        QTest::newRow("escape before end")
            << bytes({0x7E, 0x37, 0x01, 0x00, 0x00, 0x55, 0x7C, 0x7F}) << QList<int>{0x37};
        ByteBuffer overlong = concat({bytes({0x7E, 0x87}), repeated(600, 0x00), bytes({0x7F})});
        QTest::newRow("overlong frame dropped")
            << concat({overlong, bytes({0x7E, 0x08, 0x7F})}) << QList<int>{0x08};
    }

    void splitting() {
        QFETCH(ByteBuffer, input);
        QFETCH(QList<int>, codes);

        // Whole, and byte by byte: the same frames.
        for (bool byteByByte : {false, true}) {
            DeviceEngine engine;
            QList<Exchange> exchanges;
            if (byteByByte) {
                for (std::uint8_t b : input) {
                    if (auto e = engine.push(b))
                        exchanges.append(*e);
                }
            } else {
                exchanges = engine.feed(input);
            }
            QCOMPARE(exchanges.size(), codes.size());
            for (qsizetype i = 0; i < codes.size(); ++i) {
                if (codes[i] < 0) {
                    QVERIFY(exchanges[i].answer.empty());
                } else {
                    QVERIFY(!exchanges[i].answer.empty());
                    QCOMPARE(int(exchanges[i].answer[1]), codes[i]);
                }
            }
        }
    }

    void exchangeKeepsRequest() {
        DeviceEngine engine;
        const ByteBuffer frame = bytes({0x7E, 0x37, 0x7E, 0x00, 0x00, 0x7C, 0xD4, 0x55, 0x7F});
        const QList<Exchange> exchanges = engine.feed(frame);
        QCOMPARE(exchanges.size(), 1);
        QCOMPARE(hex(exchanges[0].request.raw), hex(frame));
        QCOMPARE(exchanges[0].request.code, std::optional<std::uint8_t>(0x37));
        QCOMPARE(exchanges[0].request.address, std::optional<std::uint32_t>(0x7E));
        QCOMPARE(hex(exchanges[0].request.payload), hex(bytes({0x7E, 0x55})));
        QVERIFY(!exchanges[0].isReadAnswer);
        QVERIFY(engine.feed(request(0x38))[0].isReadAnswer);
    }

    void ignoredCodes() {
        DeviceEngine engine;
        engine.setFaults(SimulatorFaults::ignoring({0x28, 0x37}));
        const DeviceState before = engine.state();
        QVERIFY(answerTo(engine, request(0x28)).empty());
        QVERIFY(answerTo(engine, addressedFrame(1, 0x37, bytes({0xAA, 0xAA}))).empty());
        QVERIFY(engine.state() == before);
        QCOMPARE(answerTo(engine, request(0x08)).size(), std::size_t(6));
        QCOMPARE(
            hex(answerTo(engine, addressedFrame(1, 0x47, bytes({0xAA, 0xAA, 0xAA, 0xAA, 0xAA})))),
            hex(bytes({0x7E, 0x47, 0x55, 0x7F})));
    }

    void silent() {
        DeviceEngine engine;
        engine.setFaults(SimulatorFaults::fullySilent());
        const DeviceState before = engine.state();
        for (int code : ReadCodes)
            QVERIFY(answerTo(engine, request(code)).empty());
        QVERIFY(answerTo(engine, addressedFrame(1, 0x37, bytes({0xAA, 0xAA}))).empty());
        QVERIFY(answerTo(engine, plainFrame(0x87, concat({bytes({1, 0, 0, 0}), repeated(64, 1)})))
                    .empty());
        QVERIFY(engine.state() == before);
        engine.setFaults({});
        QCOMPARE(answerTo(engine, request(0x08)).size(), std::size_t(6));
    }

    void badEnd_data() { addModelCodeRows(); }

    void badEnd() {
        QFETCH(Model, model);
        QFETCH(int, code);
        DeviceState s = DeviceState::initial(model);
        s.address = 0x7F0000; // last payload byte 7F: escaped, so the answer still cannot end in 7F
        DeviceEngine engine(s);
        const ByteBuffer good = answerTo(engine, request(code));
        engine.setFaults(faults([](SimulatorFaults& f) { f.badEnd = true; }));
        const ByteBuffer bad = answerTo(engine, request(code));
        QVERIFY(!bad.empty());
        QVERIFY(bad.back() != 0x7F);
        QVERIFY(!checkFrame(bad.data(), bad.size()));
        QCOMPARE(hex(bad), hex(ByteBuffer(good.begin(), good.end() - 1)));
    }

    void wrongLength_data() { addModelCodeRows(); }

    void wrongLength() {
        QFETCH(Model, model);
        QFETCH(int, code);
        DeviceEngine engine(DeviceState::initial(model));
        engine.setFaults(
            faults([](SimulatorFaults& f) { f.wrongLength = SimulatorFaults::Length::OneLonger; }));
        const ByteBuffer longer = answerTo(engine, request(code));
        QVERIFY(isAcceptableFrame(longer));
        QCOMPARE(unescapedLength(longer), expectedLength(model, code) + 1);
        engine.setFaults(faults(
            [](SimulatorFaults& f) { f.wrongLength = SimulatorFaults::Length::OneShorter; }));
        const ByteBuffer shorter = answerTo(engine, request(code));
        QVERIFY(isAcceptableFrame(shorter));
        QCOMPARE(unescapedLength(shorter), expectedLength(model, code) - 1);
    }

    void answerFaultsLeaveWritesAlone() {
        DeviceEngine engine;
        engine.setFaults(faults([](SimulatorFaults& f) {
            f.badEnd = true;
            f.wrongLength = SimulatorFaults::Length::OneLonger;
        }));
        QCOMPARE(hex(answerTo(engine, addressedFrame(1, 0x37, bytes({0xAA, 0xAA})))),
                 hex(bytes({0x7E, 0x37, 0x55, 0x7F})));
        QCOMPARE(hex(engine.state().gps), hex(bytes({0xAA, 0xAA})));
    }

    void setStateFitsLengths() {
        DeviceState s;
        s.model = Model::KorvaneAB;
        s.address = 0x12345678;
        s.portParams = bytes({1, 2});
        s.gps.clear();
        s.trunkDelay = repeated(9, 1);
        DeviceEngine engine(s);
        QCOMPARE(engine.state().address, 0x345678u);
        QCOMPARE(engine.state().portParams.size(), PortPayloadLengthKorvaneAB);
        QCOMPARE(unescapedLength(answerTo(engine, request(0x28))), std::size_t(164));
        QCOMPARE(unescapedLength(answerTo(engine, request(0x38))), std::size_t(5));
        QCOMPARE(unescapedLength(answerTo(engine, request(0x58))), std::size_t(10));
    }

    void setModelKeepsOrFitsPorts() {
        DeviceState s;
        s.setModel(Model::KorvaneAB);
        QCOMPARE(hex(s.portParams), hex(initialPortPayload(Model::KorvaneAB)));
        s.portParams = repeated(161, 0x11);
        s.setModel(Model::Korvane);
        QCOMPARE(hex(s.portParams), hex(repeated(89, 0x11)));
        s.setModel(Model::KorvaneAB);
        QCOMPARE(hex(s.portParams), hex(concat({repeated(89, 0x11), repeated(72, 0x00)})));
    }
};

QTEST_GUILESS_MAIN(TestSimEngine)
#include "test_sim_engine.moc"
