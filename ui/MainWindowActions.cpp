// SPDX-License-Identifier: MIT
// What the operator starts from the main window: the buttons, the popup menu
// entries, double-clicks and the trunk label, each through the error handler.

#include "ui/MainWindow.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "config/TrunkSummary.h"
#include "protocol/DeviceProcedures.h"
#include "ui/ChannelDialog.h"
#include "ui/MonitorWindow.h"
#include "ui/PortSettingsDialog.h"
#include "ui/TrunkGpsDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTreeView>

namespace korvane {

void MainWindow::onReadClicked() {
    runDeviceAction([this] { m_session->procedures().readDevice(); });
}

void MainWindow::onConnectTriggered() {
    runDeviceAction([this] {
        if (!m_session->procedures().readDevice())
            showMessage(QStringLiteral("没有检测到Korvane"), text::CaptionKorvane,
                        MessageIcon::Error);
    });
}

// The write entry points. The addressed frames carry the address held in the
// configuration, which the address field updates when it loses the focus.
void MainWindow::onWriteAllTriggered() {
    runDeviceAction(
        [this] { m_session->writeAll(serialNumberField->text(), addressField->text()); });
}

void MainWindow::onSetAddressTriggered() {
    runDeviceAction([this] { m_session->procedures().setAddress(true); });
}

void MainWindow::onWritePortsTriggered() {
    runDeviceAction([this] { m_session->procedures().writePortSection(true); });
}

void MainWindow::onWriteScheduleTriggered() {
    runDeviceAction([this] { m_session->procedures().sendScheduleTable(); });
}

void MainWindow::onWriteAllTrunkTriggered() {
    runDeviceAction([this] { m_session->procedures().writeAllTrunkSections(); });
}

void MainWindow::onWriteTrunkDelayTriggered() {
    runDeviceAction([this] { m_session->procedures().writeTrunkDelaySection(true); });
}

void MainWindow::onWriteTrunkAttributesTriggered() {
    runDeviceAction([this] { m_session->procedures().writeTrunkAttributeSection(true); });
}

void MainWindow::onWriteGpsTriggered() {
    runDeviceAction([this] { m_session->procedures().writeGpsSection(true); });
}

void MainWindow::onDisconnectTriggered() {
    runDeviceAction([this] { m_session->closePort(); });
}

void MainWindow::onPortSettingsTriggered() {
    runDeviceAction([this] {
        std::unique_ptr<PortSettingsDialog> own;
        PortSettingsDialog* dialog = m_portDialog;
        if (!dialog) {
            own = std::make_unique<PortSettingsDialog>(this);
            dialog = own.get();
        }
        dialog->setErrorPresenter([this](const QString& message) { showError(message); });
        dialog->setSettings(m_session->portSettings());
        dialog->setRecentPorts(m_session->recentPorts());
        if (dialog->exec() != QDialog::Accepted)
            return;
        // The port is reopened (or left closed, which is shown) before the keys are
        // stored, so the label describes it even when they cannot be.
        try {
            m_session->setPortSettings(dialog->settings());
        } catch (const KorvaneError& e) {
            showError(e.message(), e.detail());
        } catch (const std::exception& e) {
            showError(QString::fromUtf8(e.what()));
        }
        m_session->storePortSettings();
    });
}

QList<int> MainWindow::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& i : portList->selectionModel()->selectedRows())
        rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void MainWindow::onDeleteClicked() {
    runAction([this] { m_config.unassignPorts(selectedRows()); });
}

void MainWindow::onPortListDoubleClicked() {
    runAction([this] {
        const QList<int> rows = selectedRows();
        if (rows.isEmpty())
            return;
        if (m_config.channelFileName.isEmpty()) {
            showMessage(QStringLiteral("Please Load Channel Config File!"), text::CaptionKorvane,
                        MessageIcon::Information);
            return;
        }
        const int row = rows.first();
        ChannelDialog::MessagePresenter presenter;
        if (m_presenter)
            presenter = [this](const QString& text, const QString& caption, MessageIcon icon) {
                m_presenter(text, caption, icon, {});
            };
        ChannelDialog dialog(SelectChannelInput::from(m_config, m_config.ports[row]), presenter,
                             this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        if (const auto refusal = m_config.bindChannel(row, dialog.choice()))
            showMessage(*refusal, text::CaptionOrlendis, MessageIcon::Error);
    });
}

void MainWindow::onTrunkSummaryClicked() {
    // Values changed between the sections of a running write would be marked written.
    runDeviceAction([this] {
        TrunkGpsDialog dialog(TrunkGpsValues::from(m_config), this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        dialog.values().applyTo(m_config);
        // A summary that fails ends the action here: the values are taken, the label
        // and the refresh flag stay as they were.
        showTrunkSummaryOf(m_config);
        m_config.setTrunkRefreshed(false);
    });
}

void MainWindow::onDeviceInfoDoubleClicked() {
    if (!m_session->isDebug() || !m_monitor)
        return;
    m_monitor->show();
    m_monitor->raise();
}

void MainWindow::onChannelDelayClicked() {
    m_config.channelDelayEnabled = channelDelayCheck->isChecked();
}

void MainWindow::onRemoteControlClicked() {
    // Taken at once, also while a procedure runs; the fields stay locked until it ends.
    m_config.controlMode = remoteControlCheck->isChecked();
    serialNumberField->setReadOnly(m_busy || !m_config.controlMode);
}

} // namespace korvane
