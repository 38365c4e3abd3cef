#pragma once
// The trunk and GPS parameters dialog. It edits a working copy of eleven values and
// hands them back only when the operator confirms; it never touches the configuration.

#include "config/TrunkGpsValues.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace korvane {

class RadioGroup;


class TfrmGTParam : public QDialog {
    Q_OBJECT
public:
    explicit TfrmGTParam(const TrunkGpsValues& values, QWidget* parent = nullptr);

    // The working copy; after OK it holds the confirmed values.
    const TrunkGpsValues& Values() const { return m_values; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void ApplyTrunkDelayRule();
    void ApplyGpsRule();

    TrunkGpsValues m_values;
    bool m_shownOnce = false;

    QGroupBox* GroupBox1;
    QCheckBox* cbGPS;
    QRadioButton* rbGPSPole1;
    QRadioButton* rbGPSPole2;
    QGroupBox* GroupBox4;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QGroupBox* GroupBox3;
    QCheckBox* cbTrunkDelay;
    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* edDelayCycleA;
    QLineEdit* edDelayCycleB;
    QGroupBox* GroupBox2;
    RadioGroup* rgPort;
    RadioGroup* rgClockPole;
    RadioGroup* rgDataPole;
    RadioGroup* rgLevel;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};

} // namespace korvane
