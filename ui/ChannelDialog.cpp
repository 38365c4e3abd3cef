// SPDX-License-Identifier: MIT
#include "ui/ChannelDialog.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "files/ChannelFile.h"
#include "ui/RadioGroup.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTreeWidget>

#include <exception>

namespace korvane {

namespace {

// The list's columns, in the order of a channel record.
enum Column { ColChannel, ColCoding, ColRate, ColClockSource, ColClockEdge, ColStopBits };

const QStringList PolarityItems{text::Positive, text::Negative};
const QStringList PortStateItems{text::On, text::Off};
const QStringList ClockSourceItems{text::Internal, text::External};
const QStringList ClockEdgeItems{text::RisingEdge, text::FallingEdge};

template <typename W> W* named(W* widget, const char* name, QRect geometry) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

// Chooses the item whose text is given; any other text leaves the group as it is.
void chooseItem(RadioGroup* group, const QStringList& items, const QString& value) {
    const int index = items.indexOf(value);
    if (index >= 0)
        group->setItemIndex(index);
}

} // namespace

SelectChannelInput SelectChannelInput::from(const DeviceConfiguration& config,
                                            const PortEntry& port) {
    return SelectChannelInput{
        config.deviceModel, config.channelFileName, port.channel,   port.polarity,
        port.portState,     port.clockSource,       port.clockEdge, port.delay};
}

ChannelDialog::ChannelDialog(SelectChannelInput input, MessagePresenter presenter, QWidget* parent)
    : QDialog(parent), m_input(std::move(input)), m_presenter(std::move(presenter)) {
    setObjectName(QStringLiteral("channelDialog"));
    setWindowTitle(QStringLiteral("Select Channel"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QFont font;
    font.setFamilies(
        {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(590, 480);
    buildForm();
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void ChannelDialog::buildForm() {
    polarityGroup = new RadioGroup(QStringLiteral("polarityGroup"), QStringLiteral("数据极性"),
                                   PolarityItems, this);
    portStateGroup = new RadioGroup(QStringLiteral("portStateGroup"), QStringLiteral("端口状态"),
                                    PortStateItems, this);
    clockSourceGroup = new RadioGroup(QStringLiteral("clockSourceGroup"), QStringLiteral("时钟源"),
                                      ClockSourceItems, this);
    clockEdgeGroup = new RadioGroup(QStringLiteral("clockEdgeGroup"), QStringLiteral("时钟沿(PTT)"),
                                    ClockEdgeItems, this);
    polarityGroup->setGeometry(8, 8, 104, 80);
    portStateGroup->setGeometry(118, 8, 104, 80);
    clockSourceGroup->setGeometry(228, 8, 104, 80);
    clockEdgeGroup->setGeometry(338, 8, 116, 80);
    for (RadioGroup* group : {polarityGroup, portStateGroup, clockSourceGroup, clockEdgeGroup})
        group->setItemIndex(0);

    stopBitsLabel =
        named(new QLabel(QStringLiteral("停止位"), this), "stopBitsLabel", QRect(462, 8, 120, 16));
    stopBitsField = named(new QLineEdit(this), "stopBitsField", QRect(462, 26, 120, 22));
    delayLabel = named(new QLabel(QStringLiteral("通道延时（微秒）"), this), "delayLabel",
                       QRect(462, 52, 120, 16));
    delayField =
        named(new QLineEdit(QStringLiteral("0"), this), "delayField", QRect(462, 70, 120, 22));
    delayField->setReadOnly(true);

    channelListLabel = named(new QLabel(QStringLiteral("选择对应的信道"), this), "channelListLabel",
                             QRect(8, 96, 200, 16));
    channelList = named(new QTreeWidget(this), "channelList", QRect(8, 114, 574, 316));
    channelList->setRootIsDecorated(false);
    channelList->setUniformRowHeights(true);
    channelList->setAllColumnsShowFocus(true);
    channelList->setSelectionBehavior(QAbstractItemView::SelectRows);
    channelList->setSelectionMode(QAbstractItemView::SingleSelection);
    channelList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    channelList->setHeaderLabels({QStringLiteral("信道"), QStringLiteral("编码类型"),
                                  QStringLiteral("速率"), QStringLiteral("时钟源"),
                                  QStringLiteral("时钟沿(PTT)"), QStringLiteral("停止位")});
    channelList->header()->setStretchLastSection(false);
    channelList->header()->setSectionsMovable(false);
    const int widths[] = {50, 100, 100, 80, 80, 50};
    for (int column = ColChannel; column <= ColStopBits; ++column)
        channelList->setColumnWidth(column, widths[column]);
    // The chosen channel stays marked while the operator works in the radio groups.
    QPalette palette = channelList->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    channelList->setPalette(palette);

    cancelButton = named(new QPushButton(QStringLiteral("取消"), this), "cancelButton",
                         QRect(414, 440, 80, 30));
    okButton =
        named(new QPushButton(QStringLiteral("确定"), this), "okButton", QRect(502, 440, 80, 30));
    okButton->setDefault(true);

    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(okButton, &QPushButton::clicked, this, &ChannelDialog::accept);
    connect(channelList, &QTreeWidget::itemDoubleClicked, this, &ChannelDialog::accept);
    connect(channelList, &QTreeWidget::itemSelectionChanged, this,
            &ChannelDialog::onChannelSelectionChanged);
}

void ChannelDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window system's own show (restoring from minimised) is no new opening.
    if (!event->spontaneous())
        prepareFirstShow();
}

void ChannelDialog::prepareFirstShow() {
    loadChannelList();

    channelList->clearSelection();
    for (int row = 0; row < channelList->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = channelList->topLevelItem(row);
        if (item->text(ColChannel) == m_input.channel) {
            // Selecting runs the selection steps through itemSelectionChanged.
            channelList->setCurrentItem(item);
            item->setSelected(true);
            break;
        }
    }
    channelList->setFocus();

    chooseItem(polarityGroup, PolarityItems, m_input.polarity);
    chooseItem(portStateGroup, PortStateItems, m_input.portState);
    chooseItem(clockSourceGroup, ClockSourceItems, m_input.clockSource);
    chooseItem(clockEdgeGroup, ClockEdgeItems, m_input.clockEdge);

    stopBitsField->clear();

    const bool hasDelay = m_input.deviceModel == text::ModelAB;
    delayField->setEnabled(hasDelay);
    delayLabel->setEnabled(hasDelay);
}

void ChannelDialog::loadChannelList() {
    channelList->clear();
    QList<ChannelRecord> records;
    QString error;
    try {
        records = readChannelFile(m_input.channelFileName);
    } catch (const KorvaneError& e) {
        error = e.message();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    if (!error.isEmpty()) {
        // Shown the way the top-level handler shows a raised error; the dialog then
        // opens with an empty list so that only "取消" ends it.
        if (!error.endsWith(u'.') && !error.endsWith(u'。'))
            error += u'.';
        showMessage(error, QCoreApplication::applicationName());
    }
    for (const ChannelRecord& r : records)
        new QTreeWidgetItem(channelList,
                            {r.channel, r.coding, r.rate, r.clockSource, r.clockEdge, r.stopBits});
}

void ChannelDialog::onChannelSelectionChanged() {
    const QList<QTreeWidgetItem*> selected = channelList->selectedItems();
    if (!selected.isEmpty())
        selectChannelItem(selected.first());
}

void ChannelDialog::selectChannelItem(const QTreeWidgetItem* item) {
    chooseItem(clockSourceGroup, ClockSourceItems, item->text(ColClockSource));
    chooseItem(clockEdgeGroup, ClockEdgeItems, item->text(ColClockEdge));
    clockSourceGroup->setEnabled(item->text(ColCoding) == text::Sync);
    stopBitsField->setText(item->text(ColStopBits));
    m_channel = item->text(ColChannel);
    m_coding = item->text(ColCoding);
    m_rate = item->text(ColRate);
    delayField->setText(channelDelay(m_input.channelFileName, m_channel));
}

void ChannelDialog::accept() {
    if (channelList->selectedItems().isEmpty()) {
        showMessage(QStringLiteral("请选择对应的信道。"), text::CaptionKorvane);
        return;
    }
    m_choice = ChannelChoice{.channel = m_channel,
                             .coding = m_coding,
                             .rate = m_rate,
                             .clockSource = clockSourceGroup->itemText(),
                             .clockEdge = clockEdgeGroup->itemText(),
                             .polarity = polarityGroup->itemText(),
                             .portState = portStateGroup->itemText(),
                             .delay = delayField->text(),
                             .stopBits = stopBitsField->text()};
    QDialog::accept();
}

void ChannelDialog::showMessage(const QString& text, const QString& caption) {
    if (m_presenter) {
        m_presenter(text, caption, MessageIcon::Error);
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, this);
    box.exec();
}

} // namespace korvane
