// SPDX-License-Identifier: MIT
#include "protocol/Commands.h"

#include "ByteVectors.h"
#include "config/KorvaneError.h"
#include "protocol/PortTableCodec.h"
#include "protocol/SectionCodecs.h"

#include <QtTest>

#include <functional>

using namespace korvane;
using namespace korvane::testing;

namespace {

const QString Single = QStringLiteral("KORVANE");
const QString AB = QStringLiteral("KORVANEA/B");
const QString NoResponse =
    QStringLiteral("请检查Korvane是否加电，连线是否连上，通讯端口是否设对？");
const QString Malformed = QStringLiteral("参数返回有错误！");
const QString Orlendis = QStringLiteral("Orlendis");

int lengthOrNone(const std::optional<std::size_t>& n) {
    return n ? int(*n) : -1;
}

} // namespace

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    // -1 stands for "any response".
    void commandTable_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("wire");
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("single");
        QTest::addColumn<int>("ab");
        QTest::newRow("SetAddress") << int(command::SetAddress) << 0x07 << false << -1 << -1;
        QTest::newRow("ReadAddress") << int(command::ReadAddress) << 0x08 << true << 6 << 6;
        QTest::newRow("ReadSerialNumber")
            << int(command::ReadSerialNumber) << 0x18 << true << 7 << 7;
        QTest::newRow("WritePortParams")
            << int(command::WritePortParams) << 0x27 << false << -1 << -1;
        QTest::newRow("ReadPortParams")
            << int(command::ReadPortParams) << 0x28 << true << 92 << 164;
        QTest::newRow("WriteGps") << int(command::WriteGps) << 0x37 << false << -1 << -1;
        QTest::newRow("ReadGps") << int(command::ReadGps) << 0x38 << true << 5 << 5;
        QTest::newRow("WriteTrunkAttributes")
            << int(command::WriteTrunkAttributes) << 0x47 << false << -1 << -1;
        QTest::newRow("ReadTrunkAttributes")
            << int(command::ReadTrunkAttributes) << 0x48 << true << 8 << 8;
        QTest::newRow("WriteTrunkDelay")
            << int(command::WriteTrunkDelay) << 0x57 << false << -1 << -1;
        QTest::newRow("ReadTrunkDelay") << int(command::ReadTrunkDelay) << 0x58 << true << 7 << 10;
        QTest::newRow("WriteScheduleBlock")
            << int(command::WriteScheduleBlock) << 0x87 << false << -1 << -1;
    }

    void commandTable() {
        QFETCH(int, code);
        QFETCH(int, wire);
        QFETCH(bool, read);
        QCOMPARE(code, wire);
        const auto c = std::uint8_t(code);
        QCOMPARE(isReadCommand(c), read);
        QTEST(lengthOrNone(expectedResponseLength(c, Single)), "single");
        QTEST(lengthOrNone(expectedResponseLength(c, AB)), "ab");
        if (read)
            QCOMPARE(Hex(readRequest(c)), Hex(Bytes({0x7E, wire, 0x7F})));
    }

    void modelFromProbeLength_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("model");
        QTest::newRow("92") << 92 << Single;
        QTest::newRow("164") << 164 << AB;
        QTest::newRow("93") << 93 << QStringLiteral("0");
        QTest::newRow("91") << 91 << QStringLiteral("0");
        QTest::newRow("0") << 0 << QStringLiteral("0");
    }

    void modelFromProbeLength() {
        QFETCH(int, length);
        QTEST(modelFromPortResponseLength(std::size_t(length)), "model");
    }

    void modelFromProbeAnswer() {
        const ByteBuffer single = plainFrame(command::ReadPortParams, Repeat(0, 89));
        QCOMPARE(korvane::modelFromProbeAnswer(single), QStringLiteral("KORVANE"));
        // Escapes count once unescaped; the raw answer stays within 300 bytes.
        const ByteBuffer ab =
            plainFrame(command::ReadPortParams, Concat({Repeat(0x7E, 20), Repeat(0, 141)}));
        QCOMPARE(ab.size(), std::size_t(184));
        QCOMPARE(korvane::modelFromProbeAnswer(ab), QStringLiteral("KORVANEA/B"));
        ByteBuffer unended = single;
        unended.back() = 0;
        QCOMPARE(korvane::modelFromProbeAnswer(unended), QStringLiteral("0"));
        QCOMPARE(korvane::modelFromProbeAnswer(ByteBuffer{}), QStringLiteral("0"));
    }

    // wantText empty: accepted with the unescaped frame wantFrame.
    void readCheck_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<ByteBuffer>("raw");
        QTest::addColumn<ByteBuffer>("wantFrame");
        QTest::addColumn<QString>("wantText");
        QTest::addColumn<QString>("wantCaption");

        const ByteBuffer none;
        const ByteBuffer port92 = response(0x28, Repeat(0, 89));
        const ByteBuffer port164 = response(0x28, Repeat(0, 161));

        const auto noResponse = [&](const char* name, int code, const QString& model) {
            QTest::newRow(name) << code << model << false << none << none << NoResponse
                                << QStringLiteral("通讯错误") + QString::fromLatin1(name).right(2);
        };
        noResponse("no response 28", 0x28, Single);
        noResponse("no response 58", 0x58, AB);
        noResponse("caption code padded, upper case: 0A", 0x0A, Single);
        noResponse("no response with unknown model: 28", 0x28, QStringLiteral("0"));

        QTest::newRow("empty block")
            << 0x08 << Single << true << none << none << Malformed << Orlendis;
        QTest::newRow("bad start") << 0x08 << Single << true << Bytes({0x00, 0x08, 1, 2, 3, 0x7F})
                                   << none << Malformed << Orlendis;
        QTest::newRow("bad end") << 0x08 << Single << true << Bytes({0x7E, 0x08, 1, 2, 3, 0x7E})
                                 << none << Malformed << Orlendis;
        QTest::newRow("frame followed by junk")
            << 0x38 << Single << true << Bytes({0x7E, 0x38, 0x55, 0xAA, 0x7F, 0x00}) << none
            << Malformed << Orlendis;
        QTest::newRow("301 raw bytes") << 0x28 << Single << true << response(0x28, Repeat(0, 298))
                                       << none << Malformed << Orlendis;
        // 300 raw bytes is still judged; it then fails on its length.
        QTest::newRow("300 raw bytes")
            << 0x28 << Single << true << response(0x28, Repeat(0, 297)) << none
            << QStringLiteral("端口参数返回数量错误！\"300") << Orlendis;
        QTest::newRow("frame check before unknown model")
            << 0x28 << QStringLiteral("0") << true << Bytes({0x7E, 0x28}) << none << Malformed
            << Orlendis;

        QTest::newRow("address count")
            << 0x08 << Single << true << response(0x08, Repeat(1, 4)) << none
            << QStringLiteral("地址参数返回数量错误！\"7") << Orlendis;
        QTest::newRow("serial count") << 0x18 << AB << true << response(0x18, Repeat(1, 3)) << none
                                      << QStringLiteral("序列号参数返回数量错误！\"6") << Orlendis;
        QTest::newRow("port count single got 164")
            << 0x28 << Single << true << port164 << none
            << QStringLiteral("端口参数返回数量错误！\"164") << Orlendis;
        QTest::newRow("port count ab got 92")
            << 0x28 << AB << true << port92 << none << QStringLiteral("端口参数返回数量错误！\"92")
            << Orlendis;
        QTest::newRow("gps count")
            << 0x38 << Single << true << response(0x38, Bytes({0x55})) << none
            << QStringLiteral("GPS参数返回数量错误！\"4") << Orlendis;
        QTest::newRow("trunk count")
            << 0x48 << Single << true << response(0x48, Repeat(0x55, 6)) << none
            << QStringLiteral("干线参数返回数量错误！\"9") << Orlendis;
        QTest::newRow("delay count single got 10")
            << 0x58 << Single << true << response(0x58, Repeat(0, 7)) << none
            << QStringLiteral("延时参数返回数量错误！\"10") << Orlendis;
        QTest::newRow("delay count ab got 7")
            << 0x58 << AB << true << response(0x58, Repeat(0, 4)) << none
            << QStringLiteral("延时参数返回数量错误！\"7") << Orlendis;
        // Counted after unescaping: 5 raw bytes are 4 unescaped ones, 7 raw bytes 5.
        QTest::newRow("count is unescaped length")
            << 0x38 << Single << true << Bytes({0x7E, 0x38, 0x7C, 0xD4, 0x7F}) << none
            << QStringLiteral("GPS参数返回数量错误！\"4") << Orlendis;
        QTest::newRow("gps ok, escaped bytes")
            << 0x38 << Single << true << Bytes({0x7E, 0x38, 0x7C, 0xD4, 0x7C, 0xD5, 0x7F})
            << Bytes({0x7E, 0x38, 0x7E, 0x7F, 0x7F}) << QString() << QString();

        QTest::newRow("address ok with escape")
            << 0x08 << Single << true << Bytes({0x7E, 0x08, 0x01, 0x7C, 0xD4, 0x00, 0x7F})
            << Bytes({0x7E, 0x08, 0x01, 0x7E, 0x00, 0x7F}) << QString() << QString();
        QTest::newRow("port ok single")
            << 0x28 << Single << true << port92 << port92 << QString() << QString();
        QTest::newRow("port ok ab")
            << 0x28 << AB << true << port164 << port164 << QString() << QString();
        QTest::newRow("delay ok single") << 0x58 << Single << true << response(0x58, Repeat(0, 4))
                                         << response(0x58, Repeat(0, 4)) << QString() << QString();
        QTest::newRow("delay ok ab") << 0x58 << AB << true << response(0x58, Repeat(0, 7))
                                     << response(0x58, Repeat(0, 7)) << QString() << QString();
        QTest::newRow("second byte not examined")
            << 0x18 << Single << true << response(0x00, Bytes({1, 2, 3, 4}))
            << response(0x00, Bytes({1, 2, 3, 4})) << QString() << QString();
    }

    void readCheck() {
        QFETCH(int, code);
        QFETCH(QString, model);
        QFETCH(bool, answered);
        QFETCH(ByteBuffer, raw);
        QFETCH(ByteBuffer, wantFrame);
        QFETCH(QString, wantText);
        QFETCH(QString, wantCaption);

        // Handed over the way a transaction returns it: the block or nothing.
        const std::optional<ByteBuffer> block =
            answered ? std::optional<ByteBuffer>(raw) : std::nullopt;
        const ReadResponse r = checkReadResponse(std::uint8_t(code), model, block);
        if (wantText.isEmpty()) {
            QVERIFY(r.isOk());
            QCOMPARE(Hex(r.frame), Hex(wantFrame));
        } else {
            QVERIFY(!r.isOk());
            QCOMPARE(r.error->text, wantText);
            QCOMPARE(r.error->caption, wantCaption);
            QVERIFY(r.frame.empty());
        }
    }

    void modelGuard_data() {
        QTest::addColumn<QString>("model");
        QTest::newRow("unidentified") << QStringLiteral("0");
        QTest::newRow("empty") << QString();
        QTest::newRow("lower case") << QStringLiteral("korvane");
        QTest::newRow("trailing space") << QStringLiteral("KORVANE ");
        QTest::newRow("other label") << QStringLiteral("KORVANEA");
    }

    void modelGuard() {
        QFETCH(QString, model);
        const ByteBuffer portFrame = response(0x28, Repeat(0, 89));
        const ByteBuffer delayFrame = response(0x58, Repeat(0, 4));
        const auto refused = [](const char* name, const std::function<void()>& use) {
            try {
                use();
            } catch (const KorvaneError& e) {
                QCOMPARE(e.message(), QStringLiteral("Korvane 版本错误！"));
                return;
            }
            QFAIL(name);
        };
        refused("LayoutOf", [&] { layoutOf(model); });
        refused("port length", [&] { expectedResponseLength(command::ReadPortParams, model); });
        refused("delay length", [&] { expectedResponseLength(command::ReadTrunkDelay, model); });
        refused("port payload size", [&] { portParamsPayloadSize(model); });
        refused("encode ports", [&] { encodeWritePortParams({}, model); });
        refused("decode ports", [&] { decodeReadPortParams(portFrame, model); });
        refused("decode delay", [&] { decodeReadTrunkDelay(delayFrame, model, {}); });
        refused("check port response", [&] { checkReadResponse(0x28, model, portFrame); });
        refused("check delay response", [&] { checkReadResponse(0x58, model, delayFrame); });
        // Layouts that do not depend on the model stay usable.
        QCOMPARE(lengthOrNone(expectedResponseLength(command::ReadGps, model)), 5);
        QVERIFY(checkReadResponse(0x38, model, response(0x38, Bytes({0x55, 0x55}))).isOk());
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "test_commands.moc"
