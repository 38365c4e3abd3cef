// SPDX-License-Identifier: MIT
// The main window as the operator the device procedures talk to (message boxes,
// schedule progress, pauses), and what it shows of what the session tells (the busy
// state, the labels and fields the procedures fill).

#include "ui/MainWindow.h"

#include "config/TrunkSummary.h"
#include "ui/HexFieldValidator.h"
#include "ui/PortTableModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

namespace korvane {

void MainWindow::showMessage(const QString& text, const QString& caption, MessageIcon icon) {
    presentMessage(text, caption, icon, {});
}

void MainWindow::showDetailedMessage(const QString& text, const QString& caption, MessageIcon icon,
                                     const QString& detail) {
    presentMessage(text, caption, icon, detail);
}

void MainWindow::presentMessage(const QString& text, const QString& caption, MessageIcon icon,
                                const QString& detail) {
    if (m_presenter) {
        m_presenter(text, caption, icon, detail);
        return;
    }
    const QMessageBox::Icon shown = icon == MessageIcon::Error     ? QMessageBox::Critical
                                    : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                                   : QMessageBox::Information;
    QMessageBox box(shown, caption, text, QMessageBox::Ok, isVisible() ? this : nullptr);
    box.setInformativeText(detail);
    box.exec();
}

void MainWindow::setBusy(bool busy) {
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
    portTableGroup->setEnabled(!busy);
    // The fields take no input either: an address typed halfway would change the
    // frames that follow. The remote-control box is taken at any time.
    m_busy = busy;
    addressField->setReadOnly(busy);
    serialNumberField->setReadOnly(busy || !m_config.controlMode);
    if (!busy) {
        // A field left while the procedure ran is taken now that it is over.
        for (QLineEdit* field : std::exchange(m_fieldsLeftWhileBusy, {}))
            takeFieldValue(field);
    }
}

void MainWindow::showPortLabel(const QString& text) {
    portLabel->setText(text);
}

void MainWindow::showModel(const QString& model) {
    modelLabel->setText(model);
}

void MainWindow::showAddress(const QString& decimal, const QString& answerHex) {
    HexFieldValidator::setUnchecked(addressField, decimal);
    addressAnswerField->setText(answerHex);
}

void MainWindow::showSerialNumber(const QString& decimal, const QString& answerHex) {
    HexFieldValidator::setUnchecked(serialNumberField, decimal);
    serialNumberAnswerField->setText(answerHex);
}

void MainWindow::showTrunkSummary(const QString& summary) {
    trunkSummaryLabel->setText(summary);
}

void MainWindow::showScheduleProgress(int block, int blocks) {
    scheduleProgressLabel->setText(
        blocks > 0 ? QStringLiteral("时序表 %1/%2").arg(block).arg(blocks) : QString());
    scheduleProgressLabel->setVisible(blocks > 0);
}

void MainWindow::pause(int ms) {
    // The window keeps painting; the running action's guard refuses a second one.
    runEventLoopFor(ms, QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::showTrunkSummaryOf(const DeviceConfiguration& config) {
    // A summary that cannot be built raises before the label changes: it keeps its
    // text and colours.
    trunkSummaryLabel->setText(trunkSummary(config));
}

} // namespace korvane
