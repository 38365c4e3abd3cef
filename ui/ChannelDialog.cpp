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
        group->SetItemIndex(index);
}

} // namespace

SelectChannelInput SelectChannelInput::From(const DeviceConfiguration& config,
                                            const PortEntry& port) {
    return SelectChannelInput{
        config.DeviceModel, config.ChannelFileName, port.Channel,   port.Polarity,
        port.PortState,     port.ClockSource,       port.ClockEdge, port.Delay};
}

TfrmSelectChannel::TfrmSelectChannel(SelectChannelInput input, MessagePresenter presenter,
                                     QWidget* parent)
    : QDialog(parent), m_input(std::move(input)), m_presenter(std::move(presenter)) {
    setObjectName(QStringLiteral("frmSelectChannel"));
    setWindowTitle(QStringLiteral("Select Channel"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QFont font;
    font.setFamilies(
        {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(590, 480);
    BuildForm();
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void TfrmSelectChannel::BuildForm() {
    RadioGroup1 = new RadioGroup(QStringLiteral("RadioGroup1"), QStringLiteral("数据极性"),
                                 PolarityItems, this);
    RadioGroup2 = new RadioGroup(QStringLiteral("RadioGroup2"), QStringLiteral("端口状态"),
                                 PortStateItems, this);
    RadioGroup3 = new RadioGroup(QStringLiteral("RadioGroup3"), QStringLiteral("时钟源"),
                                 ClockSourceItems, this);
    RadioGroup4 = new RadioGroup(QStringLiteral("RadioGroup4"), QStringLiteral("时钟沿(PTT)"),
                                 ClockEdgeItems, this);
    RadioGroup1->setGeometry(8, 8, 104, 80);
    RadioGroup2->setGeometry(118, 8, 104, 80);
    RadioGroup3->setGeometry(228, 8, 104, 80);
    RadioGroup4->setGeometry(338, 8, 116, 80);
    for (RadioGroup* group : {RadioGroup1, RadioGroup2, RadioGroup3, RadioGroup4})
        group->SetItemIndex(0);

    lbStopBits =
        named(new QLabel(QStringLiteral("停止位"), this), "lbStopBits", QRect(462, 8, 120, 16));
    edStopBits = named(new QLineEdit(this), "edStopBits", QRect(462, 26, 120, 22));
    lbDelay = named(new QLabel(QStringLiteral("通道延时（微秒）"), this), "lbDelay",
                    QRect(462, 52, 120, 16));
    edDelay = named(new QLineEdit(QStringLiteral("0"), this), "edDelay", QRect(462, 70, 120, 22));
    edDelay->setReadOnly(true);

    lbChannel = named(new QLabel(QStringLiteral("选择对应的信道"), this), "lbChannel",
                      QRect(8, 96, 200, 16));
    ListView1 = named(new QTreeWidget(this), "ListView1", QRect(8, 114, 574, 316));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setHeaderLabels({QStringLiteral("信道"), QStringLiteral("编码类型"),
                                QStringLiteral("速率"), QStringLiteral("时钟源"),
                                QStringLiteral("时钟沿(PTT)"), QStringLiteral("停止位")});
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionsMovable(false);
    const int widths[] = {50, 100, 100, 80, 80, 50};
    for (int column = ColChannel; column <= ColStopBits; ++column)
        ListView1->setColumnWidth(column, widths[column]);
    // The chosen channel stays marked while the operator works in the radio groups.
    QPalette palette = ListView1->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    ListView1->setPalette(palette);

    BitBtn1 =
        named(new QPushButton(QStringLiteral("取消"), this), "BitBtn1", QRect(414, 440, 80, 30));
    BitBtn2 =
        named(new QPushButton(QStringLiteral("确定"), this), "BitBtn2", QRect(502, 440, 80, 30));
    BitBtn2->setDefault(true);

    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn2, &QPushButton::clicked, this, &TfrmSelectChannel::accept);
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, &TfrmSelectChannel::accept);
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this,
            &TfrmSelectChannel::ListView1SelectionChanged);
}

void TfrmSelectChannel::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window system's own show (restoring from minimised) is no new opening.
    if (!event->spontaneous())
        FormShow();
}

void TfrmSelectChannel::FormShow() {
    LoadChannelList();

    ListView1->clearSelection();
    for (int row = 0; row < ListView1->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = ListView1->topLevelItem(row);
        if (item->text(ColChannel) == m_input.Channel) {
            // Selecting runs the selection steps through itemSelectionChanged.
            ListView1->setCurrentItem(item);
            item->setSelected(true);
            break;
        }
    }
    ListView1->setFocus();

    chooseItem(RadioGroup1, PolarityItems, m_input.Polarity);
    chooseItem(RadioGroup2, PortStateItems, m_input.PortState);
    chooseItem(RadioGroup3, ClockSourceItems, m_input.ClockSource);
    chooseItem(RadioGroup4, ClockEdgeItems, m_input.ClockEdge);

    edStopBits->clear();

    const bool hasDelay = m_input.DeviceModel == text::ModelAB;
    edDelay->setEnabled(hasDelay);
    lbDelay->setEnabled(hasDelay);
}

void TfrmSelectChannel::LoadChannelList() {
    ListView1->clear();
    QList<ChannelRecord> records;
    QString error;
    try {
        records = ReadChannelFile(m_input.ChannelFileName);
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
        ShowMessage(error, QCoreApplication::applicationName());
    }
    for (const ChannelRecord& r : records)
        new QTreeWidgetItem(ListView1,
                            {r.Channel, r.Coding, r.Rate, r.ClockSource, r.ClockEdge, r.StopBits});
}

void TfrmSelectChannel::ListView1SelectionChanged() {
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (!selected.isEmpty())
        ListView1SelectItem(selected.first());
}

void TfrmSelectChannel::ListView1SelectItem(const QTreeWidgetItem* item) {
    chooseItem(RadioGroup3, ClockSourceItems, item->text(ColClockSource));
    chooseItem(RadioGroup4, ClockEdgeItems, item->text(ColClockEdge));
    RadioGroup3->setEnabled(item->text(ColCoding) == text::Sync);
    edStopBits->setText(item->text(ColStopBits));
    m_channel = item->text(ColChannel);
    m_coding = item->text(ColCoding);
    m_rate = item->text(ColRate);
    edDelay->setText(ChannelDelay(m_input.ChannelFileName, m_channel));
}

void TfrmSelectChannel::accept() {
    if (ListView1->selectedItems().isEmpty()) {
        ShowMessage(QStringLiteral("请选择对应的信道。"), text::CaptionKorvane);
        return;
    }
    m_choice = ChannelChoice{.Channel = m_channel,
                             .Coding = m_coding,
                             .Rate = m_rate,
                             .ClockSource = RadioGroup3->ItemText(),
                             .ClockEdge = RadioGroup4->ItemText(),
                             .Polarity = RadioGroup1->ItemText(),
                             .PortState = RadioGroup2->ItemText(),
                             .Delay = edDelay->text(),
                             .StopBits = edStopBits->text()};
    QDialog::accept();
}

void TfrmSelectChannel::ShowMessage(const QString& text, const QString& caption) {
    if (m_presenter) {
        m_presenter(text, caption, MessageIcon::Error);
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, this);
    box.exec();
}

} // namespace korvane
