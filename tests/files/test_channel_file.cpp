// SPDX-License-Identifier: MIT
#include "FileTestHelpers.h"
#include "config/KorvaneError.h"
#include "files/ChannelFile.h"
#include "files/Cp936.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace korvane;
using korvane::test::Crlf;
using korvane::test::Joined;

namespace {

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray Record(const QString& channel, const QString& coding) {
    return toCp936(channel + "\r\n" + coding +
                   QStringLiteral("\r\n1200\r\n内部\r\n上升沿(正)\r\n1\r\n"));
}

const QByteArray Head = Crlf({"channel file", "v1"});

} // namespace

class TestChannelFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void records_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("header only") << Head << QStringList{};
        QTest::newRow("channels 7 and 3 in file order")
            << Head + Record("7", "POCSAG") + Record("3", QStringLiteral("异步"))
            << QStringList{QStringLiteral("7|POCSAG|1200|内部|上升沿(正)|1"),
                           QStringLiteral("3|异步|1200|内部|上升沿(正)|1")};
        QTest::newRow("empty coding drops the record")
            << Head + Record("1", "") + Record("2", QStringLiteral("同步"))
            << QStringList{QStringLiteral("2|同步|1200|内部|上升沿(正)|1")};
        QTest::newRow("last record cut after the rate")
            << Head + Record("4", "POCSAG") + Crlf({"9", "POCSAG", "512"})
            << QStringList{QStringLiteral("4|POCSAG|1200|内部|上升沿(正)|1"), "9|POCSAG|512|||"};
        QTest::newRow("empty value lines read as -")
            << Head + Crlf({"05", "POCSAG", "", "", "", ""}) << QStringList{"05|POCSAG|-|-|-|-"};
        QTest::newRow("short header") << Crlf({"only line"}) << QStringList{};
    }

    void records() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QStringList got;
        for (const ChannelRecord& r : parseChannelFile(bytes))
            got << Joined({r.channel, r.coding, r.rate, r.clockSource, r.clockEdge, r.stopBits});
        QCOMPARE(got, expected);
    }

    void readsFileAndReportsMissingOne() {
        const QString path = m_dir.filePath("a.chn");
        writeAll(path, Head + Record("5", "POCSAG"));
        QCOMPARE(readChannelFile(path).size(), 1);
        const QString absent = m_dir.filePath("absent.chn");
        try {
            readChannelFile(absent);
            QFAIL("no error");
        } catch (const KorvaneError& e) {
            QVERIFY2(e.message().contains(absent), qPrintable(e.message()));
        }
    }

    void delayFilePath_data() {
        QTest::addColumn<QString>("channelFile");
        QTest::addColumn<QString>("expected");
        QTest::newRow("chn") << "/d/ch.chn"
                             << "/d/ch.ini";
        QTest::newRow("last dot only") << "/d/a.b.chn"
                                       << "/d/a.b.ini";
        QTest::newRow("no extension") << "/d.x/ch"
                                      << "/d.x/ch.ini";
        QTest::newRow("relative") << "ch.CHN"
                                  << "ch.ini";
        QTest::newRow("empty") << ""
                               << "";
#if defined(_WIN32)
        QTest::newRow("Windows folder with a dot") << QStringLiteral("D:\\数据.v2\\channels")
                                                   << QStringLiteral("D:\\数据.v2\\channels.ini");
#else
        // A backslash is part of a Linux file name.
        QTest::newRow("Windows folder with a dot")
            << QStringLiteral("D:\\数据.v2\\channels") << QStringLiteral("D:\\数据.ini");
#endif
    }

    void delayFilePath() {
        QFETCH(QString, channelFile);
        QFETCH(QString, expected);
        QCOMPARE(channelDelayFilePath(channelFile), expected);
    }

    void delays() {
        const QString channelFile = m_dir.filePath("d.chn");
        writeAll(m_dir.filePath("d.ini"), "[delay]\r\n5 = 00012C\r\n05=000001\r\n");
        QCOMPARE(channelDelay(channelFile, "5"), QStringLiteral("00012C"));
        QCOMPARE(channelDelay(channelFile, "05"), QStringLiteral("000001"));
        QCOMPARE(channelDelay(channelFile, "6"), QStringLiteral("000000"));
        QCOMPARE(channelDelay(m_dir.filePath("other.chn"), "5"), QStringLiteral("000000"));
        QCOMPARE(channelDelay(QString(), "5"), QStringLiteral("000000"));
    }
};

QTEST_GUILESS_MAIN(TestChannelFile)
#include "test_channel_file.moc"
