#pragma once
// The main window: owns the configuration, the settings file and the command
// transport; shows the device information and the port table; starts every other
// function from its buttons and popup menu. It is the operator the device procedures
// talk to. Every user action runs through RunAction, so no exception ever reaches
// the event loop.

#include "config/DeviceConfiguration.h"
#include "protocol/DeviceOperator.h"

#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeView;

namespace korvane {

class DeviceProcedures;
class IniFile;
class PortTableModel;
class TComm32;
class TfrmSetPort;
class TfrmTerminal;

class TfrmKorvane : public QWidget, public DeviceOperator {
    Q_OBJECT
public:
    // Shows a message box; tests replace it so that nothing waits for a click.
    using MessagePresenter =
        std::function<void(const QString& text, const QString& caption, MessageIcon)>;
    // Asks for a file name; an empty result means cancelled. Tests replace it.
    enum class FileDialog { SaveConfiguration, LoadConfiguration, ChooseChannelFile };
    using FileChooser = std::function<QString(FileDialog kind, const QString& start)>;

    // Start-up: start values, settings file in the current directory, transport and
    // port. A port that cannot be opened is reported through the presenter.
    explicit TfrmKorvane(MessagePresenter presenter = {}, QWidget* parent = nullptr);
    ~TfrmKorvane() override;

    void AttachPortDialog(TfrmSetPort* dialog) { m_portDialog = dialog; }
    void AttachMonitor(TfrmTerminal* monitor);
    void SetFileChooser(FileChooser chooser) { m_fileChooser = std::move(chooser); }

    DeviceConfiguration& Config() { return m_config; }
    TComm32& Transport() { return *m_transport; }
    IniFile& Settings() { return *m_settings; }
    DeviceProcedures& Procedures() { return *m_procedures; }
    bool IsDebug() const { return m_debug; }
    QMenu* PopupMenu() const { return PopupMenu1; }
    bool IsDeviceActionRunning() const { return m_deviceActionRunning; }

    // The top-level error handler: runs action, shows any error it raises.
    void RunAction(const std::function<void()>& action);
    // The same for actions that talk to the device or change what they work on:
    // refused while another one runs (the transaction and the pauses keep the event
    // loop going, so the popup menu can still be used meanwhile).
    void RunDeviceAction(const std::function<void()>& action);

    // DeviceOperator
    void ShowMessage(const QString& text, const QString& caption, MessageIcon icon) override;
    void SetBusy(bool busy) override;
    void ShowPortLabel(const QString& text) override;
    void ShowModel(const QString& model) override;
    void ShowAddress(const QString& decimal, const QString& answerHex) override;
    void ShowSerialNumber(const QString& decimal, const QString& answerHex) override;
    void PortTableChanged() override;
    void ShowTrunkSummary(const QString& summary) override;
    void ShowScheduleProgress(int block, int blocks) override;
    void Pause(int ms) override;

    // Event handlers, named after their control.
    void btReadClick();
    void btDeleteClick();
    void btSetPortClick();
    void mConnectClick();
    void mDisconnectClick();
    void Label13Click();
    void ListView1DblClick();
    void GroupBox2DblClick();
    void CheckBox1Click();
    void CheckBox2Click();
    void btWriteClick();
    void btSetAddressClick();
    void N10Click();
    void N11Click();
    void N14Click();
    void N15Click();
    void N16Click();
    void GPS1Click();
    // The configuration file and the channel file.
    void SaveConfiguration();
    void LoadConfiguration();
    void ChooseChannelFile();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildForm();
    void BuildPopupMenu();
    void FormShow();
    void ShowRefreshed(bool refreshed);
    void ShowTrunkRefreshed(bool refreshed);
    // The trunk label after the values changed; on failure it shows the label as
    // not refreshed and rethrows.
    void ShowTrunkSummaryOf(const DeviceConfiguration& config);
    // An error through the top-level handler's rule (application caption, full stop).
    void ShowError(QString message);
    // The serial-number or address field was left: its text becomes the value.
    void TakeFieldValue(QLineEdit* field);
    void UpdatePortLabel();
    QList<int> SelectedRows() const;
    QString ChooseFile(FileDialog kind, const QString& start);

    MessagePresenter m_presenter;
    FileChooser m_fileChooser;
    DeviceConfiguration m_config;
    std::unique_ptr<IniFile> m_settings;
    std::unique_ptr<TComm32> m_transport;
    std::unique_ptr<DeviceProcedures> m_procedures;
    PortTableModel* m_model = nullptr;
    TfrmSetPort* m_portDialog = nullptr;
    TfrmTerminal* m_monitor = nullptr;
    bool m_debug = false;
    bool m_deviceActionRunning = false;
    bool m_busy = false;
    QList<QLineEdit*> m_fieldsLeftWhileBusy;
    QString m_startDirectory;

public:
    // Controls, named as the operator's manual names them.
    QGroupBox* GroupBox2 = nullptr; // "设备信息"
    QLineEdit* edDeviceName = nullptr;
    QComboBox* cbStation = nullptr;
    QLabel* lbDeviceName = nullptr;
    QLabel* lbStation = nullptr;
    QLineEdit* edID = nullptr;
    QLineEdit* edAddress = nullptr;
    QLabel* labVer = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* lbPort = nullptr;
    QTreeView* ListView1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* scheduleProgressLabel = nullptr;
    QPushButton* btDelete = nullptr;
    QPushButton* btWrite = nullptr;
    QPushButton* btRead = nullptr;
    QPushButton* btSetAddress = nullptr;
    QPushButton* btSetPort = nullptr;
    QPushButton* btClose = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* N3 = nullptr;               // "设置通信端口"
    QAction* mConnect = nullptr;         // "连接设备"
    QAction* mDisconnect = nullptr;      // "断开连接"
    QAction* mOpenChannelFile = nullptr; // "打开信道配置文件"
    QAction* mSaveConfig = nullptr;      // "保存当前配置"
    QAction* mLoadConfig = nullptr;      // "读入配置文件"
    QAction* N6 = nullptr;               // "读取设备参数"
    QAction* N5 = nullptr;               // "写入所有参数"
    QMenu* mWriteTrunk = nullptr;        // "写入干线参数"
    QAction* N14 = nullptr;              // "写入所有干线参数"
    QAction* GPS1 = nullptr;             // "写入GPS参数"
    QAction* N15 = nullptr;              // "写入干线延时参数"
    QAction* N16 = nullptr;              // "写入干线属性参数"
    QAction* N10 = nullptr;              // "写入通道参数"
    QAction* N11 = nullptr;              // "写入时序表"
    QAction* N12 = nullptr;              // "设置地址"
};

} // namespace korvane
