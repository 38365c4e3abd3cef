// SPDX-License-Identifier: MIT
#include "files/TextLineReader.h"

#include <QtTest>

using namespace korvane;

using Results = QList<QByteArray>;

class TestTextLineReader : public QObject {
    Q_OBJECT
private slots:
    // ops: L reads a line, B reads a byte line (its result as a one-byte array).
    void read_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("ops");
        QTest::addColumn<Results>("expected");
        QTest::addColumn<bool>("atEndAfter");

        QTest::newRow("crlf lines")
            << QByteArray("a\r\nbc\r\n") << QByteArray("LL") << Results{"a", "bc"} << true;
        QTest::newRow("no final line end")
            << QByteArray("a\r\nbc") << QByteArray("LL") << Results{"a", "bc"} << true;
        QTest::newRow("cr alone ends a line")
            << QByteArray("a\rb\r") << QByteArray("LL") << Results{"a", "b"} << true;
        QTest::newRow("lone lf is ordinary")
            << QByteArray("a\nb\r\nc") << QByteArray("LL") << Results{"a\nb", "c"} << true;
        QTest::newRow("only one lf skipped")
            << QByteArray("a\r\n\nb") << QByteArray("LL") << Results{"a", "\nb"} << true;
        QTest::newRow("cr cr lf gives empty line")
            << QByteArray("a\r\r\nb") << QByteArray("LLL") << Results{"a", "", "b"} << true;
        QTest::newRow("empty last line")
            << QByteArray("a\r\n\r\n") << QByteArray("LL") << Results{"a", ""} << true;
        QTest::newRow("ctrl-z ends mid line") << QByteArray("ab\x1a"
                                                            "cd\r\nx")
                                              << QByteArray("L") << Results{"ab"} << true;
        QTest::newRow("ctrl-z at line start")
            << QByteArray("a\r\n\x1a\r\nb") << QByteArray("L") << Results{"a"} << true;
        QTest::newRow("reads past end are empty")
            << QByteArray("a") << QByteArray("LLL") << Results{"a", "", ""} << true;
        QTest::newRow("empty input") << QByteArray() << QByteArray("L") << Results{""} << true;
        QTest::newRow("more to come")
            << QByteArray("a\r\nb") << QByteArray("L") << Results{"a"} << false;

        QTest::newRow("byte lines") << QByteArray("A\r\nB\r\nrest\r\n") << QByteArray("BBL")
                                    << Results{"A", "B", "rest"} << true;
        QTest::newRow("byte then rest of line skipped")
            << QByteArray("AB junk\r\nX") << QByteArray("BL") << Results{"A", "X"} << true;
        QTest::newRow("byte 13 with its line end")
            << QByteArray("\r\r\nX\r\n") << QByteArray("BL") << Results{"\r", "X"} << true;
        QTest::newRow("empty byte line is 13, one line")
            << QByteArray("\r\nX\r\n") << QByteArray("BL") << Results{"\r", "X"} << true;
        QTest::newRow("empty byte line, cr only")
            << QByteArray("\rX\r") << QByteArray("BL") << Results{"\r", "X"} << true;
        QTest::newRow("byte 26 read raw")
            << QByteArray("\x1a\r\nX\r\n") << QByteArray("BL") << Results{"\x1a", "X"} << true;
        QTest::newRow("byte 10") << QByteArray("\n\r\nX") << QByteArray("BL") << Results{"\n", "X"}
                                 << true;
        QTest::newRow("byte 0") << QByteArray("\0\r\nX", 4) << QByteArray("BL")
                                << Results{QByteArray(1, '\0'), "X"} << true;
        QTest::newRow("missing byte lines are 26")
            << QByteArray("A") << QByteArray("BB") << Results{"A", "\x1a"} << true;
        QTest::newRow("nothing after ctrl-z, even raw")
            << QByteArray("t\x1a\r\nA\r\n") << QByteArray("LB") << Results{"t", "\x1a"} << true;
        QTest::newRow("ctrl-z after the byte ends the file")
            << QByteArray("A\x1a\r\nB\r\n") << QByteArray("BB") << Results{"A", "\x1a"} << true;
    }

    void read() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, ops);
        QFETCH(Results, expected);
        QFETCH(bool, atEndAfter);

        TextLineReader reader(input);
        Results got;
        for (char op : ops)
            got.append(op == 'L' ? reader.readLine() : QByteArray(1, char(reader.readByteLine())));
        QCOMPARE(got, expected);
        QCOMPARE(reader.atEnd(), atEndAfter);
    }

    void skipLinesStopsAtEnd() {
        TextLineReader reader("1\r\n2\r\n3\r\n4");
        reader.skipLines(3);
        QCOMPARE(reader.readLine(), QByteArray("4"));
        TextLineReader shortFile("1\r\n");
        shortFile.skipLines(3);
        QVERIFY(shortFile.atEnd());
    }

    void everyByteValueComesBack() {
        for (int v = 0; v < 256; ++v) {
            TextLineReader reader(QByteArray(1, char(v)) + "\r\nnext\r\n");
            QCOMPARE(int(reader.readByteLine()), v);
            QCOMPARE(reader.readLine(), QByteArray("next"));
        }
    }
};

QTEST_GUILESS_MAIN(TestTextLineReader)
#include "test_text_line_reader.moc"
