// SPDX-License-Identifier: MIT
#pragma once
// The channel selection dialog: lists the channels of the channel file, lets the
// operator pick one and set the port's own attributes, shows the channel's delay from
// the channel delay file, and hands the result back as a ChannelChoice. It never
// touches the configuration; the caller binds the choice. Created for one use.

#include "config/DeviceConfiguration.h"
#include "protocol/DeviceOperator.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace korvane {

class RadioGroup;

// What the dialog starts from: the device model, the channel file and the port row
// being bound (its delay is carried but not used).
struct SelectChannelInput {
    QString deviceModel;
    QString channelFileName;
    QString channel;
    QString polarity;
    QString portState;
    QString clockSource;
    QString clockEdge;
    QString delay;

    static SelectChannelInput from(const DeviceConfiguration& config, const PortEntry& port);
};

class ChannelDialog : public QDialog {
    Q_OBJECT
public:
    // Shows a message box; tests replace it so that nothing waits for a click.
    using MessagePresenter =
        std::function<void(const QString& text, const QString& caption, MessageIcon)>;

    explicit ChannelDialog(SelectChannelInput input, MessagePresenter presenter = {},
                           QWidget* parent = nullptr);

    // Valid after the dialog was accepted.
    ChannelChoice choice() const { return m_choice; }

    // "确定", a double-click on a row and Enter: refused without a selected row.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    RadioGroup* polarityGroup;    // "数据极性"
    RadioGroup* portStateGroup;   // "端口状态"
    RadioGroup* clockSourceGroup; // "时钟源"
    RadioGroup* clockEdgeGroup;   // "时钟沿(PTT)"
    QLabel* stopBitsLabel;
    QLineEdit* stopBitsField;
    QLabel* delayLabel;
    QLineEdit* delayField;
    QLabel* channelListLabel;
    QTreeWidget* channelList;
    QPushButton* cancelButton; // "取消"
    QPushButton* okButton;     // "确定"

    void buildForm();
    void prepareFirstShow();
    void loadChannelList();
    void selectChannelItem(const QTreeWidgetItem* item);
    void onChannelSelectionChanged();
    void showMessage(const QString& text, const QString& caption);

    SelectChannelInput m_input;
    MessagePresenter m_presenter;
    ChannelChoice m_choice;
    // The row last selected: its channel, coding and rate go into the result.
    QString m_channel;
    QString m_coding;
    QString m_rate;
};

} // namespace korvane
