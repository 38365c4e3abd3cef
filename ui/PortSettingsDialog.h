#pragma once
// The port settings dialog: the serial port's name and line settings. It edits a
// PortSettings value and never touches a port; whoever shows it applies the result.

#include "session/PortSettings.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QPushButton;

namespace korvane {

class PortSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit PortSettingsDialog(QWidget* parent = nullptr);

    // The settings shown; handed over before each showing.
    void setSettings(const PortSettings& settings) { m_settings = settings; }
    // After OK: the settings shown, with the fields' values.
    const PortSettings& settings() const { return m_settings; }
    // Shows an error (a bit-rate text that is no number).
    void setErrorPresenter(std::function<void(const QString&)> presenter) {
        m_presenter = std::move(presenter);
    }

    // OK: takes the fields into the settings and closes the dialog. A bit-rate text
    // that is not a number changes nothing and keeps the dialog open.
    void onOkClicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QComboBox* portCombo;
    QComboBox* baudRateCombo;
    QComboBox* dataBitsCombo;
    QComboBox* stopBitsCombo;
    QComboBox* parityCombo;
    QPushButton* okButton;
    QPushButton* cancelButton;

    void loadSettings();
    void showError(const QString& message);

    PortSettings m_settings;
    std::function<void(const QString&)> m_presenter;
};

// The bit rate a typed text stands for, or the conversion error to show:
// "'<text>' is not a valid integer value", or "Range check error" for a negative one.
struct BaudRateText {
    std::uint32_t value = 0;
    QString error;
};
BaudRateText parseBaudRate(const QString& text);

} // namespace korvane
