// SPDX-License-Identifier: MIT
// The main window's file commands: saving and loading a configuration file and
// choosing the channel file.

#include "ui/MainWindow.h"

#include "config/DisplayTexts.h"
#include "config/TrunkSummary.h"
#include "files/ConfigurationFile.h"
#include "ui/HexFieldValidator.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace korvane {

namespace {

const QString ConfigurationFilter = QStringLiteral("Korvane配置文件(*.krv)");
const QString ChannelFileFilter = QStringLiteral("信道配置文件(*.chn)");

} // namespace

QString MainWindow::chooseFile(FileDialog kind, const QString& start) {
    if (m_fileChooser)
        return m_fileChooser(kind, start);
    QFileDialog dialog(this);
    dialog.setDirectory(QFileInfo(start).isDir() ? start : QFileInfo(start).absolutePath());
    switch (kind) {
    case FileDialog::SaveConfiguration:
        // Asks before overwriting; the folder must exist.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(ConfigurationFilter);
        dialog.setDefaultSuffix(QStringLiteral("krv"));
        break;
    case FileDialog::LoadConfiguration:
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(ConfigurationFilter);
        dialog.setDefaultSuffix(QStringLiteral("krv"));
        break;
    case FileDialog::ChooseChannelFile:
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(ChannelFileFilter);
        // The name is preset even when the file has gone, so the operator sees it.
        if (!start.isEmpty() && !QFileInfo(start).isDir())
            dialog.selectFile(QFileInfo(start).fileName());
        break;
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

// Saving and choosing the channel file wait for a running procedure: neither a half
// read configuration nor a channel file changed halfway through a write.
void MainWindow::saveConfiguration() {
    runDeviceAction([this] {
        const QString path = chooseFile(FileDialog::SaveConfiguration, m_startDirectory);
        if (path.isEmpty())
            return;
        m_session->saveConfiguration(path);
        showMessage(QStringLiteral("文件保存完毕。"), text::CaptionKorvane,
                    MessageIcon::Information);
    });
}

void MainWindow::loadConfiguration() {
    runDeviceAction([this] {
        const QString path = chooseFile(FileDialog::LoadConfiguration, QDir::currentPath());
        if (path.isEmpty())
            return;
        applyConfigurationFile(path);
    });
}

void MainWindow::loadConfigurationFile(const QString& path) {
    runDeviceAction([this, &path] { applyConfigurationFile(path); });
}

void MainWindow::applyConfigurationFile(const QString& path) {
    const ConfigurationFile file = m_session->loadConfiguration(path);
    HexFieldValidator::setUnchecked(serialNumberField, file.serialNumberText);
    HexFieldValidator::setUnchecked(addressField, file.addressText);
    // Everything is loaded before the summary, which may fail for an unknown model.
    showTrunkSummaryOf(m_config);
}

void MainWindow::chooseChannelFile() {
    runDeviceAction([this] {
        const QString path = chooseFile(FileDialog::ChooseChannelFile, m_config.channelFileName);
        if (path.isEmpty())
            return;
        m_session->setChannelFile(path);
    });
}

} // namespace korvane
