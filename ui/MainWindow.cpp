#include "ui/MainWindow.h"

#include "config/DisplayTexts.h"
#include "ui/HexFieldValidator.h"
#include "config/KorvaneError.h"
#include "ui/PortTableModel.h"
#include "ui/ChannelDialog.h"
#include "ui/TrunkGpsDialog.h"
#include "files/IniFile.h"
#include "files/TrunkSummary.h"
#include "link/CommandTransport.h"
#include "ui/PortSettingsDialog.h"
#include "link/SerialPort.h"
#include "ui/MonitorWindow.h"
#include "protocol/DeviceProcedures.h"

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
class OverrideBusyCursor : public TBusyCursor {
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

TfrmKorvane::TfrmKorvane(MessagePresenter presenter, QWidget* parent)
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

    m_transport = std::make_unique<TComm32>();
    m_transport->SetDebug(m_debug);
    m_transport->SetBusyCursor(&busyCursor());
    m_procedures = std::make_unique<DeviceProcedures>(m_config, *m_transport, *this);

    TComm& comm = m_transport->Comm();
    comm.ClosePort();
    comm.SetCommName(
        m_settings->ReadString(SettingSection, QStringLiteral("CommName"), QStringLiteral("COM1")));
    comm.SetBaudRate(static_cast<std::uint32_t>(
        m_settings->ReadInteger(SettingSection, QStringLiteral("BaudRate"), 9600)));
    comm.SetByteSize(enumSetting(
        m_settings->ReadInteger(SettingSection, QStringLiteral("ByteSize"), 3), 4, TByteSize::_8));
    comm.SetParity(enumSetting(m_settings->ReadInteger(SettingSection, QStringLiteral("Parity"), 0),
                               5, TParity::None));
    comm.SetStopBits(enumSetting(
        m_settings->ReadInteger(SettingSection, QStringLiteral("StopBits"), 0), 3, TStopBits::_1));
    RunAction([&comm] { comm.OpenPort(); });

    m_config.ChannelFileName =
        m_settings->ReadString(SettingSection, QStringLiteral("ChannelFile"), {});

    connect(&m_config, &DeviceConfiguration::RefreshedChanged, this, &TfrmKorvane::ShowRefreshed);
    connect(&m_config, &DeviceConfiguration::TrunkRefreshedChanged, this,
            &TfrmKorvane::ShowTrunkRefreshed);

    connect(btRead, &QPushButton::clicked, this, &TfrmKorvane::btReadClick);
    connect(btWrite, &QPushButton::clicked, this, &TfrmKorvane::btWriteClick);
    connect(btSetAddress, &QPushButton::clicked, this, &TfrmKorvane::btSetAddressClick);
    connect(btDelete, &QPushButton::clicked, this, &TfrmKorvane::btDeleteClick);
    connect(btSetPort, &QPushButton::clicked, this, &TfrmKorvane::btSetPortClick);
    connect(btClose, &QPushButton::clicked, this, &QWidget::close);
    connect(CheckBox1, &QCheckBox::clicked, this, &TfrmKorvane::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::clicked, this, &TfrmKorvane::CheckBox2Click);
    connect(ListView1, &QTreeView::doubleClicked, this, &TfrmKorvane::ListView1DblClick);
    // The typing limits are kept by validators, not as the fields' maximum length,
    // which would also cut the longer numbers a device read or a file puts there.
    edID->setValidator(new HexFieldValidator(edID, 8));
    edAddress->setValidator(new HexFieldValidator(edAddress, 6));
    for (QObject* o : {static_cast<QObject*>(edID), static_cast<QObject*>(edAddress),
                       static_cast<QObject*>(Label13), static_cast<QObject*>(GroupBox2)})
        o->installEventFilter(this);
}

TfrmKorvane::~TfrmKorvane() {
    // Hidden and detached while the configuration the controls show still exists.
    for (QObject* o : {static_cast<QObject*>(edID), static_cast<QObject*>(edAddress),
                       static_cast<QObject*>(Label13), static_cast<QObject*>(GroupBox2)})
        o->removeEventFilter(this);
    hide();
    ListView1->setModel(nullptr);
    // The settings file first, then the transport (which closes the port).
    m_procedures.reset();
    m_settings.reset();
    m_transport.reset();
}

void TfrmKorvane::BuildPopupMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto add = [this](QMenu* menu, const char* name, const QString& caption,
                      void (TfrmKorvane::*handler)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    QMenu* m = PopupMenu1;
    N3 = add(m, "N3", QStringLiteral("设置通信端口"), &TfrmKorvane::btSetPortClick);
    mConnect = add(m, "mConnect", QStringLiteral("连接设备"), &TfrmKorvane::mConnectClick);
    mDisconnect = add(m, "mDisconnect", QStringLiteral("断开连接"), &TfrmKorvane::mDisconnectClick);
    m->addSeparator();
    mOpenChannelFile = add(m, "mOpenChannelFile", QStringLiteral("打开信道配置文件"),
                           &TfrmKorvane::ChooseChannelFile);
    mSaveConfig =
        add(m, "mSaveConfig", QStringLiteral("保存当前配置"), &TfrmKorvane::SaveConfiguration);
    mLoadConfig =
        add(m, "mLoadConfig", QStringLiteral("读入配置文件"), &TfrmKorvane::LoadConfiguration);
    m->addSeparator();
    N6 = add(m, "N6", QStringLiteral("读取设备参数"), &TfrmKorvane::btReadClick);
    N5 = add(m, "N5", QStringLiteral("写入所有参数"), &TfrmKorvane::btWriteClick);
    m->addSeparator();
    mWriteTrunk = m->addMenu(QStringLiteral("写入干线参数"));
    mWriteTrunk->setObjectName(QStringLiteral("mWriteTrunk"));
    N14 = add(mWriteTrunk, "N14", QStringLiteral("写入所有干线参数"), &TfrmKorvane::N14Click);
    mWriteTrunk->addSeparator();
    GPS1 = add(mWriteTrunk, "GPS1", QStringLiteral("写入GPS参数"), &TfrmKorvane::GPS1Click);
    N15 = add(mWriteTrunk, "N15", QStringLiteral("写入干线延时参数"), &TfrmKorvane::N15Click);
    N16 = add(mWriteTrunk, "N16", QStringLiteral("写入干线属性参数"), &TfrmKorvane::N16Click);
    N10 = add(m, "N10", QStringLiteral("写入通道参数"), &TfrmKorvane::N10Click);
    N11 = add(m, "N11", QStringLiteral("写入时序表"), &TfrmKorvane::N11Click);
    N12 = add(m, "N12", QStringLiteral("设置地址"), &TfrmKorvane::btSetAddressClick);
}

void TfrmKorvane::AttachMonitor(TfrmTerminal* monitor) {
    m_monitor = monitor;
    m_transport->SetMonitor(monitor);
}

void TfrmKorvane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_startDirectory.isEmpty())
        FormShow();
}

void TfrmKorvane::FormShow() {
    m_startDirectory = QDir::currentPath();
    UpdatePortLabel();
    cbStation->clear();
    m_config.ResetPortTable();
    PortTableChanged();
    CheckBox1->setChecked(m_config.ChannelDelayEnabled);
    for (QWidget* w : {static_cast<QWidget*>(edDeviceName), static_cast<QWidget*>(cbStation),
                       static_cast<QWidget*>(lbDeviceName), static_cast<QWidget*>(lbStation)})
        w->setEnabled(false);
    btClose->setText(QStringLiteral("返回"));
}

void TfrmKorvane::UpdatePortLabel() {
    ShowPortLabel(m_transport->Comm().IsOpen() ? m_transport->PortDescription() : Disconnected);
}

// ---- the top-level error handler --------------------------------------------------

void TfrmKorvane::RunAction(const std::function<void()>& action) {
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

void TfrmKorvane::ShowError(QString message) {
    if (!message.endsWith(u'.') && !message.endsWith(u'。'))
        message += u'.';
    ShowMessage(message, QCoreApplication::applicationName(), MessageIcon::Error);
}

void TfrmKorvane::RunDeviceAction(const std::function<void()>& action) {
    if (m_deviceActionRunning) {
        QApplication::beep();
        return;
    }
    m_deviceActionRunning = true;
    RunAction(action);
    m_deviceActionRunning = false;
}

// ---- DeviceOperator ---------------------------------------------------------------

void TfrmKorvane::ShowMessage(const QString& text, const QString& caption, MessageIcon icon) {
    if (m_presenter) {
        m_presenter(text, caption, icon);
        return;
    }
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                    caption, text, QMessageBox::Ok, isVisible() ? this : nullptr);
    box.exec();
}

void TfrmKorvane::SetBusy(bool busy) {
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
    GroupBox1->setEnabled(!busy);
    // The device information takes no input either: an address or a control mode
    // changed halfway would change the frames and pauses that follow.
    m_busy = busy;
    edAddress->setReadOnly(busy);
    edID->setReadOnly(busy || !m_config.ControlMode);
    CheckBox2->setEnabled(!busy);
    if (!busy) {
        // A field left while the procedure ran is taken now that it is over.
        for (QLineEdit* field : std::exchange(m_fieldsLeftWhileBusy, {}))
            TakeFieldValue(field);
    }
}

void TfrmKorvane::ShowPortLabel(const QString& text) {
    lbPort->setText(text);
}

void TfrmKorvane::ShowModel(const QString& model) {
    labVer->setText(model);
}

void TfrmKorvane::ShowAddress(const QString& decimal, const QString& answerHex) {
    HexFieldValidator::SetUnchecked(edAddress, decimal);
    Edit2->setText(answerHex);
}

void TfrmKorvane::ShowSerialNumber(const QString& decimal, const QString& answerHex) {
    HexFieldValidator::SetUnchecked(edID, decimal);
    Edit3->setText(answerHex);
}

void TfrmKorvane::PortTableChanged() {
    m_model->Refresh();
}

void TfrmKorvane::ShowTrunkSummary(const QString& summary) {
    Label13->setText(summary);
}

void TfrmKorvane::ShowScheduleProgress(int block, int blocks) {
    scheduleProgressLabel->setText(
        blocks > 0 ? QStringLiteral("时序表 %1/%2").arg(block).arg(blocks) : QString());
    scheduleProgressLabel->setVisible(blocks > 0);
}

void TfrmKorvane::Pause(int ms) {
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

void TfrmKorvane::ShowTrunkSummaryOf(const DeviceConfiguration& config) {
    try {
        Label13->setText(TrunkSummary(config));
    } catch (...) {
        // The values in memory changed but cannot be summarised: the label must not
        // go on describing the old ones.
        Label13->setText(QStringLiteral("干线"));
        ShowTrunkRefreshed(false);
        throw;
    }
}

// ---- labels ---------------------------------------------------------------------

void TfrmKorvane::ShowRefreshed(bool refreshed) {
    Label8->setText(refreshed ? QStringLiteral("已刷新") : QStringLiteral("未刷新"));
    QPalette p = Label8->palette();
    p.setColor(QPalette::WindowText,
               refreshed ? QApplication::palette().color(QPalette::WindowText) : QColor(Qt::red));
    Label8->setPalette(p);
}

void TfrmKorvane::ShowTrunkRefreshed(bool refreshed) {
    QPalette p = Label13->palette();
    p.setColor(QPalette::Window, refreshed ? QColor(255, 255, 0) : QColor(Qt::red));
    p.setColor(QPalette::WindowText,
               refreshed ? QApplication::palette().color(QPalette::WindowText) : QColor(Qt::white));
    Label13->setPalette(p);
}

// ---- event handlers -----------------------------------------------------------------

void TfrmKorvane::btReadClick() {
    RunDeviceAction([this] { m_procedures->ReadDevice(); });
}

void TfrmKorvane::mConnectClick() {
    RunDeviceAction([this] {
        if (!m_procedures->ReadDevice())
            ShowMessage(QStringLiteral("没有检测到Korvane"), text::CaptionKorvane,
                        MessageIcon::Error);
    });
}

// The write entry points. The addressed frames carry the address held in the
// configuration, which the address field updates when it loses the focus.
void TfrmKorvane::btWriteClick() {
    RunDeviceAction([this] {
        m_procedures->WriteAll(edID->text(), edAddress->text());
        PortTableChanged();
    });
}

void TfrmKorvane::btSetAddressClick() {
    RunDeviceAction([this] { m_procedures->SetAddress(); });
}

void TfrmKorvane::N10Click() {
    RunDeviceAction([this] { m_procedures->WritePortSection(true); });
}

void TfrmKorvane::N11Click() {
    RunDeviceAction([this] { m_procedures->SendScheduleTable(); });
}

void TfrmKorvane::N14Click() {
    RunDeviceAction([this] { m_procedures->WriteAllTrunkSections(); });
}

void TfrmKorvane::N15Click() {
    RunDeviceAction([this] { m_procedures->WriteTrunkDelaySection(true); });
}

void TfrmKorvane::N16Click() {
    RunDeviceAction([this] { m_procedures->WriteTrunkAttributeSection(true); });
}

void TfrmKorvane::GPS1Click() {
    RunDeviceAction([this] { m_procedures->WriteGpsSection(true); });
}

void TfrmKorvane::mDisconnectClick() {
    RunDeviceAction([this] {
        m_transport->Comm().ClosePort();
        UpdatePortLabel();
    });
}

void TfrmKorvane::btSetPortClick() {
    RunDeviceAction([this] {
        std::unique_ptr<TfrmSetPort> own;
        TfrmSetPort* dialog = m_portDialog;
        if (!dialog) {
            own = std::make_unique<TfrmSetPort>(this);
            dialog = own.get();
        }
        dialog->SetErrorPresenter([this](const QString& message) { ShowError(message); });
        dialog->SetComm(&m_transport->Comm());
        if (dialog->exec() != QDialog::Accepted)
            return;
        const TComm& comm = m_transport->Comm();
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

QList<int> TfrmKorvane::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& i : ListView1->selectionModel()->selectedRows())
        rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TfrmKorvane::btDeleteClick() {
    RunAction([this] {
        m_config.UnassignPorts(SelectedRows());
        PortTableChanged();
    });
}

void TfrmKorvane::ListView1DblClick() {
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
        TfrmSelectChannel dialog(SelectChannelInput::From(m_config, m_config.Ports[row]),
                                 m_presenter, this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        if (const auto refusal = m_config.BindChannel(row, dialog.Choice()))
            ShowMessage(*refusal, text::CaptionOrlendis, MessageIcon::Error);
        PortTableChanged();
    });
}

void TfrmKorvane::Label13Click() {
    RunAction([this] {
        TfrmGTParam dialog(TrunkGpsValues::From(m_config), this);
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

void TfrmKorvane::GroupBox2DblClick() {
    if (!m_debug || !m_monitor)
        return;
    m_monitor->show();
    m_monitor->raise();
}

void TfrmKorvane::CheckBox1Click() {
    m_config.ChannelDelayEnabled = CheckBox1->isChecked();
}

void TfrmKorvane::CheckBox2Click() {
    m_config.ControlMode = CheckBox2->isChecked();
    edID->setReadOnly(!m_config.ControlMode);
}

// ---- keys, mouse, focus -----------------------------------------------------------

void TfrmKorvane::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (GroupBox1->isEnabled())
            close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfrmKorvane::closeEvent(QCloseEvent* event) {
    // The transaction and the pauses keep the event loop running; the window stays
    // until the procedure is over.
    if (m_deviceActionRunning) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TfrmKorvane::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_deviceActionRunning)
        PopupMenu1->popup(event->globalPos());
}

void TfrmKorvane::TakeFieldValue(QLineEdit* field) {
    if (m_busy) {
        if (!m_fieldsLeftWhileBusy.contains(field))
            m_fieldsLeftWhileBusy.append(field);
    } else if (field == edID) {
        m_config.Info.SerialNumber = SerialNumberFromText(edID->text());
    } else {
        m_config.Info.Address = AddressFromText(edAddress->text());
    }
}

bool TfrmKorvane::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field && (field == edID || field == edAddress)) {
        // The value is taken when the focus really leaves the field; opening the
        // popup menu or switching windows takes it away only for a while.
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                TakeFieldValue(field);
        }
        return false;
    }
    if (watched == Label13 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label13Click();
        return true;
    }
    if (watched == GroupBox2 && event->type() == QEvent::MouseButtonDblClick) {
        GroupBox2DblClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace korvane
