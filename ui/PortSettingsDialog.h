#pragma once
// The port settings dialog: the serial port's name and line settings. It works on
// the transport's port directly; OK applies the fields and reopens the port.

#include <QDialog>

#include <functional>

class QComboBox;
class QPushButton;

namespace korvane {

class SerialPort;

class PortSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit PortSettingsDialog(QWidget* parent = nullptr);

    // The port to work on; handed over before each showing.
    void SetComm(SerialPort* comm) { m_comm = comm; }
    // Shows an error (a bit-rate text that is no number, a port that will not reopen).
    void SetErrorPresenter(std::function<void(const QString&)> presenter) {
        m_presenter = std::move(presenter);
    }

    // OK: applies the fields, then closes and reopens the port. A bit-rate text that
    // is not a number changes nothing and keeps the dialog open.
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

    void LoadFromPort();
    void ShowError(const QString& message);

    SerialPort* m_comm = nullptr;
    std::function<void(const QString&)> m_presenter;
};

// The bit rate a typed text stands for, or the conversion error to show:
// "'<text>' is not a valid integer value", or "Range check error" for a negative one.
struct BaudRateText {
    std::uint32_t Value = 0;
    QString Error;
};
BaudRateText ParseBaudRate(const QString& text);

} // namespace korvane
