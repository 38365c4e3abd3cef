// SPDX-License-Identifier: MIT
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

class TrunkGpsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TrunkGpsDialog(const TrunkGpsValues& values, QWidget* parent = nullptr);

    // The working copy; after OK it holds the confirmed values.
    const TrunkGpsValues& values() const { return m_values; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void prepareFirstShow();
    void applyTrunkDelayRule();
    void applyGpsRule();

    TrunkGpsValues m_values;
    bool m_shownOnce = false;

    QGroupBox* gpsGroup;
    QCheckBox* gpsCheck;
    QRadioButton* gpsPositiveRadio;
    QRadioButton* gpsNegativeRadio;
    QGroupBox* channelDelayGroup;
    QLineEdit* pocsagDelayField;
    QLineEdit* flexDelayField;
    QGroupBox* trunkDelayGroup;
    QCheckBox* trunkDelayCheck;
    QLabel* delayCyclesALabel;
    QLabel* delayCyclesBLabel;
    QLineEdit* delayCyclesAField;
    QLineEdit* delayCyclesBField;
    QGroupBox* trunkAttributesGroup;
    RadioGroup* trunkPortGroup;
    RadioGroup* clockPolarityGroup;
    RadioGroup* dataPolarityGroup;
    RadioGroup* carrierLevelGroup;
    QPushButton* okButton;
    QPushButton* cancelButton;
};

} // namespace korvane
