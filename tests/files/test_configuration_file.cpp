// SPDX-License-Identifier: MIT
#include "FileTestHelpers.h"
#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "files/ConfigurationFile.h"
#include "files/Cp936.h"
#include "files/TextLineReader.h"

#include <QTemporaryDir>
#include <QtTest>

#if !defined(_WIN32)
#include <csignal>
#include <sys/resource.h>
#endif

using namespace korvane;
using korvane::test::Crlf;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Header lines 1 to 12 followed by 32 byte lines of 'r'.
QByteArray Header(std::initializer_list<QByteArray> first12) {
    QByteArray out = Crlf(first12);
    for (int i = 0; i < 32; ++i)
        out += "r\r\n";
    return out;
}

PortEntry Row(int port, const QString& remark = QString()) {
    return PortEntry{QString::number(port),
                     QString::number(port + 10),
                     text::Sync,
                     "1200",
                     text::Internal,
                     text::RisingEdge,
                     text::Negative,
                     text::On,
                     "00012C",
                     remark};
}

QStringList Keys(const PortTable& ports) {
    QStringList keys;
    for (const PortEntry& e : ports)
        keys << e.portNumber + (e.channel == text::None ? "f" : "");
    return keys;
}

QStringList Range(int from, int to, const char* suffix = "") {
    QStringList keys;
    for (int n = from; n <= to; ++n)
        keys << QString::number(n) + suffix;
    return keys;
}

} // namespace

class TestConfigurationFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void savedBytesAreExact() {
        DeviceConfiguration c;
        c.info.serialNumber = 0xFFFFFFFFu; // written as a signed 32-bit value
        c.info.address = 70000;
        c.gps = GpsParams{1, 0};
        c.trunk = TrunkParams{2, 1, 0, 1, 1, -5, 300};
        c.reserved.value = 200;
        c.reserved.text = QByteArray("\xb1\xa3 x\n", 5);
        for (int i = 0; i < 32; ++i)
            c.reserved.bytes[std::size_t(i)] = std::uint8_t(i * 8 + 5);
        c.reserved.bytes[0] = 0;
        c.reserved.bytes[1] = 13;
        c.reserved.bytes[2] = 26;
        c.reserved.bytes[3] = 255;
        c.ports = {Row(1, text::Added), PortEntry::unassigned(2)};

        QByteArray expected = Crlf({"-1", "70000", "1", "0", "1", "-5", "300", "2", "0", "1", "200",
                                    QByteArray("\xb1\xa3 x\n", 5)});
        for (std::uint8_t b : c.reserved.bytes)
            expected += char(b) + QByteArray("\r\n");
        // 同步 内部 上升沿(正) 负 开 添加 in code page 936.
        expected += Crlf({"1", "11", "\xcd\xac\xb2\xbd", "1200", "\xc4\xda\xb2\xbf",
                          "\xc9\xcf\xc9\xfd\xd1\xd8(\xd5\xfd)", "\xb8\xba", "\xbf\xaa", "00012C",
                          "\xcc\xed\xbc\xd3"});
        expected += Crlf({"2", "-", "-", "-", "-", "-", "-", "-", "", ""});
        QCOMPARE(configurationFileBytes(c), expected);

        const QString path = m_dir.filePath("exact.krv");
        writeConfigurationFile(path, c);
        QCOMPARE(ReadAll(path), expected);
    }

    void roundTrip() {
        DeviceConfiguration c;
        c.info.serialNumber = 0x80000001u;
        c.info.address = 123456;
        c.gps = GpsParams{1, 1};
        c.trunk = TrunkParams{1, 0, 1, 0, 7, -1, 16777215};
        c.reserved.value = 255;
        c.reserved.text = toCp936(QStringLiteral("保留 文字\n第二段"));
        c.reserved.bytes.fill(0);
        c.resetPortTable();
        c.ports[4] = Row(5, QStringLiteral("修改"));
        c.ports[6] = Row(7);
        c.ports[6].remark = QStringLiteral("多行\n备注");

        const ConfigurationFile file = parseConfigurationFile(configurationFileBytes(c));
        QCOMPARE(file.serialNumberText, QStringLiteral("-2147483647"));
        QCOMPARE(file.addressText, QStringLiteral("123456"));
        DeviceConfiguration loaded;
        loaded.trunk.carrierLevel = 1;
        loaded.pocsagDelay = 300;
        loaded.deviceModel = text::ModelAB;
        file.applyTo(loaded);
        QCOMPARE(loaded.info.serialNumber, c.info.serialNumber);
        QCOMPARE(loaded.info.address, c.info.address);
        QCOMPARE(loaded.gps, c.gps);
        TrunkParams expectedTrunk = c.trunk;
        expectedTrunk.carrierLevel = 1; // not in the file: kept
        QCOMPARE(loaded.trunk, expectedTrunk);
        QCOMPARE(loaded.pocsagDelay, 300);
        QCOMPARE(loaded.deviceModel, text::ModelAB);
        QCOMPARE(loaded.reserved, c.reserved);
        QCOMPARE(loaded.ports.size(), 24);
        for (int i = 0; i < 24; ++i) {
            PortEntry expected = c.ports[i];
            if (expected.delay.isEmpty()) // empty cells come back as "-"
                expected.delay = text::None;
            if (expected.remark.isEmpty())
                expected.remark = text::None;
            QCOMPARE(loaded.ports[i], expected);
        }
    }

    void everyReservedByteRoundTrips() {
        for (int start = 0; start < 256; start += 32) {
            DeviceConfiguration c;
            for (int i = 0; i < 32; ++i)
                c.reserved.bytes[std::size_t(i)] = std::uint8_t(start + i);
            c.ports = {Row(1), Row(2)};
            const ConfigurationFile file = parseConfigurationFile(configurationFileBytes(c));
            QCOMPARE(file.reserved.bytes, c.reserved.bytes);
            QCOMPARE(file.ports.size(), 24);
            QCOMPARE(file.ports[0], Row(1, text::None)); // rows read from the right line
            QCOMPARE(file.ports[1], Row(2, text::None));
            const PortEntry filler{"3", "-", "-", "-", "-", "-", "-", "-", "-", "-"};
            QCOMPARE(file.ports[2], filler);
        }
    }

    void documentedLayoutLoads() {
        // An empty byte line reads as 13 and is still one line.
        QByteArray bytes = Crlf({"8", "9", "1", "1", "1", "10", "20", "1", "1", "0", "300", "abc"});
        bytes += "\r\n";
        for (int i = 1; i < 32; ++i)
            bytes += "AB\r\n";
        bytes += Crlf({"1", "5", "POCSAG", "512", "-", "-", "", "", "", ""});
        const ConfigurationFile f = parseConfigurationFile(bytes);
        QCOMPARE(f.serialNumber, 8);
        QCOMPARE(f.address, 9);
        QCOMPARE(f.trunk.dataPolarity, 1);
        QCOMPARE(f.trunk.clockPolarity, 0);
        QCOMPARE(int(f.reserved.value), 300 & 0xFF);
        QCOMPARE(f.reserved.text, QByteArray("abc"));
        QCOMPARE(int(f.reserved.bytes[0]), 13);
        QCOMPARE(int(f.reserved.bytes[1]), 'A');
        QCOMPARE(int(f.reserved.bytes[31]), 'A');
        QCOMPARE(f.ports[0], (PortEntry{"1", "5", "POCSAG", "512", "-", "-", "-", "-", "-", "-"}));
    }

    void headerValues_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<int>>("values"); // lines 1 to 11 as read
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("firstByte");
        QTest::addColumn<QString>("serialText"); // line 1 as it stands

        QTest::newRow("non-numbers give 0")
            << Header({"", "x", "1.5", " 1", "0x10", "", "+7", "-3", "2147483648", "1 ", "-1", "t"})
            << QList<int>{0, 0, 0, 0, 0, 0, 7, -3, 0, 0, 255} << QByteArray("t") << int('r') << "";
        QTest::newRow("line 11 keeps the low 8 bits")
            << Header({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "300", ""})
            << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 44} << QByteArray() << int('r') << "1";
        QTest::newRow("ends inside the integers")
            << Crlf({"5", "6"}) << QList<int>{5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0} << QByteArray() << 26
            << "5";
        QTest::newRow("ends after the text line")
            << Crlf({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "txt"})
            << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11} << QByteArray("txt") << 26 << "1";
        QTest::newRow("empty file")
            << QByteArray() << QList<int>(11, 0) << QByteArray() << 26 << "";
    }

    void headerValues() {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<int>, values);
        QFETCH(QByteArray, text);
        QFETCH(int, firstByte);
        const ConfigurationFile f = parseConfigurationFile(bytes);
        const QList<int> got{f.serialNumber,       f.address,
                             f.gps.gpsEnabled,     f.gps.gpsPolarity,
                             f.trunk.delayEnabled, f.trunk.delayCyclesA,
                             f.trunk.delayCyclesB, f.trunk.trunkPort,
                             f.trunk.dataPolarity, f.trunk.clockPolarity,
                             f.reserved.value};
        QCOMPARE(got, values);
        QCOMPARE(f.reserved.text, text);
        QCOMPARE(int(f.reserved.bytes[0]), firstByte);
        QCOMPARE(int(f.reserved.bytes[31]), firstByte);
        QCOMPARE(Keys(f.ports), Range(1, 24, "f"));
        QTEST(f.serialNumberText, "serialText");
    }

    void portRows_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QStringList>("expected"); // "f" marks a filler
        QTest::newRow("1, 2, 5") << QList<int>{1, 2, 5}
                                 << QStringList{"1", "2", "3f", "4f", "5"} + Range(6, 24, "f");
        QList<int> thirty;
        for (int k = 1; k <= 30; ++k)
            thirty << k;
        QTest::newRow("1 to 30 cut to 24") << thirty << Range(1, 24);
        QTest::newRow("no rows") << QList<int>{} << Range(1, 24, "f");
    }

    void portRows() {
        QFETCH(QList<int>, keys);
        QFETCH(QStringList, expected);
        QByteArray bytes = Header({"1", "1", "0", "0", "0", "0", "0", "0", "0", "0", "0", ""});
        for (int k : keys)
            bytes += Crlf({QByteArray::number(k), "5", "a", "b", "c", "d", "e", "f", "g", "h"});
        QCOMPARE(Keys(parseConfigurationFile(bytes).ports), expected);
    }

    void textsThatBreakLinesAreRefused_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("where");
        QTest::newRow("cr in remark")
            << 2 << 9 << QStringLiteral("a\rb") << QStringLiteral("第3行“备注”列");
        QTest::newRow("ctrl-z in channel")
            << 0 << 1 << QStringLiteral("5\x1a") << QStringLiteral("第1行“通道”列");
        QTest::newRow("crlf in port")
            << 23 << 0 << QStringLiteral("24\r\n") << QStringLiteral("第24行“端口”列");
        QTest::newRow("reserved text") << -1 << 0 << QString() << QStringLiteral("保留文字");
    }

    void textsThatBreakLinesAreRefused() {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, cell);
        QFETCH(QString, where);
        DeviceConfiguration c;
        c.resetPortTable();
        if (row >= 0)
            c.ports[row].field(column) = cell;
        else
            c.reserved.text = "a\x1a";
        const QString path = m_dir.filePath("refused.krv");
        QFile::remove(path);
        try {
            writeConfigurationFile(path, c);
            QFAIL("no error");
        } catch (const KorvaneError& e) {
            QVERIFY2(e.message().contains(where), qPrintable(e.message()));
        }
        QVERIFY(!QFile::exists(path));
    }

    void failedSaveLeavesTheOldFile() {
#if defined(_WIN32)
        QSKIP("Windows has no file size limit to make a save fail part-way");
#else
        QTemporaryDir dir;
        const QString path = dir.filePath("old.krv");
        DeviceConfiguration small;
        writeConfigurationFile(path, small);
        const QByteArray before = ReadAll(path);

        DeviceConfiguration big;
        big.resetPortTable();
        for (PortEntry& e : big.ports)
            e.remark = QString(200, u'x');
        // Let the kernel refuse writes past 512 bytes so that the save fails part-way.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = 512;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        QString message;
        try {
            writeConfigurationFile(path, big);
        } catch (const KorvaneError& e) {
            message = e.message();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY2(message.contains(path) && message.size() > path.size() + 8, qPrintable(message));
        QCOMPARE(ReadAll(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.krv"});
#endif
    }

    void missingFileIsAnError() {
        const QString path = m_dir.filePath("absent.krv");
        try {
            readConfigurationFile(path);
            QFAIL("no error");
        } catch (const KorvaneError& e) {
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(
            KorvaneError,
            writeConfigurationFile(m_dir.filePath("no/dir/x.krv"), DeviceConfiguration()));
    }
};

QTEST_GUILESS_MAIN(TestConfigurationFile)
#include "test_configuration_file.moc"
