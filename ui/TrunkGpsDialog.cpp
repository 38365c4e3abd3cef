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
    return static_cast<std::int32_t>(HexValue(text).value_or(0));
}

} // namespace

TfrmGTParam::TfrmGTParam(const TrunkGpsValues& values, QWidget* parent)
    : QDialog(parent), m_values(values) {
    setObjectName(QStringLiteral("frmGTParam"));
    setWindowTitle(QStringLiteral("干线、GPS参数设置"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(446, 272);
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());

    GroupBox1 = named(new QGroupBox(QStringLiteral("GPS参数"), this), "GroupBox1");
    GroupBox1->setGeometry(8, 8, 110, 120);
    cbGPS = named(new QCheckBox(QStringLiteral("允许GPS"), GroupBox1), "cbGPS");
    cbGPS->setGeometry(10, 24, 90, 20);
    rbGPSPole1 = named(new QRadioButton(QStringLiteral("GPS极性正"), GroupBox1), "rbGPSPole1");
    rbGPSPole1->setGeometry(10, 56, 90, 20);
    rbGPSPole2 = named(new QRadioButton(QStringLiteral("GPS极性负"), GroupBox1), "rbGPSPole2");
    rbGPSPole2->setGeometry(10, 84, 90, 20);

    GroupBox4 = named(new QGroupBox(QStringLiteral("通道延时"), this), "GroupBox4");
    GroupBox4->setGeometry(122, 8, 110, 120);
    label(GroupBox4, "Label3", QStringLiteral("POSAG延时"), QRect(8, 20, 90, 16));
    Edit1 = edit(GroupBox4, "Edit1", QRect(8, 38, 90, 22));
    label(GroupBox4, "Label4", QStringLiteral("FLEX延时"), QRect(8, 66, 90, 16));
    Edit2 = edit(GroupBox4, "Edit2", QRect(8, 84, 90, 22));

    GroupBox3 = named(new QGroupBox(QStringLiteral("干线延时"), this), "GroupBox3");
    GroupBox3->setGeometry(236, 8, 110, 120);
    cbTrunkDelay = named(new QCheckBox(QStringLiteral("允许干线延时"), GroupBox3), "cbTrunkDelay");
    cbTrunkDelay->setGeometry(8, 20, 130, 20);
    Label1 = label(GroupBox3, "Label1", QStringLiteral("延时周期A"), QRect(8, 46, 70, 20));
    edDelayCycleA = edit(GroupBox3, "edDelayCycleA", QRect(78, 46, 64, 22));
    Label2 = label(GroupBox3, "Label2", QStringLiteral("延时周期B"), QRect(8, 80, 70, 20));
    edDelayCycleB = edit(GroupBox3, "edDelayCycleB", QRect(78, 80, 64, 22));

    GroupBox2 = named(new QGroupBox(QStringLiteral("干线属性参数"), this), "GroupBox2");
    GroupBox2->setGeometry(8, 136, 350, 128);
    const QStringList posNeg{QStringLiteral("正"), QStringLiteral("负")};
    rgPort = new RadioGroup(QStringLiteral("rgPort"), QStringLiteral("选择干线口"),
                            {QStringLiteral("自动"), QStringLiteral("Ta"), QStringLiteral("Tb")},
                            GroupBox2);
    rgClockPole = new RadioGroup(QStringLiteral("rgClockPole"), QStringLiteral("时钟极性"), posNeg,
                                 GroupBox2);
    rgDataPole =
        new RadioGroup(QStringLiteral("rgDataPole"), QStringLiteral("数据极性"), posNeg, GroupBox2);
    rgLevel =
        new RadioGroup(QStringLiteral("rgLevel"), QStringLiteral("载波电平"), posNeg, GroupBox2);
    int x = 8;
    for (RadioGroup* g : {rgPort, rgClockPole, rgDataPole, rgLevel}) {
        g->setGeometry(x, 20, 78, 100);
        x += 84;
    }

    BitBtn1 = named(new QPushButton(QStringLiteral("OK"), this), "BitBtn1");
    BitBtn1->setGeometry(368, 16, 70, 28);
    BitBtn1->setDefault(true);
    BitBtn2 = named(new QPushButton(QStringLiteral("Cancel"), this), "BitBtn2");
    BitBtn2->setGeometry(368, 56, 70, 28);

    connect(BitBtn1, &QPushButton::clicked, this, &TfrmGTParam::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &TfrmGTParam::reject);
    connect(cbTrunkDelay, &QCheckBox::clicked, this, &TfrmGTParam::ApplyTrunkDelayRule);
    connect(cbGPS, &QCheckBox::clicked, this, &TfrmGTParam::ApplyGpsRule);
    connect(rbGPSPole1, &QRadioButton::clicked, this, [this] { m_values.Gps.GpsPolarity = 0; });
    connect(rbGPSPole2, &QRadioButton::clicked, this, [this] { m_values.Gps.GpsPolarity = 1; });
    connect(rgPort, &RadioGroup::ItemClicked, this,
            [this](int i) { m_values.Trunk.TrunkPort = i; });
    connect(rgClockPole, &RadioGroup::ItemClicked, this,
            [this](int i) { m_values.Trunk.ClockPolarity = i; });
    connect(rgDataPole, &RadioGroup::ItemClicked, this,
            [this](int i) { m_values.Trunk.DataPolarity = i; });
    connect(rgLevel, &RadioGroup::ItemClicked, this,
            [this](int i) { m_values.Trunk.CarrierLevel = i; });
}

void TfrmGTParam::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        FormShow();
    }
}

void TfrmGTParam::FormShow() {
    // The channel delays are not edited here; their group gives its room to the others.
    GroupBox4->hide();
    GroupBox1->resize(GroupBox1->width() + 40, GroupBox1->height());
    GroupBox3->resize(GroupBox3->width() + 40, GroupBox3->height());
    GroupBox3->move(GroupBox2->geometry().right() - GroupBox3->width() + 1, GroupBox3->y());

    // A value outside a group's items (possible from a loaded file) checks no item and
    // stays as it is unless the operator picks one.
    rgClockPole->SetItemIndex(m_values.Trunk.ClockPolarity);
    rgDataPole->SetItemIndex(m_values.Trunk.DataPolarity);
    rgPort->SetItemIndex(m_values.Trunk.TrunkPort);
    rgLevel->SetItemIndex(m_values.Trunk.CarrierLevel);

    cbGPS->setChecked(m_values.Gps.GpsEnabled != 0);
    (m_values.Gps.GpsPolarity == 0 ? rbGPSPole1 : rbGPSPole2)->setChecked(true);
    cbTrunkDelay->setChecked(m_values.Trunk.DelayEnabled != 0);
    edDelayCycleA->setText(QString::number(m_values.Trunk.DelayCyclesA));
    edDelayCycleB->setText(QString::number(m_values.Trunk.DelayCyclesB));
    Edit1->setText(delayText(m_values.PocsagDelay));
    Edit2->setText(delayText(m_values.FlexDelay));
    ApplyTrunkDelayRule();
    ApplyGpsRule();
}

void TfrmGTParam::ApplyTrunkDelayRule() {
    const bool on = cbTrunkDelay->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(edDelayCycleA), static_cast<QWidget*>(edDelayCycleB),
                       static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2)})
        w->setEnabled(on);
    m_values.Trunk.DelayEnabled = on ? 1 : 0;
}

void TfrmGTParam::ApplyGpsRule() {
    const bool on = cbGPS->isChecked();
    rbGPSPole1->setEnabled(on);
    rbGPSPole2->setEnabled(on);
    m_values.Gps.GpsEnabled = on ? 1 : 0;
}

void TfrmGTParam::accept() {
    m_values.Trunk.DelayCyclesA = StrToIntDef(edDelayCycleA->text(), 0);
    m_values.Trunk.DelayCyclesB = StrToIntDef(edDelayCycleB->text(), 0);
    m_values.PocsagDelay = delayValue(Edit1->text());
    m_values.FlexDelay = delayValue(Edit2->text());
    QDialog::accept();
}

} // namespace korvane
