// SPDX-License-Identifier: MIT
#include "ui/MainWindow.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "link/CommandTransport.h"
#include "protocol/DeviceProcedures.h"
#include "ui/HexFieldValidator.h"
#include "ui/MonitorWindow.h"
#include "ui/ReadBackDifferences.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>

namespace korvane {

namespace {

// The transaction's hourglass, as an override cursor so that it covers every window.
class OverrideBusyCursor : public BusyCursor {
public:
    void busy() override { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    void restore() override { QGuiApplication::restoreOverrideCursor(); }
};

OverrideBusyCursor& busyCursor() {
    static OverrideBusyCursor cursor;
    return cursor;
}

} // namespace

MainWindow::MainWindow(MessagePresenter presenter, QWidget* parent)
    : QWidget(parent), m_presenter(std::move(presenter)),
      m_session(std::make_unique<DeviceSession>(*this)), m_config(m_session->configuration()) {
    buildForm();
    buildPopupMenu();

    // Start values; the configuration's own defaults are the device's start values.
    m_config.info.address = 1;
    m_config.info.serialNumber = 1;
    m_config.pocsagDelay = 0;
    m_config.flexDelay = 0;
    m_config.channelDelayEnabled = true;
    m_config.controlMode = false;
    m_config.deviceModel = text::ModelUnknown;

    m_session->useSettingsFile(QDir::current().filePath(QStringLiteral("KORVANE.INI")));
    m_session->transport().setBusyCursor(&busyCursor());
    m_session->procedures().setReadBackCheck(&readBackDifferencesText);
    m_session->procedures().setPortLossAsNoAnswer(true);
    const DeviceSession* session = m_session.get();
    connect(session, &DeviceSession::portLabelChanged, this, &MainWindow::showPortLabel);
    connect(session, &DeviceSession::busyChanged, this, &MainWindow::setBusy);
    connect(session, &DeviceSession::modelIdentified, this, &MainWindow::showModel);
    connect(session, &DeviceSession::addressRead, this, &MainWindow::showAddress);
    connect(session, &DeviceSession::serialNumberRead, this, &MainWindow::showSerialNumber);
    connect(session, &DeviceSession::trunkSummaryChanged, this, &MainWindow::showTrunkSummary);
    runAction([this] { m_session->openPort(); });

    connect(&m_config, &DeviceConfiguration::refreshedChanged, this, &MainWindow::showRefreshed);
    connect(&m_config, &DeviceConfiguration::trunkRefreshedChanged, this,
            &MainWindow::showTrunkRefreshed);

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
    m_session.reset();
}

void MainWindow::attachMonitor(MonitorWindow* monitor) {
    m_monitor = monitor;
    m_session->transport().setMonitor(monitor);
    // The program ends with the main window, whatever else is open.
    monitor->setAttribute(Qt::WA_QuitOnClose, false);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_startDirectory.isEmpty())
        prepareFirstShow();
}

void MainWindow::prepareFirstShow() {
    m_startDirectory = QDir::currentPath();
    updatePortLabel();
    stationCombo->clear();
    m_config.resetPortTable();
    channelDelayCheck->setChecked(m_config.channelDelayEnabled);
    for (QWidget* w : {static_cast<QWidget*>(deviceNameField), static_cast<QWidget*>(stationCombo),
                       static_cast<QWidget*>(deviceNameLabel), static_cast<QWidget*>(stationLabel)})
        w->setEnabled(false);
    closeButton->setText(QStringLiteral("返回"));
}

void MainWindow::updatePortLabel() {
    showPortLabel(m_session->portLabel());
}

void MainWindow::runAction(const std::function<void()>& action) {
    try {
        action();
    } catch (const KorvaneError& e) {
        showError(e.message(), e.detail());
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError(QStringLiteral("未知错误"));
    }
}

void MainWindow::showError(QString message, const QString& detail) {
    if (!message.endsWith(u'.') && !message.endsWith(u'。'))
        message += u'.';
    presentMessage(message, QCoreApplication::applicationName(), MessageIcon::Error, detail);
}

void MainWindow::runDeviceAction(const std::function<void()>& action) {
    if (m_deviceActionRunning) {
        QApplication::beep();
        return;
    }
    m_deviceActionRunning = true;
    runAction(action);
    m_deviceActionRunning = false;
}

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
    if (m_monitor)
        m_monitor->close();
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_deviceActionRunning)
        popupMenu->popup(event->globalPos());
}

void MainWindow::takeFieldValue(QLineEdit* field) {
    if (m_busy) {
        if (!m_fieldsLeftWhileBusy.contains(field))
            m_fieldsLeftWhileBusy.append(field);
    } else if (field == serialNumberField) {
        m_session->takeSerialNumberText(serialNumberField->text());
    } else {
        m_session->takeAddressText(addressField->text());
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
                takeFieldValue(field);
        }
        return false;
    }
    // Filters see mouse events of disabled widgets too.
    if (watched == trunkSummaryLabel && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (trunkSummaryLabel->isEnabled())
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
