// Builds the main window's controls: device information across the top, the port
// list with its trunk label and buttons below.

#include "ui/MainWindow.h"

#include "ui/PortTableModel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>
#include <QVBoxLayout>

namespace korvane {

namespace {

template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = named(new QPushButton(caption, parent), name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

void TfrmKorvane::BuildForm() {
    setObjectName(QStringLiteral("frmKorvane"));
    setWindowTitle(QStringLiteral("Korvane"));
    QFont font;
    font.setFamilies(
        {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPixelSize(12);
    setFont(font);
    setFixedWidth(695);
    setMinimumHeight(300);
    setMaximumHeight(QWIDGETSIZE_MAX);
    resize(695, 469);
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);

    GroupBox2 = named(new QGroupBox(QStringLiteral("设备信息"), this), "GroupBox2");
    auto* info = new QGridLayout(GroupBox2);
    lbDeviceName = named(new QLabel(QStringLiteral("设备名称"), GroupBox2), "lbDeviceName");
    edDeviceName = named(new QLineEdit(GroupBox2), "edDeviceName");
    edDeviceName->setMaxLength(50);
    lbStation = named(new QLabel(QStringLiteral("所在站点"), GroupBox2), "lbStation");
    cbStation = named(new QComboBox(GroupBox2), "cbStation");
    auto* lbID = named(new QLabel(QStringLiteral("序列号"), GroupBox2), "lbID");
    edID = named(new QLineEdit(QStringLiteral("00000001"), GroupBox2), "edID");
    edID->setReadOnly(true);
    auto* lbAddress = named(new QLabel(QStringLiteral("地址"), GroupBox2), "lbAddress");
    edAddress = named(new QLineEdit(QStringLiteral("000001"), GroupBox2), "edAddress");
    labVer = named(new QLabel(GroupBox2), "labVer");
    labVer->setMinimumWidth(90);
    CheckBox1 = named(new QCheckBox(QStringLiteral("允许通道延时"), GroupBox2), "CheckBox1");
    CheckBox1->setChecked(true);
    CheckBox2 = named(new QCheckBox(QStringLiteral("远程控制"), GroupBox2), "CheckBox2");
    info->addWidget(lbDeviceName, 0, 0);
    info->addWidget(edDeviceName, 0, 1, 1, 3);
    info->addWidget(lbStation, 0, 4);
    info->addWidget(cbStation, 0, 5, 1, 2);
    info->addWidget(lbID, 1, 0);
    info->addWidget(edID, 1, 1);
    info->addWidget(lbAddress, 1, 2);
    info->addWidget(edAddress, 1, 3);
    info->addWidget(labVer, 1, 4);
    info->addWidget(CheckBox1, 1, 5);
    info->addWidget(CheckBox2, 1, 6);
    root->addWidget(GroupBox2);

    GroupBox1 = named(new QGroupBox(this), "GroupBox1");
    auto* ports = new QVBoxLayout(GroupBox1);
    auto* top = new QHBoxLayout;
    top->addWidget(named(new QLabel(QStringLiteral("通道列表："), GroupBox1), "Label6"));
    top->addStretch();
    // Shown only while schedule blocks go out, when the group is disabled: it keeps
    // the ordinary text colour so the operator can read it.
    scheduleProgressLabel = named(new QLabel(GroupBox1), "scheduleProgressLabel");
    QPalette progressPalette = scheduleProgressLabel->palette();
    progressPalette.setColor(QPalette::Disabled, QPalette::WindowText,
                             progressPalette.color(QPalette::Active, QPalette::WindowText));
    scheduleProgressLabel->setPalette(progressPalette);
    scheduleProgressLabel->hide();
    top->addWidget(scheduleProgressLabel);
    top->addSpacing(12);
    top->addWidget(named(new QLabel(QStringLiteral("通讯端口："), GroupBox1), "Label7"));
    lbPort = named(new QLabel(QStringLiteral("断开"), GroupBox1), "lbPort");
    lbPort->setMinimumWidth(130);
    top->addWidget(lbPort);
    ports->addLayout(top);

    // The raw address and serial number answers live here, under the list.
    Edit2 = named(new QLineEdit(GroupBox1), "Edit2");
    Edit3 = named(new QLineEdit(GroupBox1), "Edit3");
    Edit2->hide();
    Edit3->hide();

    ListView1 = named(new QTreeView(GroupBox1), "ListView1");
    m_model = new PortTableModel(m_config.Ports, this);
    ListView1->setModel(m_model);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionsMovable(false);
    for (int c = 0; c < PortTableModel::ColumnWidths().size(); ++c)
        ListView1->setColumnWidth(c, PortTableModel::ColumnWidths()[c]);
    ports->addWidget(ListView1, 1);

    Label13 = named(new QLabel(QStringLiteral("干线"), GroupBox1), "Label13");
    Label13->setCursor(Qt::PointingHandCursor);
    Label13->setAutoFillBackground(true);
    Label13->setMinimumHeight(20);
    ports->addWidget(Label13);

    auto* buttons = new QHBoxLayout;
    btDelete = button(GroupBox1, "btDelete", QStringLiteral("删除端口"));
    btWrite = button(GroupBox1, "btWrite", QStringLiteral("写入设备"));
    btRead = button(GroupBox1, "btRead", QStringLiteral("读取设备"));
    btSetAddress = button(GroupBox1, "btSetAddress", QStringLiteral("设置地址"));
    Label8 = named(new QLabel(QStringLiteral("已刷新"), GroupBox1), "Label8");
    Label8->setAlignment(Qt::AlignCenter);
    Label8->setMinimumWidth(60);
    btSetPort = button(GroupBox1, "btSetPort", QStringLiteral("设置通讯端口"));
    btClose = button(GroupBox1, "btClose", QStringLiteral("关闭"));
    for (QWidget* w : {static_cast<QWidget*>(btDelete), static_cast<QWidget*>(btWrite),
                       static_cast<QWidget*>(btRead), static_cast<QWidget*>(btSetAddress),
                       static_cast<QWidget*>(Label8), static_cast<QWidget*>(btSetPort),
                       static_cast<QWidget*>(btClose)})
        buttons->addWidget(w);
    ports->addLayout(buttons);
    root->addWidget(GroupBox1, 1);

    ShowTrunkRefreshed(true);
}

} // namespace korvane
