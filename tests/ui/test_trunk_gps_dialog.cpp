// The trunk and GPS parameters dialog on its own: what it shows, the live rules and
// what OK hands back.

#include "ui/TrunkGpsDialog.h"
#include "ui/RadioGroup.h"

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
        TfrmGTParam d(TrunkGpsValues{});
        auto* gps = child<QGroupBox>(d, "GroupBox1");
        auto* delay = child<QGroupBox>(d, "GroupBox3");
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(!child<QGroupBox>(d, "GroupBox4")->isVisible());
        QVERIFY(!gps->geometry().intersects(delay->geometry())); // both readable
        // All values 0: automatic, positive everywhere, delay and GPS off.
        for (const char* g : {"rgPort", "rgClockPole", "rgDataPole", "rgLevel"})
            QCOMPARE(child<RadioGroup>(d, g)->ItemIndex(), 0);
        QVERIFY(!child<QCheckBox>(d, "cbGPS")->isChecked());
        QVERIFY(child<QRadioButton>(d, "rbGPSPole1")->isChecked());
        QVERIFY(!child<QRadioButton>(d, "rbGPSPole1")->isEnabled());
        QVERIFY(!child<QCheckBox>(d, "cbTrunkDelay")->isChecked());
        QCOMPARE(child<QLineEdit>(d, "edDelayCycleA")->text(), QStringLiteral("0"));
        QVERIFY(!child<QLineEdit>(d, "edDelayCycleA")->isEnabled());
        QVERIFY(!child<QLabel>(d, "Label2")->isEnabled());
        QCOMPARE(child<QLineEdit>(d, "Edit1")->text(), QStringLiteral("000000"));
    }

    void valuesShownAndLiveRules() {
        TrunkGpsValues v;
        v.Trunk = {2, 1, 0, 1, 1, 16, -3};
        v.Gps = {1, 1};
        TfrmGTParam d(v);
        d.show();
        QCOMPARE(child<RadioGroup>(d, "rgPort")->ItemText(), QStringLiteral("Tb"));
        QCOMPARE(child<RadioGroup>(d, "rgClockPole")->ItemIndex(), 1);
        QCOMPARE(child<RadioGroup>(d, "rgDataPole")->ItemIndex(), 0);
        QCOMPARE(child<RadioGroup>(d, "rgLevel")->ItemIndex(), 1);
        QVERIFY(child<QRadioButton>(d, "rbGPSPole2")->isChecked());
        QVERIFY(child<QRadioButton>(d, "rbGPSPole2")->isEnabled());
        QCOMPARE(child<QLineEdit>(d, "edDelayCycleB")->text(), QStringLiteral("-3"));
        QVERIFY(child<QLineEdit>(d, "edDelayCycleB")->isEnabled());

        child<QCheckBox>(d, "cbTrunkDelay")->click();
        QVERIFY(!child<QLineEdit>(d, "edDelayCycleA")->isEnabled());
        QVERIFY(!child<QLabel>(d, "Label1")->isEnabled());
        QCOMPARE(d.Values().Trunk.DelayEnabled, 0);
        child<QCheckBox>(d, "cbGPS")->click();
        QVERIFY(!child<QRadioButton>(d, "rbGPSPole1")->isEnabled());
        QCOMPARE(d.Values().Gps.GpsEnabled, 0);
        child<RadioGroup>(d, "rgClockPole")->Item(0)->click();
        QCOMPARE(d.Values().Trunk.ClockPolarity, 0);
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
        v.Trunk.DelayEnabled = 1;
        v.PocsagDelay = pocsag;
        v.FlexDelay = 0xABCDEF;
        TfrmGTParam d(v);
        d.show();
        QCOMPARE(child<QLineEdit>(d, "Edit1")->text(), shownPocsag);
        QCOMPARE(child<QLineEdit>(d, "Edit2")->text(), QStringLiteral("ABCDEF"));
        child<QLineEdit>(d, "edDelayCycleA")->setText(cycleA);
        child<QPushButton>(d, "BitBtn1")->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.Values().Trunk.DelayCyclesA, wantA);
        QCOMPARE(d.Values().PocsagDelay, pocsag);
        QCOMPARE(d.Values().FlexDelay, 0xABCDEF);
    }

    // Values a radio group has no item for (possible from a loaded file) check no item
    // and stay as they are; enable flags other than 0 and 1 show ticked and become 1.
    void outOfRangeValues() {
        TrunkGpsValues v;
        v.Trunk = {7, 3, -1, 9, 5, 0, 0};
        v.Gps = {4, 2};
        TfrmGTParam d(v);
        d.show();
        for (const char* g : {"rgPort", "rgClockPole", "rgDataPole", "rgLevel"})
            QCOMPARE(child<RadioGroup>(d, g)->ItemIndex(), -1);
        QVERIFY(child<QCheckBox>(d, "cbGPS")->isChecked());
        QVERIFY(child<QRadioButton>(d, "rbGPSPole2")->isChecked());
        QVERIFY(child<QCheckBox>(d, "cbTrunkDelay")->isChecked());
        child<QPushButton>(d, "BitBtn1")->click();
        QCOMPARE(d.Values().Trunk.TrunkPort, 7);
        QCOMPARE(d.Values().Trunk.ClockPolarity, 3);
        QCOMPARE(d.Values().Trunk.DataPolarity, -1);
        QCOMPARE(d.Values().Trunk.CarrierLevel, 9);
        QCOMPARE(d.Values().Trunk.DelayEnabled, 1);
        QCOMPARE(d.Values().Gps, (GpsParams{1, 2}));
    }

    void cancelAndEscapeReject() {
        TfrmGTParam d(TrunkGpsValues{});
        d.show();
        QTest::keyClick(&d, Qt::Key_Escape);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        TfrmGTParam d2(TrunkGpsValues{});
        d2.show();
        child<QPushButton>(d2, "BitBtn2")->click();
        QCOMPARE(d2.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TestGTParam)
#include "test_trunk_gps_dialog.moc"
