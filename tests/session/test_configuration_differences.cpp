// SPDX-License-Identifier: MIT
// The comparison of two configurations that diff and write use: each value changed
// alone is exactly one difference, named by its field (a coding, with the clock source
// the device then shows).

#include "config/DisplayTexts.h"
#include "session/ConfigurationDifferences.h"

#include <QMap>
#include <QtTest>

#include <functional>

using namespace korvane;

namespace {

// Every port in use, each value one the device keeps, none at its zero.
DeviceValues assignedDevice() {
    DeviceValues v;
    v.serialNumber = 1001;
    v.address = 3;
    for (int port = 1; port <= 24; ++port)
        v.ports.append(PortEntry{QString::number(port), QString::number(port + 4), text::Sync,
                                 QStringLiteral("1200"), text::Internal, text::RisingEdge,
                                 text::Positive, text::On, QStringLiteral("000010"), QString()});
    v.gps = {1, 0};
    v.trunk.delayEnabled = 1;
    v.trunk.delayCyclesA = 5;
    v.trunk.delayCyclesB = 7;
    return v;
}

// Changes the one value the field names; false for a field it does not know.
bool change(DeviceValues& v, const QString& field) {
    const QStringList path = field.split(u'.');
    if (path.value(0) == QStringLiteral("ports") && path.size() == 3) {
        PortEntry& row = v.ports[path[1].toInt() - 1];
        const QString& key = path[2];
        if (key == QStringLiteral("channel"))
            row.channel = QStringLiteral("200");
        else if (key == QStringLiteral("coding"))
            row.coding = text::Pocsag;
        else if (key == QStringLiteral("rate"))
            row.rate = QStringLiteral("2400");
        else if (key == QStringLiteral("clockSource"))
            row.clockSource = text::External;
        else if (key == QStringLiteral("clockEdge"))
            row.clockEdge = text::FallingEdge;
        else if (key == QStringLiteral("dataPolarity"))
            row.polarity = text::Negative;
        else if (key == QStringLiteral("state"))
            row.portState = text::Off;
        else if (key == QStringLiteral("delay"))
            row.delay = QStringLiteral("ABCDEF");
        else
            return false;
        return true;
    }
    static const QMap<QString, std::function<void(DeviceValues&)>> others{
        {QStringLiteral("serial"),
         [](DeviceValues& d) {
             d.serialNumber = 1002;
         }},
        {QStringLiteral("address"),
         [](DeviceValues& d) {
             d.address = 4;
         }},
        {QStringLiteral("gps.enabled"),
         [](DeviceValues& d) {
             d.gps.gpsEnabled = 0;
         }},
        {QStringLiteral("gps.polarity"),
         [](DeviceValues& d) {
             d.gps.gpsPolarity = 1;
         }},
        {QStringLiteral("trunk.line"),
         [](DeviceValues& d) {
             d.trunk.trunkPort = 2;
         }},
        {QStringLiteral("trunk.clockPolarity"),
         [](DeviceValues& d) {
             d.trunk.clockPolarity = 1;
         }},
        {QStringLiteral("trunk.dataPolarity"),
         [](DeviceValues& d) {
             d.trunk.dataPolarity = 1;
         }},
        {QStringLiteral("trunk.carrierLevel"),
         [](DeviceValues& d) {
             d.trunk.carrierLevel = 1;
         }},
        {QStringLiteral("delay.enabled"),
         [](DeviceValues& d) {
             d.trunk.delayEnabled = 0;
         }},
        {QStringLiteral("delay.cyclesA"),
         [](DeviceValues& d) {
             d.trunk.delayCyclesA = 6;
         }},
        {QStringLiteral("delay.cyclesB"),
         [](DeviceValues& d) {
             d.trunk.delayCyclesB = 8;
         }},
    };
    const auto it = others.find(field);
    if (it == others.end())
        return false;
    it.value()(v);
    return true;
}

} // namespace

class TestConfigurationDifferences : public QObject {
    Q_OBJECT
private slots:
    void eachFieldAlone_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("found");
        // The first port (rate words of its own), a middle one and the last.
        for (int port : {1, 9, 24}) {
            for (const char* key : {"channel", "coding", "rate", "clockSource", "clockEdge",
                                    "dataPolarity", "state", "delay"}) {
                const QString field = QStringLiteral("ports.%1.%2").arg(port).arg(key);
                QStringList found{field};
                // A POCSAG port has no clock source of its own: the device shows none.
                if (QLatin1String(key) == QLatin1String("coding"))
                    found.append(QStringLiteral("ports.%1.clockSource").arg(port));
                QTest::newRow(qPrintable(field)) << field << found;
            }
        }
        for (const char* field : {"serial", "address", "gps.enabled", "gps.polarity", "trunk.line",
                                  "trunk.clockPolarity", "trunk.dataPolarity", "trunk.carrierLevel",
                                  "delay.enabled", "delay.cyclesA", "delay.cyclesB"})
            QTest::newRow(field) << QString::fromLatin1(field)
                                 << QStringList{QString::fromLatin1(field)};
    }
    void eachFieldAlone() {
        QFETCH(QString, field);
        QFETCH(QStringList, found);
        const DeviceValues device = assignedDevice();
        QVERIFY(differences(device, device, text::ModelAB, {true, true}).isEmpty());
        DeviceValues other = device;
        QVERIFY2(change(other, field), qPrintable(field));
        QStringList fields;
        for (const Difference& d : differences(device, other, text::ModelAB, {true, true}))
            fields.append(d.field);
        QCOMPARE(fields, found);
    }
};

QTEST_GUILESS_MAIN(TestConfigurationDifferences)
#include "test_configuration_differences.moc"
