// SPDX-License-Identifier: MIT
// The trunk and GPS parameters dialog on its own: what it shows, the live rules and
// what OK hands back.

#include "tests/support/Child.h"
#include "ui/RadioGroup.h"
#include "ui/TrunkGpsDialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace korvane;

namespace {

template <typename W> W* child(QWidget& d, const char* name) {
    W* w = d.findChild<W*>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

} // namespace

class TestGTParam : public QObject {
    Q_OBJECT
private slots:
    void showPreparesTheGroups() {
        TrunkGpsDialog d(TrunkGpsValues{});
        auto* gps = child<QGroupBox>(d, "gpsGroup");
        auto* delay = child<QGroupBox>(d, "trunkDelayGroup");
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(!child<QGroupBox>(d, "channelDelayGroup")->isVisible());
        QVERIFY(!gps->geometry().intersects(delay->geometry())); // both readable
        // All values 0: automatic, positive everywhere, delay and GPS off.
        for (const char* g :
             {"trunkPortGroup", "clockPolarityGroup", "dataPolarityGroup", "carrierLevelGroup"})
            QCOMPARE(child<RadioGroup>(d, g)->itemIndex(), 0);
        QVERIFY(!child<QCheckBox>(d, "gpsCheck")->isChecked());
        QVERIFY(child<QRadioButton>(d, "gpsPositiveRadio")->isChecked());
        QVERIFY(!child<QRadioButton>(d, "gpsPositiveRadio")->isEnabled());
        QVERIFY(!child<QCheckBox>(d, "trunkDelayCheck")->isChecked());
        QCOMPARE(child<QLineEdit>(d, "delayCyclesAField")->text(), QStringLiteral("0"));
        QVERIFY(!child<QLineEdit>(d, "delayCyclesAField")->isEnabled());
        QVERIFY(!child<QLabel>(d, "delayCyclesBLabel")->isEnabled());
        QCOMPARE(child<QLineEdit>(d, "pocsagDelayField")->text(), QStringLiteral("000000"));
    }

    void valuesShownAndLiveRules() {
        TrunkGpsValues v;
        v.trunk = {2, 1, 0, 1, 1, 16, -3};
        v.gps = {1, 1};
        TrunkGpsDialog d(v);
        d.show();
        QCOMPARE(child<RadioGroup>(d, "trunkPortGroup")->itemText(), QStringLiteral("Tb"));
        QCOMPARE(child<RadioGroup>(d, "clockPolarityGroup")->itemIndex(), 1);
        QCOMPARE(child<RadioGroup>(d, "dataPolarityGroup")->itemIndex(), 0);
        QCOMPARE(child<RadioGroup>(d, "carrierLevelGroup")->itemIndex(), 1);
        QVERIFY(child<QRadioButton>(d, "gpsNegativeRadio")->isChecked());
        QVERIFY(child<QRadioButton>(d, "gpsNegativeRadio")->isEnabled());
        QCOMPARE(child<QLineEdit>(d, "delayCyclesBField")->text(), QStringLiteral("-3"));
        QVERIFY(child<QLineEdit>(d, "delayCyclesBField")->isEnabled());

        child<QCheckBox>(d, "trunkDelayCheck")->click();
        QVERIFY(!child<QLineEdit>(d, "delayCyclesAField")->isEnabled());
        QVERIFY(!child<QLabel>(d, "delayCyclesALabel")->isEnabled());
        QCOMPARE(d.values().trunk.delayEnabled, 0);
        child<QCheckBox>(d, "gpsCheck")->click();
        QVERIFY(!child<QRadioButton>(d, "gpsPositiveRadio")->isEnabled());
        QCOMPARE(d.values().gps.gpsEnabled, 0);
        child<RadioGroup>(d, "clockPolarityGroup")->item(0)->click();
        QCOMPARE(d.values().trunk.clockPolarity, 0);
    }

    // OK reads the edits: cycles in decimal (0 when not a number, negatives kept),
    // channel delays in hexadecimal, passing through unchanged.
    void okReadsTheEdits_data() {
        QTest::addColumn<QString>("cycleA");
        QTest::addColumn<int>("wantA");
        QTest::addColumn<int>("pocsag");
        QTest::addColumn<QString>("shownPocsag");
        QTest::newRow("plain") << "1234" << 1234 << 300 << "00012C";
        QTest::newRow("empty") << "" << 0 << 0 << "000000";
        QTest::newRow("letters") << "12a" << 0 << 0x1000000 << "1000000";
        QTest::newRow("negative") << "-7" << -7 << -1 << "FFFFFFFF";
    }

    void okReadsTheEdits() {
        QFETCH(QString, cycleA);
        QFETCH(int, wantA);
        QFETCH(int, pocsag);
        QFETCH(QString, shownPocsag);
        TrunkGpsValues v;
        v.trunk.delayEnabled = 1;
        v.pocsagDelay = pocsag;
        v.flexDelay = 0xABCDEF;
        TrunkGpsDialog d(v);
        d.show();
        QCOMPARE(child<QLineEdit>(d, "pocsagDelayField")->text(), shownPocsag);
        QCOMPARE(child<QLineEdit>(d, "flexDelayField")->text(), QStringLiteral("ABCDEF"));
        child<QLineEdit>(d, "delayCyclesAField")->setText(cycleA);
        child<QPushButton>(d, "okButton")->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.values().trunk.delayCyclesA, wantA);
        QCOMPARE(d.values().pocsagDelay, pocsag);
        QCOMPARE(d.values().flexDelay, 0xABCDEF);
    }

    // Values a radio group has no item for (possible from a loaded file) check no item
    // and stay as they are; enable flags other than 0 and 1 show ticked and become 1.
    void outOfRangeValues() {
        TrunkGpsValues v;
        v.trunk = {7, 3, -1, 9, 5, 0, 0};
        v.gps = {4, 2};
        TrunkGpsDialog d(v);
        d.show();
        for (const char* g :
             {"trunkPortGroup", "clockPolarityGroup", "dataPolarityGroup", "carrierLevelGroup"})
            QCOMPARE(child<RadioGroup>(d, g)->itemIndex(), -1);
        QVERIFY(child<QCheckBox>(d, "gpsCheck")->isChecked());
        QVERIFY(child<QRadioButton>(d, "gpsNegativeRadio")->isChecked());
        QVERIFY(child<QCheckBox>(d, "trunkDelayCheck")->isChecked());
        child<QPushButton>(d, "okButton")->click();
        QCOMPARE(d.values().trunk.trunkPort, 7);
        QCOMPARE(d.values().trunk.clockPolarity, 3);
        QCOMPARE(d.values().trunk.dataPolarity, -1);
        QCOMPARE(d.values().trunk.carrierLevel, 9);
        QCOMPARE(d.values().trunk.delayEnabled, 1);
        QCOMPARE(d.values().gps, (GpsParams{1, 2}));
    }

    void cancelAndEscapeReject() {
        TrunkGpsDialog d(TrunkGpsValues{});
        d.show();
        QTest::keyClick(&d, Qt::Key_Escape);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        TrunkGpsDialog d2(TrunkGpsValues{});
        d2.show();
        child<QPushButton>(d2, "cancelButton")->click();
        QCOMPARE(d2.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TestGTParam)
#include "test_trunk_gps_dialog.moc"
