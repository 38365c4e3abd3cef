// SPDX-License-Identifier: MIT
#include "link/NetworkPortName.h"

#include <QtTest>

using namespace korvane;

// Network port names as typed: their parts, or why they are refused.
class TestNetworkPortName : public QObject {
    Q_OBJECT
private slots:
    void parse_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("network");
        // No scheme: the name is refused, and why says so in the words given.
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("problem");
        struct Row {
            const char* name;
            bool network;
            const char* scheme;
            const char* host;
            int port;
            const char* problem;
        };
        const Row rows[] = {
            {"rfc2217://127.0.0.1:4000", true, "rfc2217", "127.0.0.1", 4000, ""},
            {"socket://127.0.0.1:4001", true, "socket", "127.0.0.1", 4001, ""},
            {"RFC2217://rack-3.site.example:2001", true, "rfc2217", "rack-3.site.example", 2001,
             ""},
            {" socket://localhost:65535 ", true, "socket", "localhost", 65535, ""},
            {"rfc2217://[::1]:4000", true, "rfc2217", "::1", 4000, ""},
            {"socket://[fe80::1%eth0]:10001", true, "socket", "fe80::1%eth0", 10001, ""},
            {"rfc2217://127.0.0.1", true, "", "", 0, "缺少 TCP 端口号"},
            {"rfc2217://127.0.0.1:", true, "", "", 0, "缺少 TCP 端口号"},
            {"rfc2217://127.0.0.1:0", true, "", "", 0, "不在 1 到 65535 之间"},
            {"rfc2217://127.0.0.1:65536", true, "", "", 0, "不在 1 到 65535 之间"},
            {"socket://127.0.0.1:99999999999", true, "", "", 0, "不是数字"},
            {"socket://127.0.0.1:40x1", true, "", "", 0, "不是数字"},
            {"rfc2217://127.0.0.1:4000?ign_set_control", true, "", "", 0, "不是数字"},
            {"rfc2217://:4000", true, "", "", 0, "缺少主机名"},
            {"rfc2217://[::1:4000", true, "", "", 0, "缺少 ]"},
            {"rfc2217://[nohost]:4000", true, "", "", 0, "不是 IPv6 地址"},
            {"rfc2217://[::1]4000", true, "", "", 0, "后面应是 :端口"},
            {"rfc2217://::1:4000", true, "", "", 0, "方括号"},
            {"rfc2217://a b:4000", true, "", "", 0, "不允许的字符"},
            {"telnet://127.0.0.1:23", true, "", "", 0, "类型未知"},
            {"tcp://127.0.0.1:23", true, "", "", 0, "类型未知"},
            {"COM1", false, "", "", 0, "类型未知"},
            {"/dev/ttyUSB0", false, "", "", 0, "类型未知"},
            {"rfc2217:127.0.0.1:4000", false, "", "", 0, "类型未知"},
        };
        for (const Row& r : rows)
            QTest::addRow("%s", r.name)
                << QString::fromUtf8(r.name) << r.network << QString::fromLatin1(r.scheme)
                << QString::fromUtf8(r.host) << r.port << QString::fromUtf8(r.problem);
    }
    void parse() {
        QFETCH(QString, name);
        QFETCH(bool, network);
        QFETCH(QString, scheme);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, problem);
        QCOMPARE(isNetworkPortName(name), network);
        QString why;
        const auto parsed = parseNetworkPortName(name, &why);
        if (scheme.isEmpty()) {
            QVERIFY(!parsed);
            QVERIFY2(why.contains(problem) && why.contains(name.trimmed()), qPrintable(why));
            QCOMPARE(portNameProblem(name), network ? why : QString());
            return;
        }
        QVERIFY2(parsed, qPrintable(why));
        QCOMPARE(parsed->scheme == NetworkPortName::Scheme::Rfc2217, scheme == "rfc2217");
        QCOMPARE(parsed->host, host);
        QCOMPARE(int(parsed->port), port);
        QCOMPARE(portNameProblem(name), QString());
    }
};

QTEST_GUILESS_MAIN(TestNetworkPortName)
#include "test_network_port_name.moc"
