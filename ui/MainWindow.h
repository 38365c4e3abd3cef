// SPDX-License-Identifier: MIT
#pragma once
// The main window: a view over its device session (configuration, settings file,
// transport and procedures); shows the device information and the port table; starts
// every other function from its buttons and popup menu; shows what the session tells.
// It is the operator the device procedures talk to. Every user action runs through runAction, so no
// exception ever reaches the event loop.

#include "config/DeviceConfiguration.h"
#include "protocol/DeviceOperator.h"
#include "session/DeviceSession.h"

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

class PortTableModel;
class PortSettingsDialog;
class MonitorWindow;

class MainWindow : public QWidget, public DeviceOperator {
    Q_OBJECT
public:
    // Shows a message box with its further text (often empty); tests replace it so
    // that nothing waits for a click.
    using MessagePresenter = std::function<void(const QString& text, const QString& caption,
                                                MessageIcon, const QString& detail)>;
    // Asks for a file name; an empty result means cancelled. Tests replace it.
    enum class FileDialog { SaveConfiguration, LoadConfiguration, ChooseChannelFile };
    using FileChooser = std::function<QString(FileDialog kind, const QString& start)>;

    // Start-up: start values, settings file in the current directory, transport and
    // port. A port that cannot be opened is reported through the presenter.
    explicit MainWindow(MessagePresenter presenter = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    void attachPortDialog(PortSettingsDialog* dialog) { m_portDialog = dialog; }
    void attachMonitor(MonitorWindow* monitor);
    void setFileChooser(FileChooser chooser) { m_fileChooser = std::move(chooser); }

    DeviceSession& session() { return *m_session; }
    DeviceConfiguration& config() { return m_session->configuration(); }
    CommandTransport& transport() { return m_session->transport(); }
    bool isDebug() const { return m_session->isDebug(); }
    QMenu* contextMenu() const { return popupMenu; }
    bool isDeviceActionRunning() const { return m_deviceActionRunning; }

    // The top-level error handler: runs action, shows any error it raises.
    void runAction(const std::function<void()>& action);
    // The same for actions that talk to the device or change what they work on:
    // refused while another one runs (the transaction and the pauses keep the event
    // loop going, so the popup menu can still be used meanwhile).
    void runDeviceAction(const std::function<void()>& action);

    // DeviceOperator
    void showMessage(const QString& text, const QString& caption, MessageIcon icon) override;
    void showDetailedMessage(const QString& text, const QString& caption, MessageIcon icon,
                             const QString& detail) override;
    void showScheduleProgress(int block, int blocks) override;
    void pause(int ms) override;

    // What the session tells.
    void setBusy(bool busy);
    void showPortLabel(const QString& text);
    void showModel(const QString& model);
    void showAddress(const QString& decimal, const QString& answerHex);
    void showSerialNumber(const QString& decimal, const QString& answerHex);
    void showTrunkSummary(const QString& summary);

    // Event handlers, named after their control.
    void onReadClicked();
    void onDeleteClicked();
    void onPortSettingsTriggered();
    void onConnectTriggered();
    void onDisconnectTriggered();
    void onTrunkSummaryClicked();
    void onPortListDoubleClicked();
    void onDeviceInfoDoubleClicked();
    void onChannelDelayClicked();
    void onRemoteControlClicked();
    void onWriteAllTriggered();
    void onSetAddressTriggered();
    void onWritePortsTriggered();
    void onWriteScheduleTriggered();
    void onWriteAllTrunkTriggered();
    void onWriteTrunkDelayTriggered();
    void onWriteTrunkAttributesTriggered();
    void onWriteGpsTriggered();
    // The configuration file and the channel file.
    void saveConfiguration();
    void loadConfiguration();
    void chooseChannelFile();
    // Loads the configuration file at path as loadConfiguration does once a file is
    // chosen, with the same messages when it cannot.
    void loadConfigurationFile(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildForm();
    void buildPopupMenu();
    void prepareFirstShow();
    void showRefreshed(bool refreshed);
    void showTrunkRefreshed(bool refreshed);
    // The trunk label after the values changed; a summary that cannot be built (no
    // model known) raises and leaves the label as it was.
    void showTrunkSummaryOf(const DeviceConfiguration& config);
    // An error through the top-level handler's rule (application caption, full stop);
    // detail (the reason and what to try) is the box's further text.
    void showError(QString message, const QString& detail = {});
    // A message box with further text below the message.
    void presentMessage(const QString& text, const QString& caption, MessageIcon icon,
                        const QString& detail);
    // The serial-number or address field was left: its text becomes the value.
    void takeFieldValue(QLineEdit* field);
    void updatePortLabel();
    QList<int> selectedRows() const;
    QString chooseFile(FileDialog kind, const QString& start);
    void applyConfigurationFile(const QString& path);

    MessagePresenter m_presenter;
    FileChooser m_fileChooser;
    std::unique_ptr<DeviceSession> m_session;
    DeviceConfiguration& m_config; // the session's
    PortTableModel* m_model = nullptr;
    PortSettingsDialog* m_portDialog = nullptr;
    MonitorWindow* m_monitor = nullptr;
    bool m_deviceActionRunning = false;
    bool m_busy = false;
    QList<QLineEdit*> m_fieldsLeftWhileBusy;
    QString m_startDirectory;

    // Controls; each one's object name is its member name.
    QGroupBox* deviceInfoGroup = nullptr; // "设备信息"
    QLineEdit* deviceNameField = nullptr;
    QComboBox* stationCombo = nullptr;
    QLabel* deviceNameLabel = nullptr;
    QLabel* stationLabel = nullptr;
    QLineEdit* serialNumberField = nullptr;
    QLineEdit* addressField = nullptr;
    QLabel* modelLabel = nullptr;
    QCheckBox* channelDelayCheck = nullptr;
    QCheckBox* remoteControlCheck = nullptr;
    QGroupBox* portTableGroup = nullptr;
    QLabel* portLabel = nullptr;
    QTreeView* portList = nullptr;
    QLineEdit* addressAnswerField = nullptr;
    QLineEdit* serialNumberAnswerField = nullptr;
    QLabel* trunkSummaryLabel = nullptr;
    QLabel* refreshLabel = nullptr;
    QLabel* scheduleProgressLabel = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* writeButton = nullptr;
    QPushButton* readButton = nullptr;
    QPushButton* setAddressButton = nullptr;
    QPushButton* portSettingsButton = nullptr;
    QPushButton* closeButton = nullptr;
    QMenu* popupMenu = nullptr;
    QAction* portSettingsAction = nullptr;         // "设置通信端口"
    QAction* connectAction = nullptr;              // "连接设备"
    QAction* disconnectAction = nullptr;           // "断开连接"
    QAction* openChannelFileAction = nullptr;      // "打开信道配置文件"
    QAction* saveConfigurationAction = nullptr;    // "保存当前配置"
    QAction* loadConfigurationAction = nullptr;    // "读入配置文件"
    QAction* readAction = nullptr;                 // "读取设备参数"
    QAction* writeAllAction = nullptr;             // "写入所有参数"
    QMenu* writeTrunkMenu = nullptr;               // "写入干线参数"
    QAction* writeAllTrunkAction = nullptr;        // "写入所有干线参数"
    QAction* writeGpsAction = nullptr;             // "写入GPS参数"
    QAction* writeTrunkDelayAction = nullptr;      // "写入干线延时参数"
    QAction* writeTrunkAttributesAction = nullptr; // "写入干线属性参数"
    QAction* writePortsAction = nullptr;           // "写入通道参数"
    QAction* writeScheduleAction = nullptr;        // "写入时序表"
    QAction* setAddressAction = nullptr;           // "设置地址"
};

} // namespace korvane
