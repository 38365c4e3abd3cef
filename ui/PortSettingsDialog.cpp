// SPDX-License-Identifier: MIT
#include "ui/PortSettingsDialog.h"

#include "link/CommDevicePath.h"
#include "link/NetworkPortName.h"
#include "link/PortListing.h"
#include "session/DeviceFinder.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace korvane {

namespace {

const QStringList FixedPorts{QStringLiteral("COM1"), QStringLiteral("COM2")};
const QString FindText = QStringLiteral("查找设备");
const QString CancelFindText = QStringLiteral("取消");
// Plugging shows in the list within about a second.
constexpr int PortRefreshMs = 500;

QString markedText(const QString& text, const QString& model) {
    return QStringLiteral("%1 [%2]").arg(text, model);
}

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

QString portSettingName(const DetectedPort& port) {
    return port.stablePath.isEmpty() ? port.systemPath : port.stablePath;
}

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
    portCombo = combo(group, "portCombo", {}, true);
    for (const QString& name : FixedPorts)
        portCombo->addItem(name, name);
    // Wide enough for a port and its description; the list is as wide as its longest.
    portCombo->setMinimumContentsLength(36);
    portCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
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
    lineNoteLabel = new QLabel(QStringLiteral("socket:// 端口的串口参数由设备服务器设定"), group);
    lineNoteLabel->setObjectName(QStringLiteral("lineNoteLabel"));
    lineNoteLabel->setWordWrap(true);
    form->addRow(lineNoteLabel);

    findButton = new QPushButton(FindText, this);
    findButton->setObjectName(QStringLiteral("findButton"));
    findButton->setAutoDefault(false);
    findStatusLabel = new QLabel(this);
    findStatusLabel->setObjectName(QStringLiteral("findStatusLabel"));
    findStatusLabel->setWordWrap(true);
    findStatusLabel->setMinimumHeight(2 * findStatusLabel->fontMetrics().lineSpacing());
    auto* find = new QHBoxLayout;
    find->addWidget(findButton, 0, Qt::AlignTop);
    find->addWidget(findStatusLabel, 1);

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
    root->addLayout(find);
    root->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
    lineNoteLabel->hide(); // its room is kept: the dialog's size is fixed
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());

    connect(okButton, &QPushButton::clicked, this, &PortSettingsDialog::onOkClicked);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(findButton, &QPushButton::clicked, this, &PortSettingsDialog::onFindClicked);
    connect(portCombo, &QComboBox::editTextChanged, this, &PortSettingsDialog::updateLineFields);

    portRefreshTimer = new QTimer(this);
    portRefreshTimer->setObjectName(QStringLiteral("portRefreshTimer"));
    portRefreshTimer->setInterval(PortRefreshMs);
    connect(portRefreshTimer, &QTimer::timeout, this, &PortSettingsDialog::refreshPorts);

    deviceFinder = new DeviceFinder(this);
    deviceFinder->setObjectName(QStringLiteral("deviceFinder"));
    connect(deviceFinder, &DeviceFinder::deviceFound, this, &PortSettingsDialog::onDeviceFound);
    connect(deviceFinder, &DeviceFinder::portUnavailable, this,
            &PortSettingsDialog::onPortUnavailable);
    connect(deviceFinder, &DeviceFinder::finished, this, &PortSettingsDialog::onFindFinished);
}

void PortSettingsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_foundModels.clear();
    findStatusLabel->clear();
    refreshPorts();
    loadSettings();
    portRefreshTimer->start();
}

void PortSettingsDialog::hideEvent(QHideEvent* event) {
    portRefreshTimer->stop();
    if (deviceFinder->isRunning()) {
        deviceFinder->cancel();
        findButton->setText(FindText);
        findStatusLabel->clear();
    }
    QDialog::hideEvent(event);
}

void PortSettingsDialog::refreshPorts() {
    struct Entry {
        QString name;
        QString text;
    };
    QList<Entry> wanted;
    for (const QString& name : FixedPorts)
        wanted.append({name, name});
    for (const QString& name : m_recentPorts)
        wanted.append({name, name});
    for (const DetectedPort& port : detectedPorts()) {
        const QString name = portSettingName(port);
        const auto same = std::find_if(wanted.begin(), wanted.end(),
                                       [&](const Entry& e) { return e.name == name; });
        if (same != wanted.end())
            same->text = portListText(port); // Windows: COM1 with its description
        else
            wanted.append({name, portListText(port)});
    }
    QStringList names;
    for (Entry& e : wanted) {
        if (const auto found = m_foundModels.constFind(e.name); found != m_foundModels.cend())
            e.text = markedText(e.text, *found);
        names.append(e.name);
    }

    // What the operator typed or chose, to keep it whatever the list does.
    QLineEdit* edit = portCombo->lineEdit();
    const QString typed = edit->text();
    const int cursor = edit->cursorPosition();
    const int selectionStart = edit->selectionStart();
    const auto selectionLength = static_cast<int>(edit->selectedText().size());
    const int currentIndex = portCombo->currentIndex();
    const QString chosen = currentIndex >= 0 && portCombo->itemText(currentIndex) == typed
                               ? portCombo->itemData(currentIndex).toString()
                               : QString();

    // Only what changed: an entry that went, one that came, a text that differs.
    for (int i = portCombo->count() - 1; i >= 0; --i) {
        if (!names.contains(portCombo->itemData(i).toString()))
            portCombo->removeItem(i);
    }
    for (int i = 0; i < wanted.size(); ++i) {
        const Entry& e = wanted.at(i);
        const int at = portCombo->findData(e.name);
        if (at != i) {
            if (at >= 0)
                portCombo->removeItem(at);
            portCombo->insertItem(i, e.text, e.name);
        } else if (portCombo->itemText(i) != e.text) {
            portCombo->setItemText(i, e.text);
        }
        m_portNames.insert(e.text, e.name);
    }

    // A chosen entry stays chosen, its text as the list now has it; anything else
    // stays as typed, where the cursor was.
    const int chosenAt = chosen.isEmpty() ? -1 : portCombo->findData(chosen);
    if (chosenAt >= 0) {
        portCombo->setCurrentIndex(chosenAt);
    } else if (edit->text() != typed) {
        portCombo->setCurrentIndex(-1);
        edit->setText(typed);
        if (selectionLength > 0)
            edit->setSelection(selectionStart, selectionLength);
        else
            edit->setCursorPosition(cursor);
    }
    portCombo->view()->setMinimumWidth(portCombo->view()->sizeHintForColumn(0) +
                                       portCombo->view()->frameWidth() * 2);
}

QString PortSettingsDialog::portName(const QString& text) const {
    return m_portNames.value(text, text);
}

void PortSettingsDialog::loadSettings() {
    // The stored name as stored, also where an entry opens the same port under another
    // name or shows it with a description; it stays unless the operator changes it.
    portCombo->setCurrentIndex(-1);
    portCombo->setEditText(m_settings.commName);
    m_loadedPortText = m_settings.commName;
    baudRateCombo->setCurrentText(QString::number(m_settings.baudRate));
    // A value the list does not offer (mark or space parity) selects nothing.
    dataBitsCombo->setCurrentIndex(static_cast<int>(m_settings.byteSize));
    stopBitsCombo->setCurrentIndex(static_cast<int>(m_settings.stopBits));
    const int parity = static_cast<int>(m_settings.parity);
    parityCombo->setCurrentIndex(parity < parityCombo->count() ? parity : -1);
    updateLineFields();
}

void PortSettingsDialog::updateLineFields() {
    const auto name = parseNetworkPortName(portName(portCombo->currentText()));
    const bool serverSets = name && name->scheme == NetworkPortName::Scheme::Socket;
    for (QComboBox* field : {baudRateCombo, dataBitsCombo, stopBitsCombo, parityCombo})
        field->setEnabled(!serverSets);
    lineNoteLabel->setVisible(serverSets);
}

void PortSettingsDialog::showError(const QString& message) {
    if (m_presenter)
        m_presenter(message);
    else
        QMessageBox::critical(this, QStringLiteral("Set Comm Port"), message);
}

PortSettings PortSettingsDialog::fieldSettings(QString* error) const {
    PortSettings settings = m_settings;
    const BaudRateText rate = parseBaudRate(baudRateCombo->currentText());
    *error = rate.error;
    // Untouched, the field stands for the stored name, whatever entry it resembles.
    const QString portText = portCombo->currentText();
    settings.commName = portText == m_loadedPortText ? m_settings.commName : portName(portText);
    settings.baudRate = rate.value;
    if (dataBitsCombo->currentIndex() >= 0)
        settings.byteSize = static_cast<DataBits>(dataBitsCombo->currentIndex());
    if (stopBitsCombo->currentIndex() >= 0)
        settings.stopBits = static_cast<StopBitsMode>(stopBitsCombo->currentIndex());
    if (parityCombo->currentIndex() >= 0)
        settings.parity = static_cast<ParityMode>(parityCombo->currentIndex());
    return settings;
}

void PortSettingsDialog::onOkClicked() {
    // Checked before anything changes, so that a refused OK leaves the settings alone.
    QString error;
    const PortSettings settings = fieldSettings(&error);
    if (error.isEmpty())
        error = portNameProblem(settings.commName);
    if (!error.isEmpty()) {
        showError(error);
        return;
    }
    m_settings = settings;
    accept();
}

void PortSettingsDialog::onFindClicked() {
    if (deviceFinder->isRunning()) {
        deviceFinder->cancel();
        findButton->setText(FindText);
        findStatusLabel->setText(QStringLiteral("已取消查找"));
        return;
    }
    // The same check as OK's: a bad bit rate probes nothing.
    QString error;
    const PortSettings line = fieldSettings(&error);
    if (!error.isEmpty()) {
        showError(error);
        return;
    }
    m_foundModels.clear();
    m_unavailableOwnPort.clear();
    refreshPorts(); // without the marks of an earlier search
    QStringList ports;
    for (int i = 0; i < portCombo->count(); ++i)
        ports.append(portCombo->itemData(i).toString());
    if (!line.commName.isEmpty() && !ports.contains(line.commName))
        ports.append(line.commName); // a port typed in
    deviceFinder->start(ports, line);
    findButton->setText(CancelFindText);
    findStatusLabel->setText(QStringLiteral("正在查找设备（%1个端口）…").arg(ports.size()));
}

void PortSettingsDialog::onDeviceFound(const QString& port, const QString& model) {
    m_foundModels.insert(port, model);
    refreshPorts();
    selectFirstFound();
    findStatusLabel->setText(QStringLiteral("已找到%1台设备，还在查找…").arg(m_foundModels.size()));
}

void PortSettingsDialog::onPortUnavailable(const QString& port, const QString& reason) {
    // The window's own port is the one the operator expects the device on; it may be
    // the window that holds it.
    if (commDevicePath(port) == commDevicePath(m_settings.commName))
        m_unavailableOwnPort = QStringLiteral("%1打不开：%2").arg(port, reason);
}

void PortSettingsDialog::selectFirstFound() {
    for (int i = 0; i < portCombo->count(); ++i) {
        if (m_foundModels.contains(portCombo->itemData(i).toString())) {
            portCombo->setCurrentIndex(i);
            // The port's name leads the entry's text: show it, not the model's mark.
            if (QLineEdit* edit = portCombo->lineEdit())
                edit->setCursorPosition(0);
            return;
        }
    }
}

void PortSettingsDialog::onFindFinished() {
    findButton->setText(FindText);
    selectFirstFound();
    const auto found = static_cast<int>(m_foundModels.size());
    if (found == 0) {
        QString text = QStringLiteral("没有找到设备");
        if (!m_unavailableOwnPort.isEmpty())
            text += QStringLiteral("（%1）").arg(m_unavailableOwnPort);
        findStatusLabel->setText(text);
    } else if (found == 1) {
        const QString port = m_foundModels.begin().key();
        findStatusLabel->setText(
            QStringLiteral("找到设备%1：%2").arg(m_foundModels.value(port), port));
    } else {
        findStatusLabel->setText(QStringLiteral("找到%1台设备，已选第一台").arg(found));
    }
}

} // namespace korvane
