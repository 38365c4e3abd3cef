// SPDX-License-Identifier: MIT
#pragma once
// The port settings dialog: the serial port's name and line settings. It edits a
// PortSettings value and never touches the window's port; whoever shows it applies
// the result. Its port list offers "COM1", "COM2" and every port detected while it is
// shown (following plugging and unplugging), and "查找设备" probes them all for a
// device at the line settings the fields show.

#include "session/PortSettings.h"

#include <QDialog>
#include <QHash>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace korvane {

class DeviceFinder;
struct DetectedPort;

// What the setting stores for a detected port: the stable by-id path where there is
// one (it names that adapter whichever socket it is plugged into), else the path.
QString portSettingName(const DetectedPort& port);

class PortSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit PortSettingsDialog(QWidget* parent = nullptr);

    // The settings shown; handed over before each showing.
    void setSettings(const PortSettings& settings) { m_settings = settings; }
    // The network ports used before, offered after COM1 and COM2; handed over before
    // each showing.
    void setRecentPorts(const QStringList& names) { m_recentPorts = names; }
    // After OK: the settings shown, with the fields' values.
    const PortSettings& settings() const { return m_settings; }
    // Shows an error (a bit-rate text that is no number).
    void setErrorPresenter(std::function<void(const QString&)> presenter) {
        m_presenter = std::move(presenter);
    }

    // OK: takes the fields into the settings and closes the dialog. A bit-rate text
    // that is not a number changes nothing and keeps the dialog open.
    void onOkClicked();
    // "查找设备": probes every listed port; while a search runs it cancels it.
    void onFindClicked();

protected:
    void showEvent(QShowEvent* event) override;
    // Closing the dialog, confirmed or not, ends a search (its ports closed) and the
    // following of the ports.
    void hideEvent(QHideEvent* event) override;

private:
    QComboBox* portCombo;
    QComboBox* baudRateCombo;
    QComboBox* dataBitsCombo;
    QComboBox* stopBitsCombo;
    QComboBox* parityCombo;
    QPushButton* findButton;
    QLabel* lineNoteLabel;
    QLabel* findStatusLabel;
    QPushButton* okButton;
    QPushButton* cancelButton;
    QTimer* portRefreshTimer;
    DeviceFinder* deviceFinder;

    void loadSettings();
    void showError(const QString& message);
    // The detected ports into the list, changing only the items that differ, and
    // keeping the text typed or chosen.
    void refreshPorts();
    // The name a text of the port field stands for: an entry's stored name, or the
    // text itself.
    QString portName(const QString& text) const;
    // The line settings the fields show, or the bit-rate error to show.
    PortSettings fieldSettings(QString* error) const;
    void onDeviceFound(const QString& port, const QString& model);
    void onPortUnavailable(const QString& port, const QString& reason);
    void onFindFinished();
    void selectFirstFound();
    // A socket:// port takes the device server's line settings: its fields are off.
    void updateLineFields();

    PortSettings m_settings;
    QStringList m_recentPorts;
    std::function<void(const QString&)> m_presenter;
    // Every entry text shown while the dialog is open and the name it stands for, so
    // that a port unplugged after being chosen is still stored by its name.
    QHash<QString, QString> m_portNames;
    QHash<QString, QString> m_foundModels; // port name -> model, of the last search
    QString m_unavailableOwnPort;          // the settings' port and why it would not open
    QString m_loadedPortText;              // the port field as the settings filled it
};

// The bit rate a typed text stands for, or the conversion error to show:
// "'<text>' is not a valid integer value", or "Range check error" for a negative one.
struct BaudRateText {
    std::uint32_t value = 0;
    QString error;
};
BaudRateText parseBaudRate(const QString& text);

} // namespace korvane
