// What the operator starts from the main window: the buttons, the popup menu
// entries, double-clicks and the trunk label, each through the error handler.

#include "ui/MainWindow.h"

#include "config/DisplayTexts.h"
#include "files/TrunkSummary.h"
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
    RunDeviceAction([this] { m_session->procedures().ReadDevice(); });
}

void MainWindow::onConnectTriggered() {
    RunDeviceAction([this] {
        if (!m_session->procedures().ReadDevice())
            ShowMessage(QStringLiteral("没有检测到Korvane"), text::CaptionKorvane,
                        MessageIcon::Error);
    });
}

// The write entry points. The addressed frames carry the address held in the
// configuration, which the address field updates when it loses the focus.
void MainWindow::onWriteAllTriggered() {
    RunDeviceAction([this] {
        m_session->writeAll(serialNumberField->text(), addressField->text());
        PortTableChanged();
    });
}

void MainWindow::onSetAddressTriggered() {
    RunDeviceAction([this] { m_session->procedures().SetAddress(); });
}

void MainWindow::onWritePortsTriggered() {
    RunDeviceAction([this] { m_session->procedures().WritePortSection(true); });
}

void MainWindow::onWriteScheduleTriggered() {
    RunDeviceAction([this] { m_session->procedures().SendScheduleTable(); });
}

void MainWindow::onWriteAllTrunkTriggered() {
    RunDeviceAction([this] { m_session->procedures().WriteAllTrunkSections(); });
}

void MainWindow::onWriteTrunkDelayTriggered() {
    RunDeviceAction([this] { m_session->procedures().WriteTrunkDelaySection(true); });
}

void MainWindow::onWriteTrunkAttributesTriggered() {
    RunDeviceAction([this] { m_session->procedures().WriteTrunkAttributeSection(true); });
}

void MainWindow::onWriteGpsTriggered() {
    RunDeviceAction([this] { m_session->procedures().WriteGpsSection(true); });
}

void MainWindow::onDisconnectTriggered() {
    RunDeviceAction([this] { m_session->closePort(); });
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
        dialog->SetSettings(m_session->portSettings());
        if (dialog->exec() != QDialog::Accepted)
            return;
        // The port is reopened (or left closed, which is shown) before the keys are
        // stored, so the label describes it even when they cannot be.
        try {
            m_session->setPortSettings(dialog->Settings());
        } catch (const std::exception& e) {
            ShowError(QString::fromUtf8(e.what()));
        }
        m_session->storePortSettings();
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
    // Values changed between the sections of a running write would be marked written.
    RunDeviceAction([this] {
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
    if (!m_session->isDebug() || !m_monitor)
        return;
    m_monitor->show();
    m_monitor->raise();
}

void MainWindow::onChannelDelayClicked() {
    m_config.ChannelDelayEnabled = channelDelayCheck->isChecked();
}

void MainWindow::onRemoteControlClicked() {
    // Taken at once, also while a procedure runs; the fields stay locked until it ends.
    m_config.ControlMode = remoteControlCheck->isChecked();
    serialNumberField->setReadOnly(m_busy || !m_config.ControlMode);
}

} // namespace korvane
