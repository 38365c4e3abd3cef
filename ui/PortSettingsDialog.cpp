#include "ui/PortSettingsDialog.h"

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

BaudRateText parseBaudRate(const QString& text) {
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

PortSettingsDialog::PortSettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("portSettingsDialog"));
    setWindowTitle(QStringLiteral("Set Comm Port"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto* group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("lineGroup"));
    auto* form = new QFormLayout(group);
    portCombo = combo(group, "portCombo", {QStringLiteral("COM1"), QStringLiteral("COM2")}, true);
    baudRateCombo =
        combo(group, "baudRateCombo",
              {QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
               QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400")},
              true);
    dataBitsCombo =
        combo(group, "dataBitsCombo",
              {QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")},
              false);
    stopBitsCombo = combo(group, "stopBitsCombo",
                          {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")}, false);
    parityCombo =
        combo(group, "parityCombo",
              {QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even")}, false);
    form->addRow(QStringLiteral("Port:"), portCombo);
    form->addRow(QStringLiteral("BaudRate:"), baudRateCombo);
    form->addRow(QStringLiteral("Data Bits:"), dataBitsCombo);
    form->addRow(QStringLiteral("Stop Bits:"), stopBitsCombo);
    form->addRow(QStringLiteral("Parity:"), parityCombo);

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);

    auto* root = new QVBoxLayout(this);
    root->addWidget(group);
    root->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());

    connect(okButton, &QPushButton::clicked, this, &PortSettingsDialog::onOkClicked);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void PortSettingsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    loadSettings();
}

void PortSettingsDialog::loadSettings() {
    portCombo->setCurrentText(m_settings.commName);
    baudRateCombo->setCurrentText(QString::number(m_settings.baudRate));
    // A value the list does not offer (mark or space parity) selects nothing.
    dataBitsCombo->setCurrentIndex(static_cast<int>(m_settings.byteSize));
    stopBitsCombo->setCurrentIndex(static_cast<int>(m_settings.stopBits));
    const int parity = static_cast<int>(m_settings.parity);
    parityCombo->setCurrentIndex(parity < parityCombo->count() ? parity : -1);
}

void PortSettingsDialog::showError(const QString& message) {
    if (m_presenter)
        m_presenter(message);
    else
        QMessageBox::critical(this, QStringLiteral("Set Comm Port"), message);
}

void PortSettingsDialog::onOkClicked() {
    // Checked before anything changes, so that a refused OK leaves the settings alone.
    const BaudRateText rate = parseBaudRate(baudRateCombo->currentText());
    if (!rate.error.isEmpty()) {
        showError(rate.error);
        return;
    }
    m_settings.commName = portCombo->currentText();
    m_settings.baudRate = rate.value;
    if (dataBitsCombo->currentIndex() >= 0)
        m_settings.byteSize = static_cast<DataBits>(dataBitsCombo->currentIndex());
    if (stopBitsCombo->currentIndex() >= 0)
        m_settings.stopBits = static_cast<StopBitsMode>(stopBitsCombo->currentIndex());
    if (parityCombo->currentIndex() >= 0)
        m_settings.parity = static_cast<ParityMode>(parityCombo->currentIndex());
    accept();
}

} // namespace korvane
