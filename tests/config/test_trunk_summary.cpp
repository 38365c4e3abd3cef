// SPDX-License-Identifier: MIT
#include "config/KorvaneError.h"
#include "config/TrunkSummary.h"

#include <QtTest>

using namespace korvane;

class TestTrunkSummary : public QObject {
    Q_OBJECT
private slots:
    void summary_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QList<int>>(
            "values"); // gps, gpsPol, delay, A, B, port, clock, data, carrier
        QTest::addColumn<QString>("expected");

        QTest::newRow("all zero, model unknown")
            << "0" << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 0}
            << QStringLiteral("GPS:禁止   干线延时:禁止   干线口:自动   时钟极性:正   数据极性:正  "
                              " 载波电平:高 ");
        QTest::newRow("gps on positive")
            << "0" << QList<int>{1, 0, 0, 0, 0, 0, 0, 0, 0}
            << QStringLiteral("GPS:允许 GPS极性:正  干线延时:禁止   干线口:自动   时钟极性:正   "
                              "数据极性:正   载波电平:高 ");
        QTest::newRow("gps 5 negative 3")
            << "KORVANE" << QList<int>{5, 3, 0, 0, 0, 1, 1, 1, 1}
            << QStringLiteral("GPS:允许 GPS极性:负  干线延时:禁止   干线口:TA   时钟极性:负   "
                              "数据极性:负   载波电平:低 ");
        QTest::newRow("delay on KORVANE shows A only")
            << "KORVANE" << QList<int>{0, 0, 1, 1234, 99, 2, 0, 1, 0}
            << QStringLiteral("GPS:禁止   干线延时:允许 延时周期：1234   干线口:TB   时钟极性:正   "
                              "数据极性:负   载波电平:高 ");
        QTest::newRow("delay on A/B shows both, negative")
            << "KORVANEA/B" << QList<int>{1, 1, 1, -5, -2147483647 - 1, 7, 1, 0, 9}
            << QStringLiteral("GPS:允许 GPS极性:负  干线延时:允许 延时周期：-5 -2147483648   "
                              "干线口:TB   时钟极性:负   数据极性:正   载波电平:低 ");
        QTest::newRow("delay value 2 counts as on")
            << "KORVANEA/B" << QList<int>{0, 0, 2, 0, 16777215, -1, -1, 2, -1}
            << QStringLiteral("GPS:禁止   干线延时:允许 延时周期：0 16777215   干线口:TB   "
                              "时钟极性:负   数据极性:负   载波电平:低 ");
        QTest::newRow("delay off ignores cycles and model")
            << "KORVANEA/B" << QList<int>{0, 0, 0, 5, 6, 0, 0, 0, 0}
            << QStringLiteral("GPS:禁止   干线延时:禁止   干线口:自动   时钟极性:正   数据极性:正  "
                              " 载波电平:高 ");
    }

    void summary() {
        QFETCH(QString, model);
        QFETCH(QList<int>, values);
        QFETCH(QString, expected);
        DeviceConfiguration c;
        c.deviceModel = model;
        c.gps = GpsParams{values[0], values[1]};
        c.trunk.delayEnabled = values[2];
        c.trunk.delayCyclesA = values[3];
        c.trunk.delayCyclesB = values[4];
        c.trunk.trunkPort = values[5];
        c.trunk.clockPolarity = values[6];
        c.trunk.dataPolarity = values[7];
        c.trunk.carrierLevel = values[8];
        QCOMPARE(trunkSummary(c), expected);
    }

    void delayOnNeedsAKnownModel_data() {
        QTest::addColumn<QString>("model");
        QTest::newRow("not identified") << "0";
        QTest::newRow("empty") << "";
        QTest::newRow("lower case") << "korvane";
        QTest::newRow("other") << "KORVANEB";
    }

    void delayOnNeedsAKnownModel() {
        QFETCH(QString, model);
        DeviceConfiguration c;
        c.deviceModel = model;
        c.trunk.delayEnabled = 1;
        try {
            trunkSummary(c);
            QFAIL("no error");
        } catch (const KorvaneError& e) {
            QCOMPARE(e.message(), QStringLiteral("Korvane 版本错误！"));
        }
    }
};

QTEST_GUILESS_MAIN(TestTrunkSummary)
#include "test_trunk_summary.moc"
