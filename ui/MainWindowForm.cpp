// SPDX-License-Identifier: MIT
// Builds the main window's controls: device information across the top, the port
// list with its trunk label and buttons below.

#include "ui/MainWindow.h"

#include "ui/PortTableModel.h"

#include <QAction>
#include <QApplication>
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

void MainWindow::buildForm() {
    setObjectName(QStringLiteral("mainWindow"));
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

    deviceInfoGroup = named(new QGroupBox(QStringLiteral("设备信息"), this), "deviceInfoGroup");
    auto* info = new QGridLayout(deviceInfoGroup);
    deviceNameLabel =
        named(new QLabel(QStringLiteral("设备名称"), deviceInfoGroup), "deviceNameLabel");
    deviceNameField = named(new QLineEdit(deviceInfoGroup), "deviceNameField");
    deviceNameField->setMaxLength(50);
    stationLabel = named(new QLabel(QStringLiteral("所在站点"), deviceInfoGroup), "stationLabel");
    stationCombo = named(new QComboBox(deviceInfoGroup), "stationCombo");
    auto* serialNumberCaption =
        named(new QLabel(QStringLiteral("序列号"), deviceInfoGroup), "serialNumberCaption");
    serialNumberField =
        named(new QLineEdit(QStringLiteral("00000001"), deviceInfoGroup), "serialNumberField");
    serialNumberField->setReadOnly(true);
    auto* addressCaption =
        named(new QLabel(QStringLiteral("地址"), deviceInfoGroup), "addressCaption");
    addressField = named(new QLineEdit(QStringLiteral("000001"), deviceInfoGroup), "addressField");
    modelLabel = named(new QLabel(deviceInfoGroup), "modelLabel");
    modelLabel->setMinimumWidth(90);
    channelDelayCheck =
        named(new QCheckBox(QStringLiteral("允许通道延时"), deviceInfoGroup), "channelDelayCheck");
    channelDelayCheck->setChecked(true);
    remoteControlCheck =
        named(new QCheckBox(QStringLiteral("远程控制"), deviceInfoGroup), "remoteControlCheck");
    info->addWidget(deviceNameLabel, 0, 0);
    info->addWidget(deviceNameField, 0, 1, 1, 3);
    info->addWidget(stationLabel, 0, 4);
    info->addWidget(stationCombo, 0, 5, 1, 2);
    info->addWidget(serialNumberCaption, 1, 0);
    info->addWidget(serialNumberField, 1, 1);
    info->addWidget(addressCaption, 1, 2);
    info->addWidget(addressField, 1, 3);
    info->addWidget(modelLabel, 1, 4);
    info->addWidget(channelDelayCheck, 1, 5);
    info->addWidget(remoteControlCheck, 1, 6);
    root->addWidget(deviceInfoGroup);

    portTableGroup = named(new QGroupBox(this), "portTableGroup");
    auto* ports = new QVBoxLayout(portTableGroup);
    auto* top = new QHBoxLayout;
    top->addWidget(
        named(new QLabel(QStringLiteral("通道列表："), portTableGroup), "portListCaption"));
    top->addStretch();
    // Shown only while schedule blocks go out, when the group is disabled: it keeps
    // the ordinary text colour so the operator can read it.
    scheduleProgressLabel = named(new QLabel(portTableGroup), "scheduleProgressLabel");
    QPalette progressPalette = scheduleProgressLabel->palette();
    progressPalette.setColor(QPalette::Disabled, QPalette::WindowText,
                             progressPalette.color(QPalette::Active, QPalette::WindowText));
    scheduleProgressLabel->setPalette(progressPalette);
    scheduleProgressLabel->hide();
    top->addWidget(scheduleProgressLabel);
    top->addSpacing(12);
    top->addWidget(named(new QLabel(QStringLiteral("通讯端口："), portTableGroup), "portCaption"));
    portLabel = named(new QLabel(QStringLiteral("断开"), portTableGroup), "portLabel");
    portLabel->setMinimumWidth(130);
    top->addWidget(portLabel);
    ports->addLayout(top);

    // The raw address and serial number answers live here, under the list.
    addressAnswerField = named(new QLineEdit(portTableGroup), "addressAnswerField");
    serialNumberAnswerField = named(new QLineEdit(portTableGroup), "serialNumberAnswerField");
    addressAnswerField->hide();
    serialNumberAnswerField->hide();

    portList = named(new QTreeView(portTableGroup), "portList");
    m_model = new PortTableModel(m_config, this);
    portList->setModel(m_model);
    portList->setRootIsDecorated(false);
    portList->setItemsExpandable(false);
    portList->setUniformRowHeights(true);
    portList->setAllColumnsShowFocus(true);
    portList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    portList->setSelectionBehavior(QAbstractItemView::SelectRows);
    portList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    portList->header()->setStretchLastSection(false);
    portList->header()->setSectionsMovable(false);
    for (int c = 0; c < PortTableModel::columnWidths().size(); ++c)
        portList->setColumnWidth(c, PortTableModel::columnWidths()[c]);
    ports->addWidget(portList, 1);

    trunkSummaryLabel =
        named(new QLabel(QStringLiteral("干线"), portTableGroup), "trunkSummaryLabel");
    trunkSummaryLabel->setCursor(Qt::PointingHandCursor);
    trunkSummaryLabel->setAutoFillBackground(true);
    trunkSummaryLabel->setMinimumHeight(20);
    ports->addWidget(trunkSummaryLabel);

    auto* buttons = new QHBoxLayout;
    deleteButton = button(portTableGroup, "deleteButton", QStringLiteral("删除端口"));
    writeButton = button(portTableGroup, "writeButton", QStringLiteral("写入设备"));
    readButton = button(portTableGroup, "readButton", QStringLiteral("读取设备"));
    setAddressButton = button(portTableGroup, "setAddressButton", QStringLiteral("设置地址"));
    refreshLabel = named(new QLabel(QStringLiteral("已刷新"), portTableGroup), "refreshLabel");
    refreshLabel->setAlignment(Qt::AlignCenter);
    refreshLabel->setMinimumWidth(60);
    portSettingsButton =
        button(portTableGroup, "portSettingsButton", QStringLiteral("设置通讯端口"));
    closeButton = button(portTableGroup, "closeButton", QStringLiteral("关闭"));
    for (QWidget* w :
         {static_cast<QWidget*>(deleteButton), static_cast<QWidget*>(writeButton),
          static_cast<QWidget*>(readButton), static_cast<QWidget*>(setAddressButton),
          static_cast<QWidget*>(refreshLabel), static_cast<QWidget*>(portSettingsButton),
          static_cast<QWidget*>(closeButton)})
        buttons->addWidget(w);
    ports->addLayout(buttons);
    root->addWidget(portTableGroup, 1);

    showTrunkRefreshed(true);
}

void MainWindow::buildPopupMenu() {
    popupMenu = new QMenu(this);
    popupMenu->setObjectName(QStringLiteral("popupMenu"));
    auto add = [this](QMenu* menu, const char* name, const QString& caption,
                      void (MainWindow::*handler)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    QMenu* m = popupMenu;
    portSettingsAction = add(m, "portSettingsAction", QStringLiteral("设置通信端口"),
                             &MainWindow::onPortSettingsTriggered);
    connectAction =
        add(m, "connectAction", QStringLiteral("连接设备"), &MainWindow::onConnectTriggered);
    disconnectAction =
        add(m, "disconnectAction", QStringLiteral("断开连接"), &MainWindow::onDisconnectTriggered);
    m->addSeparator();
    openChannelFileAction = add(m, "openChannelFileAction", QStringLiteral("打开信道配置文件"),
                                &MainWindow::chooseChannelFile);
    saveConfigurationAction = add(m, "saveConfigurationAction", QStringLiteral("保存当前配置"),
                                  &MainWindow::saveConfiguration);
    loadConfigurationAction = add(m, "loadConfigurationAction", QStringLiteral("读入配置文件"),
                                  &MainWindow::loadConfiguration);
    m->addSeparator();
    readAction = add(m, "readAction", QStringLiteral("读取设备参数"), &MainWindow::onReadClicked);
    writeAllAction =
        add(m, "writeAllAction", QStringLiteral("写入所有参数"), &MainWindow::onWriteAllTriggered);
    m->addSeparator();
    writeTrunkMenu = m->addMenu(QStringLiteral("写入干线参数"));
    writeTrunkMenu->setObjectName(QStringLiteral("writeTrunkMenu"));
    writeAllTrunkAction =
        add(writeTrunkMenu, "writeAllTrunkAction", QStringLiteral("写入所有干线参数"),
            &MainWindow::onWriteAllTrunkTriggered);
    writeTrunkMenu->addSeparator();
    writeGpsAction = add(writeTrunkMenu, "writeGpsAction", QStringLiteral("写入GPS参数"),
                         &MainWindow::onWriteGpsTriggered);
    writeTrunkDelayAction =
        add(writeTrunkMenu, "writeTrunkDelayAction", QStringLiteral("写入干线延时参数"),
            &MainWindow::onWriteTrunkDelayTriggered);
    writeTrunkAttributesAction =
        add(writeTrunkMenu, "writeTrunkAttributesAction", QStringLiteral("写入干线属性参数"),
            &MainWindow::onWriteTrunkAttributesTriggered);
    writePortsAction = add(m, "writePortsAction", QStringLiteral("写入通道参数"),
                           &MainWindow::onWritePortsTriggered);
    writeScheduleAction = add(m, "writeScheduleAction", QStringLiteral("写入时序表"),
                              &MainWindow::onWriteScheduleTriggered);
    setAddressAction =
        add(m, "setAddressAction", QStringLiteral("设置地址"), &MainWindow::onSetAddressTriggered);
}

void MainWindow::showRefreshed(bool refreshed) {
    refreshLabel->setText(refreshed ? QStringLiteral("已刷新") : QStringLiteral("未刷新"));
    QPalette p = refreshLabel->palette();
    p.setColor(QPalette::WindowText,
               refreshed ? QApplication::palette().color(QPalette::WindowText) : QColor(Qt::red));
    refreshLabel->setPalette(p);
}

void MainWindow::showTrunkRefreshed(bool refreshed) {
    QPalette p = trunkSummaryLabel->palette();
    p.setColor(QPalette::Window, refreshed ? QColor(255, 255, 0) : QColor(Qt::red));
    p.setColor(QPalette::WindowText,
               refreshed ? QApplication::palette().color(QPalette::WindowText) : QColor(Qt::white));
    trunkSummaryLabel->setPalette(p);
}

} // namespace korvane
