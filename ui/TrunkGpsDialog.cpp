// SPDX-License-Identifier: MIT
#include "ui/TrunkGpsDialog.h"

#include "ui/RadioGroup.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace korvane {

namespace {

template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLineEdit* edit(QWidget* parent, const char* name, QRect geometry) {
    auto* e = named(new QLineEdit(parent), name);
    e->setGeometry(geometry);
    return e;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* l = named(new QLabel(caption, parent), name);
    l->setGeometry(geometry);
    return l;
}

// Upper-case hex, at least six digits; a negative value shows its 32-bit pattern.
QString delayText(std::int32_t value) {
    return QStringLiteral("%1")
        .arg(static_cast<std::uint32_t>(value), 6, 16, QLatin1Char('0'))
        .toUpper();
}

std::int32_t delayValue(const QString& text) {
    return static_cast<std::int32_t>(hexValue(text).value_or(0));
}

} // namespace

TrunkGpsDialog::TrunkGpsDialog(const TrunkGpsValues& values, QWidget* parent)
    : QDialog(parent), m_values(values) {
    setObjectName(QStringLiteral("trunkGpsDialog"));
    setWindowTitle(QStringLiteral("干线、GPS参数设置"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(446, 272);
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());

    gpsGroup = named(new QGroupBox(QStringLiteral("GPS参数"), this), "gpsGroup");
    gpsGroup->setGeometry(8, 8, 110, 120);
    gpsCheck = named(new QCheckBox(QStringLiteral("允许GPS"), gpsGroup), "gpsCheck");
    gpsCheck->setGeometry(10, 24, 90, 20);
    gpsPositiveRadio =
        named(new QRadioButton(QStringLiteral("GPS极性正"), gpsGroup), "gpsPositiveRadio");
    gpsPositiveRadio->setGeometry(10, 56, 90, 20);
    gpsNegativeRadio =
        named(new QRadioButton(QStringLiteral("GPS极性负"), gpsGroup), "gpsNegativeRadio");
    gpsNegativeRadio->setGeometry(10, 84, 90, 20);

    channelDelayGroup = named(new QGroupBox(QStringLiteral("通道延时"), this), "channelDelayGroup");
    channelDelayGroup->setGeometry(122, 8, 110, 120);
    label(channelDelayGroup, "pocsagDelayLabel", QStringLiteral("POSAG延时"), QRect(8, 20, 90, 16));
    pocsagDelayField = edit(channelDelayGroup, "pocsagDelayField", QRect(8, 38, 90, 22));
    label(channelDelayGroup, "flexDelayLabel", QStringLiteral("FLEX延时"), QRect(8, 66, 90, 16));
    flexDelayField = edit(channelDelayGroup, "flexDelayField", QRect(8, 84, 90, 22));

    trunkDelayGroup = named(new QGroupBox(QStringLiteral("干线延时"), this), "trunkDelayGroup");
    trunkDelayGroup->setGeometry(236, 8, 110, 120);
    trunkDelayCheck =
        named(new QCheckBox(QStringLiteral("允许干线延时"), trunkDelayGroup), "trunkDelayCheck");
    trunkDelayCheck->setGeometry(8, 20, 130, 20);
    delayCyclesALabel = label(trunkDelayGroup, "delayCyclesALabel", QStringLiteral("延时周期A"),
                              QRect(8, 46, 70, 20));
    delayCyclesAField = edit(trunkDelayGroup, "delayCyclesAField", QRect(78, 46, 64, 22));
    delayCyclesBLabel = label(trunkDelayGroup, "delayCyclesBLabel", QStringLiteral("延时周期B"),
                              QRect(8, 80, 70, 20));
    delayCyclesBField = edit(trunkDelayGroup, "delayCyclesBField", QRect(78, 80, 64, 22));

    trunkAttributesGroup =
        named(new QGroupBox(QStringLiteral("干线属性参数"), this), "trunkAttributesGroup");
    trunkAttributesGroup->setGeometry(8, 136, 350, 128);
    const QStringList posNeg{QStringLiteral("正"), QStringLiteral("负")};
    trunkPortGroup = new RadioGroup(
        QStringLiteral("trunkPortGroup"), QStringLiteral("选择干线口"),
        {QStringLiteral("自动"), QStringLiteral("Ta"), QStringLiteral("Tb")}, trunkAttributesGroup);
    clockPolarityGroup = new RadioGroup(QStringLiteral("clockPolarityGroup"),
                                        QStringLiteral("时钟极性"), posNeg, trunkAttributesGroup);
    dataPolarityGroup = new RadioGroup(QStringLiteral("dataPolarityGroup"),
                                       QStringLiteral("数据极性"), posNeg, trunkAttributesGroup);
    carrierLevelGroup = new RadioGroup(QStringLiteral("carrierLevelGroup"),
                                       QStringLiteral("载波电平"), posNeg, trunkAttributesGroup);
    int x = 8;
    for (RadioGroup* g :
         {trunkPortGroup, clockPolarityGroup, dataPolarityGroup, carrierLevelGroup}) {
        g->setGeometry(x, 20, 78, 100);
        x += 84;
    }

    okButton = named(new QPushButton(QStringLiteral("OK"), this), "okButton");
    okButton->setGeometry(368, 16, 70, 28);
    okButton->setDefault(true);
    cancelButton = named(new QPushButton(QStringLiteral("Cancel"), this), "cancelButton");
    cancelButton->setGeometry(368, 56, 70, 28);

    connect(okButton, &QPushButton::clicked, this, &TrunkGpsDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &TrunkGpsDialog::reject);
    connect(trunkDelayCheck, &QCheckBox::clicked, this, &TrunkGpsDialog::applyTrunkDelayRule);
    connect(gpsCheck, &QCheckBox::clicked, this, &TrunkGpsDialog::applyGpsRule);
    connect(gpsPositiveRadio, &QRadioButton::clicked, this,
            [this] { m_values.gps.gpsPolarity = 0; });
    connect(gpsNegativeRadio, &QRadioButton::clicked, this,
            [this] { m_values.gps.gpsPolarity = 1; });
    connect(trunkPortGroup, &RadioGroup::itemClicked, this,
            [this](int i) { m_values.trunk.trunkPort = i; });
    connect(clockPolarityGroup, &RadioGroup::itemClicked, this,
            [this](int i) { m_values.trunk.clockPolarity = i; });
    connect(dataPolarityGroup, &RadioGroup::itemClicked, this,
            [this](int i) { m_values.trunk.dataPolarity = i; });
    connect(carrierLevelGroup, &RadioGroup::itemClicked, this,
            [this](int i) { m_values.trunk.carrierLevel = i; });
}

void TrunkGpsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        prepareFirstShow();
    }
}

void TrunkGpsDialog::prepareFirstShow() {
    // The channel delays are not edited here; their group gives its room to the others.
    channelDelayGroup->hide();
    gpsGroup->resize(gpsGroup->width() + 40, gpsGroup->height());
    trunkDelayGroup->resize(trunkDelayGroup->width() + 40, trunkDelayGroup->height());
    trunkDelayGroup->move(trunkAttributesGroup->geometry().right() - trunkDelayGroup->width() + 1,
                          trunkDelayGroup->y());

    // A value outside a group's items (possible from a loaded file) checks no item and
    // stays as it is unless the operator picks one.
    clockPolarityGroup->setItemIndex(m_values.trunk.clockPolarity);
    dataPolarityGroup->setItemIndex(m_values.trunk.dataPolarity);
    trunkPortGroup->setItemIndex(m_values.trunk.trunkPort);
    carrierLevelGroup->setItemIndex(m_values.trunk.carrierLevel);

    gpsCheck->setChecked(m_values.gps.gpsEnabled != 0);
    (m_values.gps.gpsPolarity == 0 ? gpsPositiveRadio : gpsNegativeRadio)->setChecked(true);
    trunkDelayCheck->setChecked(m_values.trunk.delayEnabled != 0);
    delayCyclesAField->setText(QString::number(m_values.trunk.delayCyclesA));
    delayCyclesBField->setText(QString::number(m_values.trunk.delayCyclesB));
    pocsagDelayField->setText(delayText(m_values.pocsagDelay));
    flexDelayField->setText(delayText(m_values.flexDelay));
    applyTrunkDelayRule();
    applyGpsRule();
}

void TrunkGpsDialog::applyTrunkDelayRule() {
    const bool on = trunkDelayCheck->isChecked();
    for (QWidget* w :
         {static_cast<QWidget*>(delayCyclesAField), static_cast<QWidget*>(delayCyclesBField),
          static_cast<QWidget*>(delayCyclesALabel), static_cast<QWidget*>(delayCyclesBLabel)})
        w->setEnabled(on);
    m_values.trunk.delayEnabled = on ? 1 : 0;
}

void TrunkGpsDialog::applyGpsRule() {
    const bool on = gpsCheck->isChecked();
    gpsPositiveRadio->setEnabled(on);
    gpsNegativeRadio->setEnabled(on);
    m_values.gps.gpsEnabled = on ? 1 : 0;
}

void TrunkGpsDialog::accept() {
    m_values.trunk.delayCyclesA = decimalOr(delayCyclesAField->text(), 0);
    m_values.trunk.delayCyclesB = decimalOr(delayCyclesBField->text(), 0);
    m_values.pocsagDelay = delayValue(pocsagDelayField->text());
    m_values.flexDelay = delayValue(flexDelayField->text());
    QDialog::accept();
}

} // namespace korvane
