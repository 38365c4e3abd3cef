#include "ui/PortSettingsDialog.h"

#include "link/SerialPort.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <limits>

namespace korvane {

namespace {

QComboBox* combo(QWidget* parent, const char* name, const QStringList& items, bool editable) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->addItems(items);
    c->setEditable(editable);
    if (editable)
        c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

} // namespace

BaudRateText ParseBaudRate(const QString& text) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || text.trimmed().size() != text.size() || text.isEmpty() ||
        v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        return {0, QStringLiteral("'%1' is not a valid integer value").arg(text)};
    if (v < 0)
        return {0, QStringLiteral("Range check error")};
    return {static_cast<std::uint32_t>(v), {}};
}

TfrmSetPort::TfrmSetPort(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSetPort"));
    setWindowTitle(QStringLiteral("Set Comm Port"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto* group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto* form = new QFormLayout(group);
    cbPort = combo(group, "cbPort", {QStringLiteral("COM1"), QStringLiteral("COM2")}, true);
    cbBaudRate = combo(group, "cbBaudRate",
                       {QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
                        QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400")},
                       true);
    cbDataBits =
        combo(group, "cbDataBits",
              {QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")},
              false);
    cbStopBits = combo(group, "cbStopBits",
                       {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")}, false);
    cbParity =
        combo(group, "cbParity",
              {QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even")}, false);
    form->addRow(QStringLiteral("Port:"), cbPort);
    form->addRow(QStringLiteral("BaudRate:"), cbBaudRate);
    form->addRow(QStringLiteral("Data Bits:"), cbDataBits);
    form->addRow(QStringLiteral("Stop Bits:"), cbStopBits);
    form->addRow(QStringLiteral("Parity:"), cbParity);

    btOK = new QPushButton(QStringLiteral("OK"), this);
    btOK->setObjectName(QStringLiteral("btOK"));
    btOK->setDefault(true);
    btCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);

    auto* root = new QVBoxLayout(this);
    root->addWidget(group);
    root->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());

    connect(btOK, &QPushButton::clicked, this, &TfrmSetPort::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmSetPort::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    LoadFromPort();
}

void TfrmSetPort::LoadFromPort() {
    if (!m_comm)
        return;
    cbPort->setCurrentText(m_comm->CommName());
    cbBaudRate->setCurrentText(QString::number(m_comm->BaudRate()));
    // A value the list does not offer (mark or space parity) selects nothing.
    cbDataBits->setCurrentIndex(static_cast<int>(m_comm->ByteSize()));
    cbStopBits->setCurrentIndex(static_cast<int>(m_comm->StopBits()));
    const int parity = static_cast<int>(m_comm->Parity());
    cbParity->setCurrentIndex(parity < cbParity->count() ? parity : -1);
}

void TfrmSetPort::ShowError(const QString& message) {
    if (m_presenter)
        m_presenter(message);
    else
        QMessageBox::critical(this, QStringLiteral("Set Comm Port"), message);
}

void TfrmSetPort::btOKClick() {
    if (!m_comm)
        return;
    // Checked before anything changes, so that a refused OK leaves port and file alone.
    const BaudRateText rate = ParseBaudRate(cbBaudRate->currentText());
    if (!rate.Error.isEmpty()) {
        ShowError(rate.Error);
        return;
    }
    m_comm->SetCommName(cbPort->currentText());
    m_comm->SetBaudRate(rate.Value);
    if (cbDataBits->currentIndex() >= 0)
        m_comm->SetByteSize(static_cast<TByteSize>(cbDataBits->currentIndex()));
    if (cbStopBits->currentIndex() >= 0)
        m_comm->SetStopBits(static_cast<TStopBits>(cbStopBits->currentIndex()));
    if (cbParity->currentIndex() >= 0)
        m_comm->SetParity(static_cast<TParity>(cbParity->currentIndex()));
    m_comm->ClosePort();
    try {
        m_comm->OpenPort();
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    }
    accept();
}

} // namespace korvane
