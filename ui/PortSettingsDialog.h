#pragma once
// The port settings dialog: the serial port's name and line settings. It works on
// the transport's port directly; OK applies the fields and reopens the port.

#include <QDialog>

#include <functional>

class QComboBox;
class QPushButton;

namespace korvane {

class TComm;

class TfrmSetPort : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSetPort(QWidget* parent = nullptr);

    // The port to work on; handed over before each showing.
    void SetComm(TComm* comm) { m_comm = comm; }
    // Shows an error (a bit-rate text that is no number, a port that will not reopen).
    void SetErrorPresenter(std::function<void(const QString&)> presenter) {
        m_presenter = std::move(presenter);
    }

    // OK: applies the fields, then closes and reopens the port. A bit-rate text that
    // is not a number changes nothing and keeps the dialog open.
    void btOKClick();

    QComboBox* cbPort;
    QComboBox* cbBaudRate;
    QComboBox* cbDataBits;
    QComboBox* cbStopBits;
    QComboBox* cbParity;
    QPushButton* btOK;
    QPushButton* btCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void LoadFromPort();
    void ShowError(const QString& message);

    TComm* m_comm = nullptr;
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
