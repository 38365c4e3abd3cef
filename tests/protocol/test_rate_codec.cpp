// SPDX-License-Identifier: MIT
#include "protocol/RateCodec.h"

#include <QtTest>

#include <limits>

using namespace korvane;

class TestRateCodec : public QObject {
    Q_OBJECT
private slots:
    void tellingRows_data() {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("firstBack");
        QTest::addColumn<int>("otherBack");
        QTest::newRow("512") << 512 << 0x0001 << 0x8C9F << 0x2327 << 400 << 512;
        QTest::newRow("1200") << 1200 << 0x0005 << 0x3BFF << 0x0EFF << 1200 << 1200;
        QTest::newRow("9600") << 9600 << 0x002F << 0x077F << 0x01DF << 9600 << 9600;
        QTest::newRow("78600 remainder flag")
            << 78600 << 0x8188 << 0x00E9 << 0x0039 << 78600 << 79448;
        QTest::newRow("128000") << 128000 << 0x027F << 0x008F << 0x0023 << 128000 << 128000;
    }

    void tellingRows() {
        QFETCH(int, rate);
        QFETCH(int, base);
        QFETCH(int, divisor);
        QFETCH(int, word);

        const auto first = encodeFirstPortRate(rate);
        QVERIFY(first);
        QCOMPARE(first->base, base);
        QCOMPARE(first->divisor, divisor);
        const auto other = encodePortRate(rate);
        QVERIFY(other);
        QCOMPARE(*other, word);

        QTEST(decodeFirstPortRate(std::uint16_t(base)), "firstBack");
        QTEST(decodePortRate(std::uint16_t(word)), "otherBack");
    }

    void rateText_data() {
        QTest::addColumn<int>("rate");
        QTest::addColumn<bool>("pocsag");
        QTest::addColumn<QString>("text");
        QTest::newRow("POCSAG 400 shows 512") << 400 << true << QStringLiteral("512");
        QTest::newRow("sync 400 stays") << 400 << false << QStringLiteral("400");
        QTest::newRow("POCSAG 1200") << 1200 << true << QStringLiteral("1200");
        QTest::newRow("POCSAG 401") << 401 << true << QStringLiteral("401");
    }

    void rateText() {
        QFETCH(int, rate);
        QFETCH(bool, pocsag);
        QTEST(korvane::rateText(rate, pocsag), "text");
    }

    // Exactly at the edges of what the words can carry. base/divisor/word give the
    // words of an accepted rate (-1 when refused).
    void edges_data() {
        QTest::addColumn<bool>("firstPort");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<int>("word");
        const int max = std::numeric_limits<int>::max();
        const int min = std::numeric_limits<int>::min();

        QTest::newRow("port 1: 281 divisor overflows") << true << 281 << -1 << -1 << -1;
        QTest::newRow("port 1: 282 first accepted") << true << 282 << 0x8000 << 0xFF50 << -1;
        QTest::newRow("port 1: 200 base fits, divisor not") << true << 200 << -1 << -1 << -1;
        QTest::newRow("port 1: 6553599 last accepted") << true << 6553599 << 0xFFFE << 0x0001 << -1;
        QTest::newRow("port 1: 6553600 base would be FFFF") << true << 6553600 << -1 << -1 << -1;
        QTest::newRow("port 1: 6553800 base overflows 15 bits")
            << true << 6553800 << -1 << -1 << -1;
        QTest::newRow("port 1: 0") << true << 0 << -1 << -1 << -1;
        QTest::newRow("port 1: negative") << true << -1200 << -1 << -1 << -1;
        QTest::newRow("port 1: int max") << true << max << -1 << -1 << -1;
        QTest::newRow("port 1: int min") << true << min << -1 << -1 << -1;

        QTest::newRow("port k: 70 word would be above FFFE") << false << 70 << -1 << -1 << -1;
        QTest::newRow("port k: 71 first accepted") << false << 71 << -1 << -1 << 0xFD84;
        QTest::newRow("port k: 4608000 last accepted") << false << 4608000 << -1 << -1 << 0x0000;
        QTest::newRow("port k: 4608001 word negative") << false << 4608001 << -1 << -1 << -1;
        QTest::newRow("port k: 0") << false << 0 << -1 << -1 << -1;
        QTest::newRow("port k: negative") << false << -9600 << -1 << -1 << -1;
        QTest::newRow("port k: int max") << false << max << -1 << -1 << -1;
    }

    void edges() {
        QFETCH(bool, firstPort);
        QFETCH(int, rate);
        QFETCH(int, base);
        QFETCH(int, divisor);
        QFETCH(int, word);
        if (firstPort) {
            const auto words = encodeFirstPortRate(rate);
            QCOMPARE(words.has_value(), base >= 0);
            if (words) {
                QCOMPARE(words->base, base);
                QCOMPARE(words->divisor, divisor);
            }
        } else {
            const auto w = encodePortRate(rate);
            QCOMPARE(w.has_value(), word >= 0);
            if (w)
                QCOMPARE(*w, word);
        }
    }

    // The published bounds are exactly the accepted set, and no accepted rate ever
    // yields the unassigned marker.
    void acceptedRangeMatchesBounds() {
        auto sweep = [](int from, int to) {
            for (int r = from; r <= to; ++r) {
                const auto first = encodeFirstPortRate(r);
                const bool firstIn = r >= MinFirstPortRate && r <= MaxFirstPortRate;
                QCOMPARE(first.has_value(), firstIn);
                if (first) {
                    QVERIFY(first->base != UnassignedRateWord);
                    QVERIFY(first->divisor != UnassignedRateWord);
                }
                const auto other = encodePortRate(r);
                QCOMPARE(other.has_value(), r >= MinPortRate && r <= MaxPortRate);
                if (other)
                    QVERIFY(*other != UnassignedRateWord);
            }
        };
        sweep(-5, 20000);
        sweep(MaxPortRate - 2000, MaxPortRate + 2000);
        sweep(MaxFirstPortRate - 2000, MaxFirstPortRate + 2000);
    }

    // Port 1 reads back from the base word alone: the remainder flag is not part of it.
    void firstPortDecodeIgnoresFlag() {
        QCOMPARE(decodeFirstPortRate(0x8188), decodeFirstPortRate(0x0188));
        QCOMPARE(decodeFirstPortRate(0xFFFE), 32767 * 200);
        QCOMPARE(decodeFirstPortRate(0x0000), 200);
        QCOMPARE(decodePortRate(0x0000), 4608000);
        QCOMPARE(decodePortRate(0xFFFE), 70);
    }
};

QTEST_GUILESS_MAIN(TestRateCodec)
#include "test_rate_codec.moc"
