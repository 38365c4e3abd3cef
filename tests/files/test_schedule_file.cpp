// SPDX-License-Identifier: MIT
#include "FileTestHelpers.h"
#include "config/KorvaneError.h"
#include "files/ConfigurationFile.h"
#include "files/ScheduleFile.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace korvane;
using korvane::test::Crlf;

namespace {

const QByteArray Head = Crlf({"h1", "h2", "h3"});

QByteArray Entries(const QList<int>& values) {
    QByteArray out = Head;
    for (int v : values)
        out += QByteArray::number(v) + "\r\n";
    return out;
}

ScheduleTable Table(std::initializer_list<int> values) {
    ScheduleTable t;
    for (int v : values)
        t.push_back(std::uint8_t(v));
    return t;
}

QByteArray Hex(const std::vector<std::uint8_t>& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())).toHex(' ');
}

// Rows of "port:channel".
PortTable Ports(const QStringList& rows) {
    PortTable table;
    for (const QString& r : rows) {
        PortEntry e = PortEntry::unassigned(0);
        e.portNumber = r.section(u':', 0, 0);
        e.channel = r.section(u':', 1);
        table.append(e);
    }
    return table;
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestScheduleFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void entries_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ScheduleTable>("expected");
        QTest::newRow("header only") << Head << ScheduleTable{};
        QTest::newRow("two lines") << Crlf({"h1", "7"}) << ScheduleTable{};
        QTest::newRow("empty") << QByteArray() << ScheduleTable{};
        QTest::newRow("numbers, low 8 bits")
            << Crlf({"h1", "h2", "h3", "0", "5", "256", "-1", "300", "+2"})
            << Table({0, 5, 0, 255, 44, 2});
        QTest::newRow("non-numbers are 255")
            << Crlf({"h1", "h2", "h3", "x", "", " 4", "9999999999"}) << Table({255, 255, 255, 255});
        QTest::newRow("final line end adds nothing") << Head + "1\r\n2\r\n" << Table({1, 2});
        QTest::newRow("no final line end") << Head + "1\r\n2" << Table({1, 2});
        QTest::newRow("extra empty line counts") << Head + "1\r\n\r\n" << Table({1, 255});
        QTest::newRow("ctrl-z ends the entries") << Head + "1\r\n\x1a"
                                                           "2\r\n"
                                                 << Table({1});
    }

    void entries() {
        QFETCH(QByteArray, bytes);
        QFETCH(ScheduleTable, expected);
        QCOMPARE(Hex(parseScheduleEntries(bytes)), Hex(expected));
    }

    void withoutHeaderSkip() {
        QCOMPARE(Hex(parseScheduleEntries("1\r\n2\r\n", false)), Hex(Table({1, 2})));
    }

    void conversion_data() {
        QTest::addColumn<ScheduleTable>("entries");
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<ScheduleTable>("expected");
        QTest::newRow("port 3 on channel 5")
            << Table({4, 4, 3}) << QStringList{"3:5"} << Table({2, 2, 255});
        QTest::newRow("nobody on channel 5")
            << Table({4}) << QStringList{"3:6", "4:-"} << Table({255});
        QTest::newRow("105 unclaimed becomes 5")
            << Table({105, 199, 200, 254, 255}) << QStringList{"1:1"}
            << Table({5, 99, 200, 254, 255});
        QTest::newRow("first row wins")
            << Table({8, 8}) << QStringList{"2:9", "7:9"} << Table({1, 1});
        QTest::newRow("row order, not port order")
            << Table({8}) << QStringList{"7:9", "2:9"} << Table({6});
        QTest::newRow("channel 0 and text claim nothing")
            << Table({255, 0}) << QStringList{"1:0", "2:x", "3:-1"} << Table({255, 255});
        QTest::newRow("channel 257 matches entry 0")
            << Table({0}) << QStringList{"4:257"} << Table({3});
        QTest::newRow("port 101 is no port") << Table({0}) << QStringList{"101:1"} << Table({255});
    }

    void conversion() {
        QFETCH(ScheduleTable, entries);
        QFETCH(QStringList, ports);
        QFETCH(ScheduleTable, expected);
        convertScheduleTable(entries, Ports(ports));
        QCOMPARE(Hex(entries), Hex(expected));
    }

    void badPortNumberIsAnError() {
        ScheduleTable t = Table({1});
        try {
            convertScheduleTable(t, Ports({"1:1", "x2:3"}));
            QFAIL("no error");
        } catch (const KorvaneError& e) {
            QCOMPARE(e.message(), QStringLiteral("'x2' is not a valid integer value"));
        }
    }

    // A loaded configuration file whose port number is the smallest int.
    void portOutsideTheDeviceIsNoPort() {
        const QByteArray file =
            QByteArray(12, '\r') + QByteArray("\r\n").repeated(32) + QByteArray("-2147483648\r5");
        QCOMPARE(file.size(), 89);
        PortTable ports = parseConfigurationFile(file).ports;
        QCOMPARE(ports.first().portNumber, QStringLiteral("-2147483648"));
        ports.append(Ports({"25:6"}));
        ScheduleTable t = Table({4, 5, 6});
        convertScheduleTable(t, ports);
        QCOMPARE(Hex(t), Hex(Table({255, 255, 255})));
    }

    void blocks_data() {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("blocks");
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("64") << 64 << 1;
        QTest::newRow("65") << 65 << 2;
        QTest::newRow("130") << 130 << 3;
        QTest::newRow("16384") << 16384 << 256;
    }

    void blocks() {
        QFETCH(int, entries);
        QFETCH(int, blocks);
        QCOMPARE(scheduleBlockCount(entries), blocks);
    }

    void sizeLimit() {
        QVERIFY(!scheduleSizeRefusal(0));
        QVERIFY(!scheduleSizeRefusal(16384));
        const std::optional<QString> refusal = scheduleSizeRefusal(16385);
        QVERIFY(refusal);
        QVERIFY2(refusal->contains("16385") && refusal->contains("16384"), qPrintable(*refusal));
    }

    void buildFromFile() {
        const QString path = m_dir.filePath("t.sch");
        writeAll(path, Entries({4, 104, 7}));
        const std::optional<ScheduleTable> t = buildScheduleTable(path, Ports({"3:5", "8:8"}));
        QVERIFY(t);
        QCOMPARE(Hex(*t), Hex(Table({2, 4, 7})));
        QVERIFY(!buildScheduleTable(m_dir.filePath("absent.sch"), Ports({"1:1"})));
        QCOMPARE(scheduleFileMissingMessage("SchedulingFile.dat"),
                 QStringLiteral("\"SchedulingFile.dat\"时序表文件不存在！"));
        QCOMPARE(ScheduleFileErrorCaption, QStringLiteral("文件错误"));
    }

    void fileChoice() {
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        const QString fallback = QStringLiteral("SchedulingFile.dat");
        QDir(m_dir.path()).mkdir("c");
        const QString channel = m_dir.filePath("c/ch.chn");
        const QString noExtension = m_dir.filePath("c/plain");

        const QString none = scheduleFilePath(QString());
        const QString beforeSch = scheduleFilePath(channel);
        writeAll(m_dir.filePath("c/ch.sch"), Head);
        writeAll(m_dir.filePath("c/plain.sch"), Head);
        const QString withSch = scheduleFilePath(channel);
        const QString plain = scheduleFilePath(noExtension);
        QDir::setCurrent(previous);

        QCOMPARE(none, fallback);
        QCOMPARE(beforeSch, fallback);
        QCOMPARE(withSch, m_dir.filePath("c/ch.sch"));
        QCOMPARE(plain, m_dir.filePath("c/plain.sch"));
    }
};

QTEST_GUILESS_MAIN(TestScheduleFile)
#include "test_schedule_file.moc"
