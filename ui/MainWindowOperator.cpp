// The main window as the operator the device procedures talk to: message boxes,
// the busy state, the labels and fields they fill, schedule progress, pauses.

#include "ui/MainWindow.h"

#include "files/TrunkSummary.h"
#include "ui/HexFieldValidator.h"
#include "ui/PortTableModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

namespace korvane {

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
    // The fields take no input either: an address typed halfway would change the
    // frames that follow. The remote-control box is taken at any time.
    m_busy = busy;
    addressField->setReadOnly(busy);
    serialNumberField->setReadOnly(busy || !m_config.ControlMode);
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
    RunEventLoopFor(ms, QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::ShowTrunkSummaryOf(const DeviceConfiguration& config) {
    try {
        trunkSummaryLabel->setText(TrunkSummary(config));
    } catch (...) {
        // The values in memory changed but cannot be summarised: the label must not
        // go on describing the old ones.
        trunkSummaryLabel->setText(QStringLiteral("干线"));
        ShowTrunkRefreshed(m_config.IsTrunkRefreshed());
        throw;
    }
}

} // namespace korvane
