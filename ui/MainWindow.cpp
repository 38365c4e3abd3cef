#include "ui/MainWindow.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "files/IniFile.h"
#include "files/TrunkSummary.h"
#include "link/CommandTransport.h"
#include "link/SerialPort.h"
#include "protocol/DeviceProcedures.h"
#include "ui/ChannelDialog.h"
#include "ui/HexFieldValidator.h"
#include "ui/MonitorWindow.h"
#include "ui/PortSettingsDialog.h"
#include "ui/PortTableModel.h"
#include "ui/TrunkGpsDialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFocusEvent>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

namespace korvane {

namespace {

const QString SettingSection = QStringLiteral("Setting");
const QString Disconnected = QStringLiteral("断开");

// The transaction's hourglass, as an override cursor so that it covers every window.
class OverrideBusyCursor : public BusyCursor {
public:
    void Busy() override { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    void Restore() override { QGuiApplication::restoreOverrideCursor(); }
};

OverrideBusyCursor& busyCursor() {
    static OverrideBusyCursor cursor;
    return cursor;
}

template <typename E> E enumSetting(int value, int count, E fallback) {
    return value >= 0 && value < count ? static_cast<E>(value) : fallback;
}

} // namespace

MainWindow::MainWindow(MessagePresenter presenter, QWidget* parent)
    : QWidget(parent), m_presenter(std::move(presenter)) {
    BuildForm();
    BuildPopupMenu();

    // Start values; the configuration's own defaults are the device's start values.
    m_config.Info.Address = 1;
    m_config.Info.SerialNumber = 1;
    m_config.PocsagDelay = 0;
    m_config.FlexDelay = 0;
    m_config.ChannelDelayEnabled = true;
    m_config.ControlMode = false;
    m_config.DeviceModel = text::ModelUnknown;

    m_settings = std::make_unique<IniFile>(QDir::current().filePath(QStringLiteral("KORVANE.INI")));
    m_debug = m_settings->ReadBool(SettingSection, QStringLiteral("debug"), false);

    m_transport = std::make_unique<CommandTransport>();
    m_transport->SetDebug(m_debug);
    m_transport->SetBusyCursor(&busyCursor());
    m_procedures = std::make_unique<DeviceProcedures>(m_config, *m_transport, *this);

    SerialPort& comm = m_transport->Comm();
    comm.ClosePort();
    comm.SetCommName(
        m_settings->ReadString(SettingSection, QStringLiteral("CommName"), QStringLiteral("COM1")));
    comm.SetBaudRate(static_cast<std::uint32_t>(
        m_settings->ReadInteger(SettingSection, QStringLiteral("BaudRate"), 9600)));
    comm.SetByteSize(enumSetting(
        m_settings->ReadInteger(SettingSection, QStringLiteral("ByteSize"), 3), 4, DataBits::_8));
    comm.SetParity(enumSetting(m_settings->ReadInteger(SettingSection, QStringLiteral("Parity"), 0),
                               5, ParityMode::None));
    comm.SetStopBits(
        enumSetting(m_settings->ReadInteger(SettingSection, QStringLiteral("StopBits"), 0), 3,
                    StopBitsMode::_1));
    RunAction([&comm] { comm.OpenPort(); });

    m_config.ChannelFileName =
        m_settings->ReadString(SettingSection, QStringLiteral("ChannelFile"), {});

    connect(&m_config, &DeviceConfiguration::RefreshedChanged, this, &MainWindow::ShowRefreshed);
    connect(&m_config, &DeviceConfiguration::TrunkRefreshedChanged, this,
            &MainWindow::ShowTrunkRefreshed);

    connect(readButton, &QPushButton::clicked, this, &MainWindow::onReadClicked);
    connect(writeButton, &QPushButton::clicked, this, &MainWindow::onWriteAllTriggered);
    connect(setAddressButton, &QPushButton::clicked, this, &MainWindow::onSetAddressTriggered);
    connect(deleteButton, &QPushButton::clicked, this, &MainWindow::onDeleteClicked);
    connect(portSettingsButton, &QPushButton::clicked, this, &MainWindow::onPortSettingsTriggered);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(channelDelayCheck, &QCheckBox::clicked, this, &MainWindow::onChannelDelayClicked);
    connect(remoteControlCheck, &QCheckBox::clicked, this, &MainWindow::onRemoteControlClicked);
    connect(portList, &QTreeView::doubleClicked, this, &MainWindow::onPortListDoubleClicked);
    // The typing limits are kept by validators, not as the fields' maximum length,
    // which would also cut the longer numbers a device read or a file puts there.
    serialNumberField->setValidator(new HexFieldValidator(serialNumberField, 8));
    addressField->setValidator(new HexFieldValidator(addressField, 6));
    for (QObject* o :
         {static_cast<QObject*>(serialNumberField), static_cast<QObject*>(addressField),
          static_cast<QObject*>(trunkSummaryLabel), static_cast<QObject*>(deviceInfoGroup)})
        o->installEventFilter(this);
}

MainWindow::~MainWindow() {
    // Hidden and detached while the configuration the controls show still exists.
    for (QObject* o :
         {static_cast<QObject*>(serialNumberField), static_cast<QObject*>(addressField),
          static_cast<QObject*>(trunkSummaryLabel), static_cast<QObject*>(deviceInfoGroup)})
        o->removeEventFilter(this);
    hide();
    portList->setModel(nullptr);
    // The settings file first, then the transport (which closes the port).
    m_procedures.reset();
    m_settings.reset();
    m_transport.reset();
}

void MainWindow::BuildPopupMenu() {
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
                                &MainWindow::ChooseChannelFile);
    saveConfigurationAction = add(m, "saveConfigurationAction", QStringLiteral("保存当前配置"),
                                  &MainWindow::SaveConfiguration);
    loadConfigurationAction = add(m, "loadConfigurationAction", QStringLiteral("读入配置文件"),
                                  &MainWindow::LoadConfiguration);
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

void MainWindow::AttachMonitor(MonitorWindow* monitor) {
    m_monitor = monitor;
    m_transport->SetMonitor(monitor);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_startDirectory.isEmpty())
        PrepareFirstShow();
}

void MainWindow::PrepareFirstShow() {
    m_startDirectory = QDir::currentPath();
    UpdatePortLabel();
    stationCombo->clear();
    m_config.ResetPortTable();
    PortTableChanged();
    channelDelayCheck->setChecked(m_config.ChannelDelayEnabled);
    for (QWidget* w : {static_cast<QWidget*>(deviceNameField), static_cast<QWidget*>(stationCombo),
                       static_cast<QWidget*>(deviceNameLabel), static_cast<QWidget*>(stationLabel)})
        w->setEnabled(false);
    closeButton->setText(QStringLiteral("返回"));
}

void MainWindow::UpdatePortLabel() {
    ShowPortLabel(m_transport->Comm().IsOpen() ? m_transport->PortDescription() : Disconnected);
}

// ---- the top-level error handler --------------------------------------------------

void MainWindow::RunAction(const std::function<void()>& action) {
    try {
        action();
    } catch (const KorvaneError& e) {
        ShowError(e.message());
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowError(QStringLiteral("未知错误"));
    }
}

void MainWindow::ShowError(QString message) {
    if (!message.endsWith(u'.') && !message.endsWith(u'。'))
        message += u'.';
    ShowMessage(message, QCoreApplication::applicationName(), MessageIcon::Error);
}

void MainWindow::RunDeviceAction(const std::function<void()>& action) {
    if (m_deviceActionRunning) {
        QApplication::beep();
        return;
    }
    m_deviceActionRunning = true;
    RunAction(action);
    m_deviceActionRunning = false;
}

// ---- DeviceOperator ---------------------------------------------------------------

void MainWindow::ShowMessage(const QString& text, const QString& caption, MessageIcon icon) {
    if (m_presenter) {
        m_presenter(text, caption, icon);
        return;
    }
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                    caption, text, QMessageBox::Ok, isVisible() ? this : nullptr);
    box.exec();
}

void MainWindow::SetBusy(bool busy) {
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
    portTableGroup->setEnabled(!busy);
    // The device information takes no input either: an address or a control mode
    // changed halfway would change the frames and pauses that follow.
    m_busy = busy;
    addressField->setReadOnly(busy);
    serialNumberField->setReadOnly(busy || !m_config.ControlMode);
    remoteControlCheck->setEnabled(!busy);
    if (!busy) {
        // A field left while the procedure ran is taken now that it is over.
        for (QLineEdit* field : std::exchange(m_fieldsLeftWhileBusy, {}))
            TakeFieldValue(field);
    }
}

void MainWindow::ShowPortLabel(const QString& text) {
    portLabel->setText(text);
}

void MainWindow::ShowModel(const QString& model) {
    modelLabel->setText(model);
}

void MainWindow::ShowAddress(const QString& decimal, const QString& answerHex) {
    HexFieldValidator::SetUnchecked(addressField, decimal);
    addressAnswerField->setText(answerHex);
}

void MainWindow::ShowSerialNumber(const QString& decimal, const QString& answerHex) {
    HexFieldValidator::SetUnchecked(serialNumberField, decimal);
    serialNumberAnswerField->setText(answerHex);
}

void MainWindow::PortTableChanged() {
    m_model->Refresh();
}

void MainWindow::ShowTrunkSummary(const QString& summary) {
    trunkSummaryLabel->setText(summary);
}

void MainWindow::ShowScheduleProgress(int block, int blocks) {
    scheduleProgressLabel->setText(
        blocks > 0 ? QStringLiteral("时序表 %1/%2").arg(block).arg(blocks) : QString());
    scheduleProgressLabel->setVisible(blocks > 0);
}

void MainWindow::Pause(int ms) {
    // The window keeps painting; the running action's guard refuses a second one.
    // A timer may fire a little early, so the wait goes on until the time has passed.
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    for (qint64 left = ms; left > 0; left = ms - elapsed.elapsed()) {
        timer.start(static_cast<int>(left));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

void MainWindow::ShowTrunkSummaryOf(const DeviceConfiguration& config) {
    try {
        trunkSummaryLabel->setText(TrunkSummary(config));
    } catch (...) {
        // The values in memory changed but cannot be summarised: the label must not
        // go on describing the old ones.
        trunkSummaryLabel->setText(QStringLiteral("干线"));
        ShowTrunkRefreshed(false);
        throw;
    }
}

// ---- labels ---------------------------------------------------------------------

void MainWindow::ShowRefreshed(bool refreshed) {
    refreshLabel->setText(refreshed ? QStringLiteral("已刷新") : QStringLiteral("未刷新"));
    QPalette p = refreshLabel->palette();
    p.setColor(QPalette::WindowText,
               refreshed ? QApplication::palette().color(QPalette::WindowText) : QColor(Qt::red));
    refreshLabel->setPalette(p);
}

void MainWindow::ShowTrunkRefreshed(bool refreshed) {
    QPalette p = trunkSummaryLabel->palette();
    p.setColor(QPalette::Window, refreshed ? QColor(255, 255, 0) : QColor(Qt::red));
    p.setColor(QPalette::WindowText,
               refreshed ? QApplication::palette().color(QPalette::WindowText) : QColor(Qt::white));
    trunkSummaryLabel->setPalette(p);
}

// ---- event handlers -----------------------------------------------------------------

void MainWindow::onReadClicked() {
    RunDeviceAction([this] { m_procedures->ReadDevice(); });
}

void MainWindow::onConnectTriggered() {
    RunDeviceAction([this] {
        if (!m_procedures->ReadDevice())
            ShowMessage(QStringLiteral("没有检测到Korvane"), text::CaptionKorvane,
                        MessageIcon::Error);
    });
}

// The write entry points. The addressed frames carry the address held in the
// configuration, which the address field updates when it loses the focus.
void MainWindow::onWriteAllTriggered() {
    RunDeviceAction([this] {
        m_procedures->WriteAll(serialNumberField->text(), addressField->text());
        PortTableChanged();
    });
}

void MainWindow::onSetAddressTriggered() {
    RunDeviceAction([this] { m_procedures->SetAddress(); });
}

void MainWindow::onWritePortsTriggered() {
    RunDeviceAction([this] { m_procedures->WritePortSection(true); });
}

void MainWindow::onWriteScheduleTriggered() {
    RunDeviceAction([this] { m_procedures->SendScheduleTable(); });
}

void MainWindow::onWriteAllTrunkTriggered() {
    RunDeviceAction([this] { m_procedures->WriteAllTrunkSections(); });
}

void MainWindow::onWriteTrunkDelayTriggered() {
    RunDeviceAction([this] { m_procedures->WriteTrunkDelaySection(true); });
}

void MainWindow::onWriteTrunkAttributesTriggered() {
    RunDeviceAction([this] { m_procedures->WriteTrunkAttributeSection(true); });
}

void MainWindow::onWriteGpsTriggered() {
    RunDeviceAction([this] { m_procedures->WriteGpsSection(true); });
}

void MainWindow::onDisconnectTriggered() {
    RunDeviceAction([this] {
        m_transport->Comm().ClosePort();
        UpdatePortLabel();
    });
}

void MainWindow::onPortSettingsTriggered() {
    RunDeviceAction([this] {
        std::unique_ptr<PortSettingsDialog> own;
        PortSettingsDialog* dialog = m_portDialog;
        if (!dialog) {
            own = std::make_unique<PortSettingsDialog>(this);
            dialog = own.get();
        }
        dialog->SetErrorPresenter([this](const QString& message) { ShowError(message); });
        dialog->SetComm(&m_transport->Comm());
        if (dialog->exec() != QDialog::Accepted)
            return;
        const SerialPort& comm = m_transport->Comm();
        m_settings->WriteString(SettingSection, QStringLiteral("CommName"), comm.CommName());
        m_settings->WriteInteger(SettingSection, QStringLiteral("BaudRate"),
                                 static_cast<int>(comm.BaudRate()));
        m_settings->WriteInteger(SettingSection, QStringLiteral("ByteSize"),
                                 static_cast<int>(comm.ByteSize()));
        m_settings->WriteInteger(SettingSection, QStringLiteral("Parity"),
                                 static_cast<int>(comm.Parity()));
        m_settings->WriteInteger(SettingSection, QStringLiteral("StopBits"),
                                 static_cast<int>(comm.StopBits()));
        UpdatePortLabel();
    });
}

QList<int> MainWindow::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& i : portList->selectionModel()->selectedRows())
        rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void MainWindow::onDeleteClicked() {
    RunAction([this] {
        m_config.UnassignPorts(SelectedRows());
        PortTableChanged();
    });
}

void MainWindow::onPortListDoubleClicked() {
    RunAction([this] {
        const QList<int> rows = SelectedRows();
        if (rows.isEmpty())
            return;
        if (m_config.ChannelFileName.isEmpty()) {
            ShowMessage(QStringLiteral("Please Load Channel Config File!"), text::CaptionKorvane,
                        MessageIcon::Information);
            return;
        }
        const int row = rows.first();
        ChannelDialog dialog(SelectChannelInput::From(m_config, m_config.Ports[row]), m_presenter,
                             this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        if (const auto refusal = m_config.BindChannel(row, dialog.Choice()))
            ShowMessage(*refusal, text::CaptionOrlendis, MessageIcon::Error);
        PortTableChanged();
    });
}

void MainWindow::onTrunkSummaryClicked() {
    RunAction([this] {
        TrunkGpsDialog dialog(TrunkGpsValues::From(m_config), this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        dialog.Values().ApplyTo(m_config);
        try {
            ShowTrunkSummaryOf(m_config);
        } catch (...) {
            m_config.SetTrunkRefreshed(false);
            throw;
        }
        m_config.SetTrunkRefreshed(false);
    });
}

void MainWindow::onDeviceInfoDoubleClicked() {
    if (!m_debug || !m_monitor)
        return;
    m_monitor->show();
    m_monitor->raise();
}

void MainWindow::onChannelDelayClicked() {
    m_config.ChannelDelayEnabled = channelDelayCheck->isChecked();
}

void MainWindow::onRemoteControlClicked() {
    m_config.ControlMode = remoteControlCheck->isChecked();
    serialNumberField->setReadOnly(!m_config.ControlMode);
}

// ---- keys, mouse, focus -----------------------------------------------------------

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (portTableGroup->isEnabled())
            close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The transaction and the pauses keep the event loop running; the window stays
    // until the procedure is over.
    if (m_deviceActionRunning) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_deviceActionRunning)
        popupMenu->popup(event->globalPos());
}

void MainWindow::TakeFieldValue(QLineEdit* field) {
    if (m_busy) {
        if (!m_fieldsLeftWhileBusy.contains(field))
            m_fieldsLeftWhileBusy.append(field);
    } else if (field == serialNumberField) {
        m_config.Info.SerialNumber = SerialNumberFromText(serialNumberField->text());
    } else {
        m_config.Info.Address = AddressFromText(addressField->text());
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field && (field == serialNumberField || field == addressField)) {
        // The value is taken when the focus really leaves the field; opening the
        // popup menu or switching windows takes it away only for a while.
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                TakeFieldValue(field);
        }
        return false;
    }
    if (watched == trunkSummaryLabel && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        onTrunkSummaryClicked();
        return true;
    }
    if (watched == deviceInfoGroup && event->type() == QEvent::MouseButtonDblClick) {
        onDeviceInfoDoubleClicked();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace korvane
