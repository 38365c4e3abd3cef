// SPDX-License-Identifier: MIT
#include "link/Rfc2217Codec.h"

#include <QtTest>

#include <vector>

using namespace korvane;
using namespace korvane::rfc2217;

Q_DECLARE_METATYPE(korvane::ByteBuffer)

namespace {

QByteArray hex(const ByteBuffer& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()))
        .toHex(' ');
}

ByteBuffer bytesOf(const char* hexText) {
    const QByteArray raw = QByteArray::fromHex(QByteArray(hexText).replace(' ', ""));
    return ByteBuffer(raw.begin(), raw.end());
}

// What a whole stream yields, fed in pieces cut at the given offsets.
struct Outcome {
    Decoded decoded;
    bool accepted = false;
    bool refused = false;
    bool suspended = false;
};

Outcome feedInPieces(const ByteBuffer& stream, const std::vector<std::size_t>& cuts) {
    TelnetClient client;
    client.start();
    Outcome out;
    std::size_t from = 0;
    std::vector<std::size_t> ends = cuts;
    ends.push_back(stream.size());
    for (const std::size_t to : ends) {
        client.feed(std::span(stream).subspan(from, to - from), out.decoded);
        from = to;
    }
    out.accepted = client.comPortAccepted();
    out.refused = client.comPortRefused();
    out.suspended = client.suspended();
    return out;
}

} // namespace

class TestRfc2217Codec : public QObject {
    Q_OBJECT
private slots:
    void start() {
        TelnetClient client;
        QCOMPARE(hex(client.start()), hex(bytesOf("FFFB00 FFFB03 FFFB2C FFFD00 FFFD03")));
    }

    void encode_data() {
        QTest::addColumn<ByteBuffer>("wire");
        QTest::addColumn<ByteBuffer>("expected");
        const std::uint8_t data[] = {0x01, 0xFF, 0x02, 0xFF, 0xFF};
        QTest::addRow("data doubles 0xFF") << escapeData(data) << bytesOf("01 FFFF 02 FFFF FFFF");
        const auto rate9600 = baudRateValue(9600);
        QTest::addRow("baud 9600")
            << subnegotiation(SetBaudRate, rate9600) << bytesOf("FFFA2C 01 00002580 FFF0");
        const auto rateFf = baudRateValue(0x0001C2FF);
        QTest::addRow("baud value with 0xFF")
            << subnegotiation(SetBaudRate, rateFf) << bytesOf("FFFA2C 01 0001C2FFFF FFF0");
        const std::uint8_t mask[] = {0xFF};
        QTest::addRow("mask 255") << subnegotiation(SetModemStateMask, mask)
                                  << bytesOf("FFFA2C 0B FFFF FFF0");
        const std::uint8_t eight[] = {8};
        QTest::addRow("data size")
            << subnegotiation(SetDataSize, eight) << bytesOf("FFFA2C 02 08 FFF0");
    }
    void encode() {
        QFETCH(ByteBuffer, wire);
        QFETCH(ByteBuffer, expected);
        QCOMPARE(hex(wire), hex(expected));
    }

    void baudRateOf_() {
        QCOMPARE(baudRateOf(baudRateValue(19200)), std::optional<std::uint32_t>(19200));
        QCOMPARE(baudRateOf(bytesOf("0000FFFF")), std::optional<std::uint32_t>(65535));
        QCOMPARE(baudRateOf(bytesOf("03")), std::nullopt); // Cisco's one-byte index
    }

    // The server's stream, whole and cut at every byte: data, our replies, answers.
    void decode_data() {
        QTest::addColumn<ByteBuffer>("stream");
        QTest::addColumn<ByteBuffer>("data");
        QTest::addColumn<ByteBuffer>("reply");
        QTest::addColumn<ByteBuffer>("answers"); // command, value length, value; per answer
        QTest::addColumn<int>("state");          // 1 accepted, 2 refused, 0 neither; +4 suspended
        // ser2net's opening: our requests answered, ECHO refused, COM port taken.
        QTest::addRow("ser2net opening")
            << bytesOf("FFFB03 FFFD03 FFFB01 FFFE01 FFFD00 FFFB00 FFFD2C FFFA2C6B00FFF0")
            << ByteBuffer{} << bytesOf("FFFE01") << ByteBuffer{} << 1;
        QTest::addRow("requests already in effect get no answer")
            << bytesOf("FFFD00 FFFD00 FFFB00 FFFB00 FFFD2C FFFD2C") << ByteBuffer{} << ByteBuffer{}
            << ByteBuffer{} << 1;
        QTest::addRow("other options refused, once per request")
            << bytesOf("FFFD18 FFFB01 FFFD18 FFFE18 FFFC01") << ByteBuffer{}
            << bytesOf("FFFC18 FFFE01 FFFC18") << ByteBuffer{} << 0;
        QTest::addRow("COM port refused")
            << bytesOf("FFFE2C") << ByteBuffer{} << ByteBuffer{} << ByteBuffer{} << 2;
        QTest::addRow("COM port taken, then ended")
            << bytesOf("FFFD2C FFFE2C") << ByteBuffer{} << bytesOf("FFFC2C") << ByteBuffer{} << 2;
        QTest::addRow("server offers the COM port: refused")
            << bytesOf("FFFB2C") << ByteBuffer{} << bytesOf("FFFE2C") << ByteBuffer{} << 0;
        QTest::addRow("binary ended by the server")
            << bytesOf("FFFB00 FFFC00") << ByteBuffer{} << bytesOf("FFFE00") << ByteBuffer{} << 0;
        QTest::addRow("doubled 0xFF in data")
            << bytesOf("01 FFFF 02 FFFFFFFF 03") << bytesOf("01 FF 02 FF FF 03") << ByteBuffer{}
            << ByteBuffer{} << 0;
        QTest::addRow("settings answers")
            << bytesOf("FFFA2C 65 00004B00 FFF0 FFFA2C 66 08 FFF0 FFFA2C 67 01 FFF0 "
                       "FFFA2C 68 01 FFF0")
            << ByteBuffer{} << ByteBuffer{} << bytesOf("01 04 00004B00 02 01 08 03 01 01 04 01 01")
            << 0;
        QTest::addRow("0xFF doubled in an answer")
            << bytesOf("FFFA2C 65 0001C2FFFF FFF0") << ByteBuffer{} << ByteBuffer{}
            << bytesOf("01 04 0001C2FF") << 0;
        QTest::addRow("notifications ignored, data around them kept")
            << bytesOf("41 FFFA2C6B30FFF0 42 FFFA2C6A60FFF0 43") << bytesOf("41 42 43")
            << ByteBuffer{} << ByteBuffer{} << 0;
        QTest::addRow("flow suspended")
            << bytesOf("FFFA2C6CFFF0") << ByteBuffer{} << ByteBuffer{} << ByteBuffer{} << 4;
        QTest::addRow("flow suspended and resumed")
            << bytesOf("FFFA2C6CFFF0 FFFA2C6DFFF0") << ByteBuffer{} << ByteBuffer{} << ByteBuffer{}
            << 0;
        QTest::addRow("purge and control answers kept")
            << bytesOf("FFFA2C 70 03 FFF0 FFFA2C 69 01 FFF0") << ByteBuffer{} << ByteBuffer{}
            << bytesOf("0C 01 03 05 01 01") << 0;
        QTest::addRow("signature of another option ignored")
            << bytesOf("FFFA18 00 41 FFF0 44") << bytesOf("44") << ByteBuffer{} << ByteBuffer{}
            << 0;
        QTest::addRow("client codes from the server ignored")
            << bytesOf("FFFA2C 01 00002580 FFF0") << ByteBuffer{} << ByteBuffer{} << ByteBuffer{}
            << 0;
        QTest::addRow("subnegotiation cut short by a command")
            << bytesOf("FFFA2C 65 00 FFFD2C 55") << bytesOf("55") << ByteBuffer{} << ByteBuffer{}
            << 1;
        QTest::addRow("nop and go-ahead skipped")
            << bytesOf("FFF1 61 FFF9 62 FFF0 63") << bytesOf("61 62 63") << ByteBuffer{}
            << ByteBuffer{} << 0;
        ByteBuffer tooLong = bytesOf("FFFA2C 65");
        tooLong.insert(tooLong.end(), TelnetClient::MaxOptionValue + 10, 0x11);
        const ByteBuffer end = bytesOf("FFF0 70");
        tooLong.insert(tooLong.end(), end.begin(), end.end());
        QTest::addRow("overlong value dropped")
            << tooLong << bytesOf("70") << ByteBuffer{} << ByteBuffer{} << 0;
    }
    void decode() {
        QFETCH(ByteBuffer, stream);
        QFETCH(ByteBuffer, data);
        QFETCH(ByteBuffer, reply);
        QFETCH(ByteBuffer, answers);
        QFETCH(int, state);
        ByteBuffer flatAnswers;
        std::vector<std::vector<std::size_t>> cutsList{{}};
        for (std::size_t i = 1; i < stream.size(); ++i)
            cutsList.push_back({i});
        cutsList.push_back({});
        for (std::size_t i = 1; i < stream.size(); ++i)
            cutsList.back().push_back(i); // one byte at a time
        for (const auto& cuts : cutsList) {
            const Outcome out = feedInPieces(stream, cuts);
            const QByteArray where =
                "cut at " + QByteArray::number(cuts.empty() ? 0 : qulonglong(cuts.front())) +
                (cuts.size() > 1 ? " and every byte" : "");
            QVERIFY2(out.decoded.data == data, where + ": " + hex(out.decoded.data));
            QVERIFY2(out.decoded.reply == reply, where + ": " + hex(out.decoded.reply));
            flatAnswers.clear();
            for (const Answer& a : out.decoded.answers) {
                flatAnswers.push_back(a.command);
                flatAnswers.push_back(std::uint8_t(a.value.size()));
                flatAnswers.insert(flatAnswers.end(), a.value.begin(), a.value.end());
            }
            QVERIFY2(flatAnswers == answers, where + ": " + hex(flatAnswers));
            QCOMPARE(out.accepted, (state & 3) == 1);
            QCOMPARE(out.refused, (state & 3) == 2);
            QCOMPARE(out.suspended, (state & 4) != 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestRfc2217Codec)
#include "test_rfc2217_codec.moc"
