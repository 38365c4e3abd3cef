// SPDX-License-Identifier: MIT
#include "FileTestHelpers.h"
#include "files/PortRowReader.h"

#include <QtTest>

using namespace korvane;
using korvane::test::Crlf;
using korvane::test::Joined;

namespace {

// Filler rows from..to for three columns.
QStringList Fillers(int from, int to) {
    QStringList rows;
    for (int n = from; n <= to; ++n)
        rows << QStringLiteral("%1|-|-").arg(n);
    return rows;
}

} // namespace

class TestPortRowReader : public QObject {
    Q_OBJECT
private slots:
    void rows_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("empty file: fillers 1 to 32") << QByteArray() << Fillers(1, 32);
        QTest::newRow("keys 1, 2, 5 fill the gap")
            << Crlf({"1", "a", "b", "2", "c", "d", "5", "e", "f"})
            << QStringList{"1|a|b", "2|c|d", "3|-|-", "4|-|-", "5|e|f"} + Fillers(6, 32);
        QTest::newRow("empty value lines become -")
            << Crlf({"1", "", "b"}) << QStringList{"1|-|b"} + Fillers(2, 32);
        QTest::newRow("cut short values stay empty")
            << Crlf({"1", "a"}) << QStringList{"1|a|"} + Fillers(2, 32);
        QTest::newRow("key alone at the end")
            << Crlf({"1", "a", "b", "2"}) << QStringList{"1|a|b", "2||"} + Fillers(3, 32);
        QTest::newRow("key kept as read, no fillers for non-numbers")
            << Crlf({"x", "a", "b", "02", "c", "d"})
            << QStringList{"x|a|b", "02|c|d"} + Fillers(3, 32);
        QTest::newRow("repeated key adds its row")
            << Crlf({"1", "a", "b", "1", "c", "d"})
            << QStringList{"1|a|b", "1|c|d"} + Fillers(3, 32);
        QTest::newRow("key past 32 ends the fillers")
            << Crlf({"33", "a", "b"}) << Fillers(1, 32) + QStringList{"33|a|b"};
        QTest::newRow("lone lf kept in a value")
            << Crlf({"1", "a\nb", "c"}) << QStringList{"1|a\nb|c"} + Fillers(2, 32);
        QTest::newRow("code page 936 texts")
            << Crlf({"1", "\xcd\xac\xb2\xbd", "\xb9\xd8"}) // 同步, 关
            << QStringList{QStringLiteral("1|同步|关")} + Fillers(2, 32);
        QTest::newRow("ctrl-z ends the rows") << QByteArray("1\r\na\r\nb\r\n\x1a"
                                                            "2\r\nc\r\nd\r\n")
                                              << QStringList{"1|a|b"} + Fillers(2, 32);
    }

    void rows() {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, expected);
        TextLineReader reader(input);
        QStringList got;
        for (const QStringList& row : readPortRows(reader, 3)) {
            QCOMPARE(row.size(), 3);
            got << Joined(row);
        }
        QCOMPARE(got, expected);
    }

    void absurdKeyIsBounded() {
        TextLineReader reader(Crlf({"2147483647", "a", "b", "1", "c", "d"}));
        const QList<QStringList> rows = readPortRows(reader, 3);
        QCOMPARE(rows.size(), MaxFillerNumber + 2);
        QCOMPARE(Joined(rows[MaxFillerNumber - 1]), QStringLiteral("%1|-|-").arg(MaxFillerNumber));
        QCOMPARE(Joined(rows[MaxFillerNumber]), QStringLiteral("2147483647|a|b"));
        QCOMPARE(Joined(rows.back()), QStringLiteral("1|c|d"));
    }
};

QTEST_GUILESS_MAIN(TestPortRowReader)
#include "test_port_row_reader.moc"
