// SPDX-License-Identifier: MIT
#include "protocol/PortTableCodec.h"

#include "ByteVectors.h"
#include "config/DisplayTexts.h"

#include <QtTest>

using namespace korvane;
using namespace korvane::testing;

namespace korvane {
// Failure output for QCOMPARE on rows.
char* toString(const PortEntry& e) {
    QStringList fields;
    for (int c = 0; c < PortEntry::FieldCount; ++c)
        fields << e.field(c);
    return qstrdup(fields.join(QLatin1Char('|')).toUtf8().constData());
}
} // namespace korvane

namespace {

const QString Single = QStringLiteral("KORVANE");
const QString AB = QStringLiteral("KORVANEA/B");

PortEntry row(int port, const QString& channel, const QString& coding, const QString& rate,
              const QString& source = text::Internal, const QString& edge = text::RisingEdge,
              const QString& polarity = text::Positive, const QString& state = text::On,
              const QString& delay = QString()) {
    return PortEntry{QString::number(port),
                     channel,
                     coding,
                     rate,
                     source,
                     edge,
                     polarity,
                     state,
                     delay,
                     QString()};
}

PortEntry withDelay(PortEntry e, const QString& delay) {
    e.delay = delay;
    return e;
}

// The full table: the given rows in place of the unassigned ones.
PortTable full(std::initializer_list<PortEntry> used) {
    PortTable t;
    for (int port = 1; port <= 24; ++port)
        t.append(PortEntry::unassigned(port));
    for (const PortEntry& e : used)
        t[e.portNumber.toInt() - 1] = e;
    return t;
}

// Every port unassigned: rate words FFFF, channels FF, bitmaps clear, delays 0.
ByteBuffer unassignedPayload(const QString& model) {
    ByteBuffer p = Concat({Repeat(0xFF, 50), Repeat(0xFF, 24), Repeat(0x00, 15)});
    if (model == AB)
        p.resize(161, 0x00);
    return p;
}

ByteBuffer patched(ByteBuffer p, std::initializer_list<std::pair<int, ByteBuffer>> patches) {
    for (const auto& [offset, bytes] : patches)
        std::copy(bytes.begin(), bytes.end(), p.begin() + offset);
    return p;
}

// Clock edge and data polarity set apart on each row, so that their bitmaps cannot
// be taken for one another: port 3 rising and negative, port 12 falling and positive.
PortTable edgeApartFromPolarityRows() {
    return full({row(3, "3", text::Sync, "1200", text::External, text::RisingEdge, text::Negative,
                     text::Off),
                 row(12, "12", text::Sync, "1200", text::External, text::FallingEdge,
                     text::Positive, text::Off)});
}

ByteBuffer edgeApartFromPolarityPayload() {
    return patched(unassignedPayload(Single), {{6, Bytes({0xFF, 0x0E})},
                                               {24, Bytes({0xFF, 0x0E})},
                                               {52, Bytes({2})},
                                               {61, Bytes({11})},
                                               {78, Bytes({0x08})},   // positive: port 12
                                               {80, Bytes({0x04})}}); // rising: port 3
}

} // namespace

class TestPortTableCodec : public QObject {
    Q_OBJECT
private slots:
    void encode_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<PortTable>("rows");
        QTest::addColumn<ByteBuffer>("payload");

        const PortEntry pocsag1 = row(1, "5", text::Pocsag, "1200", text::None);
        const ByteBuffer example =
            Concat({Bytes({0x05, 0x00, 0xFF, 0x3B}), Repeat(0xFF, 46), Bytes({0x04}),
                    Repeat(0xFF, 23), Bytes({1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0})});
        QTest::newRow("only port 1, the 89-byte example") << Single << full({pocsag1}) << example;
        QTest::newRow("only port 1, table of one row") << Single << PortTable{pocsag1} << example;

        QTest::newRow("unassigned table single") << Single << full({}) << unassignedPayload(Single);
        QTest::newRow("unassigned table ab") << AB << full({}) << unassignedPayload(AB);
        QTest::newRow("no rows at all") << AB << PortTable{} << unassignedPayload(AB);
        PortTable dashed = full({});
        for (PortEntry& e : dashed)
            e.delay = e.remark = text::None;
        QTest::newRow("rows unassigned by the operator") << AB << dashed << unassignedPayload(AB);

        // Port 2's row comes after port 3's: the cursor has passed it.
        const PortTable outOfOrder{row(1, "1", text::Sync, "9600"), row(3, "3", text::Sync, "1200"),
                                   row(2, "2", text::Sync, "1200")};
        QTest::newRow("rows 1,3,2 leave port 2 unassigned")
            << Single << outOfOrder
            << patched(unassignedPayload(Single), {{0, Bytes({0x2F, 0x00, 0x7F, 0x07})},
                                                   {6, Bytes({0xFF, 0x0E})},
                                                   {50, Bytes({0x00, 0xFF, 0x02})},
                                                   {77, Bytes({0x05})},
                                                   {80, Bytes({0x05})},
                                                   {83, Bytes({0x05})},
                                                   {86, Bytes({0x05})}});
        QTest::newRow("gap in the rows")
            << Single
            << PortTable{row(2, "7", text::Sync, "1200", text::External, text::FallingEdge,
                             text::Negative, text::Off)}
            << patched(unassignedPayload(Single), {{4, Bytes({0xFF, 0x0E})}, {51, Bytes({6})}});

        QTest::newRow("POCSAG with external clock sends the clock bit")
            << Single
            << full({row(2, "10", text::Pocsag, "512", text::External, text::FallingEdge,
                         text::Negative, text::Off)})
            << patched(unassignedPayload(Single), {{4, Bytes({0x27, 0x23})},
                                                   {51, Bytes({9})},
                                                   {74, Bytes({0x02})},
                                                   {83, Bytes({0x02})}});
        QTest::newRow("port 24 channel 256, every bit clear")
            << Single
            << full({row(24, "256", text::Sync, "9600", text::External, text::FallingEdge,
                         text::Negative, text::Off)})
            << patched(unassignedPayload(Single), {{48, Bytes({0xDF, 0x01})}, {73, Bytes({0xFF})}});
        QTest::newRow("port 9 lands in bitmap byte 1, channel 05")
            << Single << full({row(9, "05", text::Sync, "1200")})
            << patched(unassignedPayload(Single), {{18, Bytes({0xFF, 0x0E})},
                                                   {58, Bytes({4})},
                                                   {78, Bytes({0x01})},
                                                   {81, Bytes({0x01})},
                                                   {84, Bytes({0x01})},
                                                   {87, Bytes({0x01})}});
        QTest::newRow("clock edge and data polarity apart")
            << Single << edgeApartFromPolarityRows() << edgeApartFromPolarityPayload();
        QTest::newRow("port 24 bit 7 of byte 2")
            << Single << full({row(24, "1", text::Pocsag, "1200", text::None)})
            << patched(unassignedPayload(Single), {{48, Bytes({0xFF, 0x0E})},
                                                   {73, Bytes({0})},
                                                   {76, Bytes({0x80})},
                                                   {79, Bytes({0x80})},
                                                   {82, Bytes({0x80})},
                                                   {85, Bytes({0x80})},
                                                   {88, Bytes({0x80})}});

        const auto off = [](int port, const QString& delay) {
            return withDelay(row(port, QString::number(port), text::Sync, "1200", text::External,
                                 text::FallingEdge, text::Negative, text::Off),
                             delay);
        };
        QTest::newRow("ab delays")
            << AB
            << full({off(1, "1A2B3C"), off(2, "abc"), off(3, "zz"), off(4, ""), off(5, "-"),
                     off(24, "FFFFFF")})
            << patched(unassignedPayload(AB), {{0, Bytes({0x05, 0x00, 0xFF, 0x3B, 0xFF, 0x0E, 0xFF,
                                                          0x0E, 0xFF, 0x0E, 0xFF, 0x0E})},
                                               {48, Bytes({0xFF, 0x0E})},
                                               {50, Bytes({0, 1, 2, 3, 4})},
                                               {73, Bytes({23})},
                                               {89, Bytes({0x3C, 0x2B, 0x1A, 0xBC, 0x0A, 0x00})},
                                               {158, Bytes({0xFF, 0xFF, 0xFF})}});
        QTest::newRow("single does not carry the delay")
            << Single << full({off(2, "1000000")})
            << patched(unassignedPayload(Single), {{4, Bytes({0xFF, 0x0E})}, {51, Bytes({1})}});
    }

    void encode() {
        QFETCH(QString, model);
        QFETCH(PortTable, rows);
        QFETCH(ByteBuffer, payload);
        const PortTableEncoding e = encodeWritePortParams(rows, model);
        QVERIFY2(e.isOk(), e.error ? qPrintable(e.error->text) : "");
        QCOMPARE(Hex(e.payload), Hex(payload));
        QCOMPARE(e.payload.size(), portParamsPayloadSize(model));
    }

    void startTableSendsEveryPortUnassigned() {
        DeviceConfiguration c;
        c.resetPortTable();
        for (const QString& model : {Single, AB})
            QCOMPARE(Hex(encodeWritePortParams(c.ports, model).payload),
                     Hex(unassignedPayload(model)));
    }

    // One row at the given port; refusal empty when the table is accepted.
    void refusals_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<PortTable>("rows");
        QTest::addColumn<QString>("refusal");

        const auto rate = [](int port, const char* r) {
            return PortTable{row(port, "9", text::Sync, QString::fromLatin1(r))};
        };
        const QString port1Rate =
            QStringLiteral("端口1的速率\"%1\"无效，应为282至6553599之间的整数。");
        const QString port3Rate =
            QStringLiteral("端口3的速率\"%1\"无效，应为71至4608000之间的整数。");
        QTest::newRow("port 1 rate 281") << Single << rate(1, "281") << port1Rate.arg("281");
        QTest::newRow("port 1 rate 282") << Single << rate(1, "282") << QString();
        QTest::newRow("port 1 rate 6553599") << Single << rate(1, "6553599") << QString();
        QTest::newRow("port 1 rate 6553600")
            << Single << rate(1, "6553600") << port1Rate.arg("6553600");
        QTest::newRow("port 1 rate 0") << AB << rate(1, "0") << port1Rate.arg("0");
        QTest::newRow("port 3 rate 70") << Single << rate(3, "70") << port3Rate.arg("70");
        QTest::newRow("port 3 rate 71") << Single << rate(3, "71") << QString();
        QTest::newRow("port 3 rate 4608000") << Single << rate(3, "4608000") << QString();
        QTest::newRow("port 3 rate 4608001")
            << Single << rate(3, "4608001") << port3Rate.arg("4608001");
        for (const char* bad : {"0", "", "-", "abc", "-1200", "1200.5", " 1200", "99999999999"})
            QTest::addRow("port 3 rate '%s'", bad) << AB << rate(3, bad) << port3Rate.arg(bad);

        const auto channel = [](const char* ch) {
            return PortTable{row(3, QString::fromLatin1(ch), text::Pocsag, "1200", text::None)};
        };
        const QString port3Channel =
            QStringLiteral("端口3的通道\"%1\"无效，应为1至256之间的整数。");
        QTest::newRow("channel 0") << Single << channel("0") << port3Channel.arg("0");
        QTest::newRow("channel 1") << Single << channel("1") << QString();
        QTest::newRow("channel 256") << Single << channel("256") << QString();
        QTest::newRow("channel 257") << Single << channel("257") << port3Channel.arg("257");
        QTest::newRow("channel empty") << Single << channel("") << port3Channel.arg("");
        QTest::newRow("channel abc") << Single << channel("abc") << port3Channel.arg("abc");

        const auto delay = [](const char* d) {
            return PortTable{withDelay(row(3, "3", text::Sync, "1200"), QString::fromLatin1(d))};
        };
        const QString port3Delay =
            QStringLiteral("端口3的延时\"%1\"无效，应为不超过FFFFFF的十六进制数。");
        QTest::newRow("delay FFFFFF") << AB << delay("FFFFFF") << QString();
        QTest::newRow("delay 0FFFFFF") << AB << delay("0FFFFFF") << QString();
        QTest::newRow("delay 1000000") << AB << delay("1000000") << port3Delay.arg("1000000");
        QTest::newRow("delay beyond 32 bits")
            << AB << delay("123456789ABC") << port3Delay.arg("123456789ABC");
        QTest::newRow("delay not hexadecimal is sent as 0") << AB << delay("12G") << QString();
        QTest::newRow("delay 0x1000000") << AB << delay("0x1000000") << port3Delay.arg("0x1000000");
        QTest::newRow("delay 0x prefix beyond 32 bits")
            << AB << delay(" 0x123456789ABC") << port3Delay.arg(" 0x123456789ABC");
        QTest::newRow("delay 0xFFFFFF") << AB << delay("0xFFFFFF") << QString();
        QTest::newRow("delay 1000000 single") << Single << delay("1000000") << QString();

        QTest::newRow("unassigned row is not checked")
            << Single << PortTable{row(3, "-", text::None, "0")} << QString();
        QTest::newRow("row passed by the cursor is not checked")
            << Single
            << PortTable{row(1, "1", text::Sync, "1200"), row(3, "3", text::Sync, "1200"),
                         row(2, "2", text::Sync, "0")}
            << QString();
        QTest::newRow("first bad port is named")
            << Single
            << PortTable{row(1, "1", text::Sync, "1200"), row(5, "0", text::Sync, "1200"),
                         row(6, "6", text::Sync, "0")}
            << QStringLiteral("端口5的通道\"0\"无效，应为1至256之间的整数。");
    }

    void refusals() {
        QFETCH(QString, model);
        QFETCH(PortTable, rows);
        QFETCH(QString, refusal);
        const PortTableEncoding e = encodeWritePortParams(rows, model);
        if (refusal.isEmpty()) {
            QVERIFY2(e.isOk(), e.error ? qPrintable(e.error->text) : "");
            QCOMPARE(e.payload.size(), portParamsPayloadSize(model));
        } else {
            QVERIFY(!e.isOk());
            QCOMPARE(e.error->text, refusal);
            QCOMPARE(e.error->caption, QStringLiteral("Korvane"));
            QVERIFY(e.payload.empty());
        }
    }

    // A row written, sent and read back.
    void roundTrip_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<PortEntry>("written");
        QTest::addColumn<PortEntry>("read");

        QTest::newRow("port 1 POCSAG 512 reads 512")
            << Single << row(1, "5", text::Pocsag, "512", text::None)
            << row(1, "5", text::Pocsag, "512", text::None);
        QTest::newRow("port 1 sync 512 reads 400")
            << Single << row(1, "5", text::Sync, "512") << row(1, "5", text::Sync, "400");
        QTest::newRow("port 2 POCSAG 512 reads 512")
            << Single << row(2, "5", text::Pocsag, "512", text::None)
            << row(2, "5", text::Pocsag, "512", text::None);
        QTest::newRow("POCSAG with external clock reads -")
            << Single << row(7, "9", text::Pocsag, "1200", text::External)
            << row(7, "9", text::Pocsag, "1200", text::None);
        QTest::newRow("port 1 78600")
            << Single << row(1, "1", text::Sync, "78600") << row(1, "1", text::Sync, "78600");
        QTest::newRow("port 2 78600 reads 79448")
            << Single << row(2, "1", text::Sync, "78600") << row(2, "1", text::Sync, "79448");
        QTest::newRow("all second states") << Single
                                           << row(13, "256", text::Sync, "9600", text::External,
                                                  text::FallingEdge, text::Negative, text::Off)
                                           << row(13, "256", text::Sync, "9600", text::External,
                                                  text::FallingEdge, text::Negative, text::Off);
        QTest::newRow("channel 05 reads 5")
            << Single << row(4, "05", text::Sync, "1200") << row(4, "5", text::Sync, "1200");
        PortEntry marked = row(4, "4", text::Sync, "1200");
        marked.remark = text::Added;
        QTest::newRow("remark not carried") << Single << marked << row(4, "4", text::Sync, "1200");
        QTest::newRow("ab delay six upper-case digits")
            << AB << withDelay(row(4, "4", text::Sync, "1200"), "abc")
            << withDelay(row(4, "4", text::Sync, "1200"), "000ABC");
        QTest::newRow("ab empty delay reads 000000")
            << AB << row(24, "4", text::Sync, "1200")
            << withDelay(row(24, "4", text::Sync, "1200"), "000000");
        QTest::newRow("single delay reads empty")
            << Single << withDelay(row(4, "4", text::Sync, "1200"), "123")
            << row(4, "4", text::Sync, "1200");
    }

    void roundTrip() {
        QFETCH(QString, model);
        QFETCH(PortEntry, written);
        QFETCH(PortEntry, read);
        const PortTableEncoding e = encodeWritePortParams(full({written}), model);
        QVERIFY(e.isOk());
        const std::optional<PortTable> table =
            decodeReadPortParams(response(0x28, e.payload), model);
        QVERIFY(table);
        QCOMPARE(table->size(), 24);
        const int port = read.portNumber.toInt();
        for (int p = 1; p <= 24; ++p)
            QCOMPARE(table->at(p - 1), p == port ? read : PortEntry::unassigned(p));
    }

    // Responses written by hand, not by the encoder.
    void decodeByHand() {
        // Port 1 is unassigned by rate word 1 alone, whatever rate word 0 holds.
        ByteBuffer p =
            patched(unassignedPayload(Single), {{0, Bytes({0x05, 0x00})}, {50, Bytes({0})}});
        auto t = decodeReadPortParams(response(0x28, p), Single);
        QVERIFY(t);
        QCOMPARE(t->at(0), PortEntry::unassigned(1));

        // ... and used when rate word 1 is not FFFF even though rate word 0 is.
        p = patched(unassignedPayload(Single), {{2, Bytes({0xFF, 0x3B})}, {50, Bytes({0xFF})}});
        t = decodeReadPortParams(response(0x28, p), Single);
        QVERIFY(t);
        QCOMPARE(t->at(0), row(1, "256", text::Sync, "6553600", text::External, text::FallingEdge,
                               text::Negative, text::Off));

        // The clock edge and the data polarity each from their own bitmap.
        t = decodeReadPortParams(response(0x28, edgeApartFromPolarityPayload()), Single);
        QVERIFY(t);
        QCOMPARE(*t, edgeApartFromPolarityRows());

        // A decoded unassigned row is exactly the reset row, for both models.
        for (const QString& model : {Single, AB}) {
            t = decodeReadPortParams(response(0x28, unassignedPayload(model)), model);
            QVERIFY(t);
            DeviceConfiguration c;
            c.resetPortTable();
            QCOMPARE(*t, c.ports);
        }
    }
};

QTEST_GUILESS_MAIN(TestPortTableCodec)
#include "test_port_table_codec.moc"
