// SPDX-License-Identifier: MIT
#include "config/DisplayTexts.h"
#include "files/Cp936.h"
#include "tests/support/Child.h"
#include "ui/ChannelDialog.h"
#include "ui/RadioGroup.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace korvane;

namespace {

struct Shown {
    QString text;
    QString caption;
    MessageIcon icon;
};

QByteArray Lines(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines)
        out += toCp936(line) + "\r\n";
    return out;
}

const QByteArray Head = Lines({QStringLiteral("信道配置文件"), QStringLiteral("V1.0")});

QByteArray Record(const QString& channel, const QString& coding, const QString& rate,
                  const QString& source, const QString& edge, const QString& stopBits) {
    return Lines({channel, coding, rate, source, edge, stopBits});
}

// Channels 3, 5, 7, 9 and a last record 11 cut short after its rate line; delays for
// 3, 5 and 7 only.
QByteArray StandardFile() {
    return Head + Record("3", "POCSAG", "1200", text::External, text::FallingEdge, "1") +
           Record("5", text::Sync, "6400", text::Internal, text::RisingEdge, "2") +
           Record("7", text::Async, "2400", text::External, text::FallingEdge, "1") +
           Record("9", text::Sync, "3200", text::External, text::FallingEdge, "2") +
           Lines({"11", text::Sync, "512"});
}
const QByteArray StandardDelays = "[DELAY]\r\n3=00000A\r\n5=0001F4\r\n7=ABCDEF\r\n";

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList Rows(const QTreeWidget* list) {
    QStringList rows;
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
        QStringList texts;
        for (int c = 0; c < list->columnCount(); ++c)
            texts << list->topLevelItem(r)->text(c);
        rows << texts.join(u'|');
    }
    return rows;
}

QStringList SelectedChannels(const QTreeWidget* list) {
    QStringList channels;
    for (const QTreeWidgetItem* item : list->selectedItems())
        channels << item->text(0);
    return channels;
}

QTreeWidgetItem* Row(const QTreeWidget* list, const QString& channel) {
    const QList<QTreeWidgetItem*> found = list->findItems(channel, Qt::MatchExactly, 0);
    return found.isEmpty() ? nullptr : found.first();
}

// The operator's click on a channel row.
void ClickRow(QTreeWidget* list, const QString& channel) {
    QTreeWidgetItem* item = Row(list, channel);
    QVERIFY2(item, qPrintable(channel));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

QList<int> Items(const ChannelDialog& d) {
    return {Child<RadioGroup>(d, "polarityGroup")->itemIndex(),
            Child<RadioGroup>(d, "portStateGroup")->itemIndex(),
            Child<RadioGroup>(d, "clockSourceGroup")->itemIndex(),
            Child<RadioGroup>(d, "clockEdgeGroup")->itemIndex()};
}

SelectChannelInput unassigned(const QString& model, const QString& file) {
    return {model, file, "-", "-", "-", "-", "-", ""};
}

} // namespace

class TestSelectChannel : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<Shown> m_shown;
    int m_files = 0;

    // A channel file (and, unless delays is null, its delay file) of its own.
    QString ChannelFile(const QByteArray& bytes, const QByteArray& delays = StandardDelays) {
        const QString base = m_dir.filePath(QStringLiteral("ch%1").arg(++m_files));
        WriteFile(base + ".chn", bytes);
        if (!delays.isNull())
            WriteFile(base + ".ini", delays);
        return base + ".chn";
    }

    // Shown without exec(), so that the test drives it like the operator would.
    std::unique_ptr<ChannelDialog> Open(const SelectChannelInput& input) {
        auto d = std::make_unique<ChannelDialog>(
            input, [this](const QString& text, const QString& caption, MessageIcon icon) {
                m_shown.append({text, caption, icon});
            });
        d->show();
        return d;
    }

private slots:
    void init() { m_shown.clear(); }

    // What a choice depends on: which item each group's first place stands for (the
    // group starts there), one whole row chosen at a time and never edited in place,
    // the delay shown but not typed, OK as the default button.
    void form() {
        ChannelDialog d(unassigned(text::ModelAB, {}));
        const std::pair<RadioGroup*, QString> groups[] = {
            {Child<RadioGroup>(d, "polarityGroup"), "正"},
            {Child<RadioGroup>(d, "portStateGroup"), "开"},
            {Child<RadioGroup>(d, "clockSourceGroup"), "内部"},
            {Child<RadioGroup>(d, "clockEdgeGroup"), "上升沿(正)"}};
        for (const auto& [group, first] : groups) {
            QCOMPARE(group->item(0)->text(), first);
            QCOMPARE(group->itemIndex(), 0);
        }
        QVERIFY(Child<QLineEdit>(d, "delayField")->isReadOnly());
        QCOMPARE(Child<QTreeWidget>(d, "channelList")->selectionMode(),
                 QAbstractItemView::SingleSelection);
        QCOMPARE(Child<QTreeWidget>(d, "channelList")->selectionBehavior(),
                 QAbstractItemView::SelectRows);
        QCOMPARE(Child<QTreeWidget>(d, "channelList")->editTriggers(),
                 QAbstractItemView::NoEditTriggers);
        QVERIFY(Child<QPushButton>(d, "okButton")->isDefault());
    }

    void list_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("header only") << Head << QStringList{};
        QTest::newRow("channels 3 and 7")
            << Head + Record("3", "POCSAG", "1200", "内部", "上升沿(正)", "1") +
                   Record("7", "同步", "6400", "外部", "下降沿(负)", "2")
            << QStringList{"3|POCSAG|1200|内部|上升沿(正)|1", "7|同步|6400|外部|下降沿(负)|2"};
        QTest::newRow("file order kept")
            << Head + Record("7", "POCSAG", "1200", "内部", "上升沿(正)", "1") +
                   Record("3", "POCSAG", "2400", "内部", "上升沿(正)", "1")
            << QStringList{"7|POCSAG|1200|内部|上升沿(正)|1", "3|POCSAG|2400|内部|上升沿(正)|1"};
        QTest::newRow("empty coding dropped")
            << Head + Record("1", "", "1200", "内部", "上升沿(正)", "1") +
                   Record("2", "异步", "2400", "内部", "上升沿(正)", "1")
            << QStringList{"2|异步|2400|内部|上升沿(正)|1"};
        QTest::newRow("record cut short")
            << StandardFile()
            << QStringList{"3|POCSAG|1200|外部|下降沿(负)|1", "5|同步|6400|内部|上升沿(正)|2",
                           "7|异步|2400|外部|下降沿(负)|1", "9|同步|3200|外部|下降沿(负)|2",
                           "11|同步|512|||"};
    }
    void list() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, rows);
        auto d = Open(unassigned(text::ModelAB, ChannelFile(file)));
        QCOMPARE(Rows(Child<QTreeWidget>(d, "channelList")), rows);
        QVERIFY(Child<QTreeWidget>(d, "channelList")->selectedItems().isEmpty());
        QVERIFY(m_shown.isEmpty());
    }

    void syncPortPreselected() {
        const SelectChannelInput port{
            text::ModelAB,  ChannelFile(StandardFile()), "5",     text::Negative, text::Off,
            text::External, text::FallingEdge,           "0001F4"};
        auto d = Open(port);
        QCOMPARE(SelectedChannels(Child<QTreeWidget>(d, "channelList")), QStringList{"5"});
        QCOMPARE(Child<QTreeWidget>(d, "channelList")->currentItem(),
                 Row(Child<QTreeWidget>(d, "channelList"), "5"));
        QCOMPARE(d->focusWidget(), Child<QTreeWidget>(d, "channelList"));
        QCOMPARE(Child<QLineEdit>(d, "delayField")->text(), QStringLiteral("0001F4"));
        QVERIFY(Child<QLineEdit>(d, "delayField")->isEnabled());
        QVERIFY(Child<QLabel>(d, "delayLabel")->isEnabled());
        // The port's own values win over the row's 内部 and 上升沿(正).
        QCOMPARE(Items(*d), (QList<int>{1, 1, 1, 1}));
        QVERIFY(Child<RadioGroup>(d, "clockSourceGroup")->isEnabled());
        QCOMPARE(Child<QLineEdit>(d, "stopBitsField")->text(), QString());

        Child<QPushButton>(d, "okButton")->click();
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QVERIFY(!d->isVisible());
        QVERIFY(m_shown.isEmpty());
        const ChannelChoice c = d->choice();
        QCOMPARE(c.channel, QStringLiteral("5"));
        QCOMPARE(c.coding, text::Sync);
        QCOMPARE(c.rate, QStringLiteral("6400"));
        QCOMPARE(c.polarity, text::Negative);
        QCOMPARE(c.portState, text::Off);
        QCOMPARE(c.clockSource, text::External);
        QCOMPARE(c.clockEdge, text::FallingEdge);
        QCOMPARE(c.delay, QStringLiteral("0001F4"));
        QCOMPARE(c.stopBits, QString());
    }

    void channelTextMatchedExactly() {
        const SelectChannelInput port{
            text::ModelAB,  ChannelFile(StandardFile()), "05", text::Negative, text::Off,
            text::External, text::FallingEdge,           ""};
        auto d = Open(port);
        QVERIFY(Child<QTreeWidget>(d, "channelList")->selectedItems().isEmpty());
        QCOMPARE(Child<QLineEdit>(d, "delayField")->text(), QStringLiteral("0"));
        QCOMPARE(Items(*d), (QList<int>{1, 1, 1, 1}));
    }

    void pocsagPortTakesRowClockSource() {
        const SelectChannelInput port{text::ModelAB,
                                      ChannelFile(StandardFile()),
                                      "3",
                                      text::Positive,
                                      text::On,
                                      text::None,
                                      text::RisingEdge,
                                      "00000A"};
        auto d = Open(port);
        QCOMPARE(SelectedChannels(Child<QTreeWidget>(d, "channelList")), QStringList{"3"});
        QCOMPARE(Child<RadioGroup>(d, "clockSourceGroup")->itemText(),
                 text::External); // from the row
        QCOMPARE(Child<RadioGroup>(d, "clockEdgeGroup")->itemText(),
                 text::RisingEdge); // from the port
        QVERIFY(!Child<RadioGroup>(d, "clockSourceGroup")->isEnabled());
        QCOMPARE(Child<QLineEdit>(d, "delayField")->text(), QStringLiteral("00000A"));
    }

    void unassignedPortSelectsNothing() {
        auto d = Open(unassigned(text::ModelAB, ChannelFile(StandardFile())));
        QVERIFY(Child<QTreeWidget>(d, "channelList")->selectedItems().isEmpty());
        QCOMPARE(Items(*d), (QList<int>{0, 0, 0, 0}));

        Child<QPushButton>(d, "okButton")->click();
        QCOMPARE(m_shown.size(), 1);
        QCOMPARE(m_shown[0].text, QStringLiteral("请选择对应的信道。"));
        QCOMPARE(m_shown[0].caption, QStringLiteral("Korvane"));
        QCOMPARE(m_shown[0].icon, MessageIcon::Error);
        QVERIFY(d->isVisible());
        QCOMPARE(d->result(), int(QDialog::Rejected));

        // The operator then picks a row and confirms.
        ClickRow(Child<QTreeWidget>(d, "channelList"), "9");
        QCOMPARE(SelectedChannels(Child<QTreeWidget>(d, "channelList")), QStringList{"9"});
        QCOMPARE(Child<QLineEdit>(d, "delayField")->text(),
                 QStringLiteral("000000")); // no key for 9
        QCOMPARE(Child<QLineEdit>(d, "stopBitsField")->text(), QStringLiteral("2"));
        Child<QPushButton>(d, "okButton")->click();
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(d->choice().channel, QStringLiteral("9"));
        QCOMPARE(d->choice().rate, QStringLiteral("3200"));
        QCOMPARE(d->choice().stopBits, QStringLiteral("2"));
        QCOMPARE(m_shown.size(), 1);
    }

    void delayFieldByModel_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("KORVANEA/B") << text::ModelAB << true;
        QTest::newRow("KORVANE") << text::ModelSingle << false;
        QTest::newRow("not identified") << text::ModelUnknown << false;
    }
    void delayFieldByModel() {
        QFETCH(QString, model);
        QFETCH(bool, enabled);
        auto d = Open(unassigned(model, ChannelFile(StandardFile())));
        QCOMPARE(Child<QLineEdit>(d, "delayField")->isEnabled(), enabled);
        QCOMPARE(Child<QLabel>(d, "delayLabel")->isEnabled(), enabled);
        ClickRow(Child<QTreeWidget>(d, "channelList"), "7");
        QCOMPARE(Child<QLineEdit>(d, "delayField")->text(), QStringLiteral("ABCDEF"));
        // Enter in the list confirms like "确定".
        QTest::keyClick(Child<QTreeWidget>(d, "channelList"), Qt::Key_Return);
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(d->choice().delay, QStringLiteral("ABCDEF"));
        QCOMPARE(d->choice().coding, text::Async);
        QCOMPARE(d->choice().stopBits, QStringLiteral("1"));
    }

    void selectingRows() {
        auto d = Open(unassigned(text::ModelAB, ChannelFile(StandardFile())));
        ClickRow(Child<QTreeWidget>(d, "channelList"), "5");
        QVERIFY(Child<RadioGroup>(d, "clockSourceGroup")->isEnabled());
        QCOMPARE(Child<RadioGroup>(d, "clockSourceGroup")->itemText(), text::Internal);
        QCOMPARE(Child<RadioGroup>(d, "clockEdgeGroup")->itemText(), text::RisingEdge);

        ClickRow(Child<QTreeWidget>(d, "channelList"), "3");
        QVERIFY(!Child<RadioGroup>(d, "clockSourceGroup")->isEnabled()); // POCSAG
        QCOMPARE(Child<RadioGroup>(d, "clockSourceGroup")->itemText(), text::External);
        QCOMPARE(Child<RadioGroup>(d, "clockEdgeGroup")->itemText(), text::FallingEdge);
        QCOMPARE(Child<QLineEdit>(d, "stopBitsField")->text(), QStringLiteral("1"));

        ClickRow(Child<QTreeWidget>(d, "channelList"), "7");
        QVERIFY(!Child<RadioGroup>(d, "clockSourceGroup")
                     ->isEnabled()); // only 同步 has a choice of clock

        // The short record has no clock values: the groups keep what they show.
        ClickRow(Child<QTreeWidget>(d, "channelList"), "11");
        QVERIFY(Child<RadioGroup>(d, "clockSourceGroup")->isEnabled());
        QCOMPARE(Child<RadioGroup>(d, "clockSourceGroup")->itemText(), text::External);
        QCOMPARE(Child<RadioGroup>(d, "clockEdgeGroup")->itemText(), text::FallingEdge);
        QCOMPARE(Child<QLineEdit>(d, "stopBitsField")->text(), QString());
        QCOMPARE(Child<QLineEdit>(d, "delayField")->text(), QStringLiteral("000000"));

        // The operator's own choices go into the result.
        Child<RadioGroup>(d, "polarityGroup")->item(1)->click();
        Child<RadioGroup>(d, "clockSourceGroup")->item(0)->click();
        Child<QLineEdit>(d, "stopBitsField")->setText("1.5");
        Child<QPushButton>(d, "okButton")->click();
        const ChannelChoice c = d->choice();
        QCOMPARE(c.channel, QStringLiteral("11"));
        QCOMPARE(c.rate, QStringLiteral("512"));
        QCOMPARE(c.polarity, text::Negative);
        QCOMPARE(c.portState, text::On);
        QCOMPARE(c.clockSource, text::Internal);
        QCOMPARE(c.clockEdge, text::FallingEdge);
        QCOMPARE(c.stopBits, QStringLiteral("1.5"));
    }

    void doubleClickConfirms() {
        auto d = Open(unassigned(text::ModelAB, ChannelFile(StandardFile())));
        QTreeWidgetItem* item = Row(Child<QTreeWidget>(d, "channelList"), "5");
        QVERIFY(item);
        // The events of a real double-click: the second press comes before the
        // double-click event, which on its own does not reach the item.
        QWidget* viewport = Child<QTreeWidget>(d, "channelList")->viewport();
        const QPoint at = Child<QTreeWidget>(d, "channelList")->visualItemRect(item).center();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(d->choice().channel, QStringLiteral("5"));
    }

    void cancel_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("取消") << false;
        QTest::newRow("Escape") << true;
    }
    void cancel() {
        QFETCH(bool, escape);
        const SelectChannelInput port{
            text::ModelAB,  ChannelFile(StandardFile()), "5", text::Negative, text::Off,
            text::External, text::FallingEdge,           ""};
        auto d = Open(port);
        QSignalSpy rejected(d.get(), &QDialog::rejected);
        if (escape)
            QTest::keyClick(Child<QTreeWidget>(d, "channelList"), Qt::Key_Escape);
        else
            QTest::mouseClick(Child<QPushButton>(d, "cancelButton"), Qt::LeftButton);
        QCOMPARE(rejected.size(), 1);
        QCOMPARE(d->result(), int(QDialog::Rejected));
        QVERIFY(!d->isVisible());
        QVERIFY(m_shown.isEmpty());
    }

    void missingChannelFile() {
        const QString path = m_dir.filePath("missing.chn");
        const SelectChannelInput port{text::ModelAB,     path,      "5",
                                      text::Negative,    text::Off, text::External,
                                      text::FallingEdge, ""};
        auto d = Open(port);
        QCOMPARE(m_shown.size(), 1);
        QCOMPARE(m_shown[0].caption, QCoreApplication::applicationName());
        QCOMPARE(m_shown[0].icon, MessageIcon::Error);
        QVERIFY2(m_shown[0].text.contains(path), qPrintable(m_shown[0].text));
        QVERIFY(m_shown[0].text.endsWith(u'.') || m_shown[0].text.endsWith(u'。'));
        QCOMPARE(Child<QTreeWidget>(d, "channelList")->topLevelItemCount(), 0);
        // The rest of the opening still runs: the port's own values, no delay yet.
        QCOMPARE(Items(*d), (QList<int>{1, 1, 1, 1}));
        QCOMPARE(Child<QLineEdit>(d, "delayField")->text(), QStringLiteral("0"));

        Child<QPushButton>(d, "okButton")->click();
        QCOMPARE(m_shown.size(), 2);
        QCOMPARE(m_shown[1].text, QStringLiteral("请选择对应的信道。"));
        QVERIFY(d->isVisible());
    }

    void missingDelayFile() {
        const QString file = ChannelFile(StandardFile(), QByteArray());
        auto d = Open({text::ModelAB, file, "5", "-", "-", "-", "-", ""});
        QCOMPARE(SelectedChannels(Child<QTreeWidget>(d, "channelList")), QStringList{"5"});
        QCOMPARE(Child<QLineEdit>(d, "delayField")->text(), QStringLiteral("000000"));
        QVERIFY(m_shown.isEmpty());
    }

    void readAfreshAtEachOpening() {
        const QString file = ChannelFile(Head + Record("3", "POCSAG", "1200", "", "", "1"));
        auto d = Open(unassigned(text::ModelAB, file));
        QCOMPARE(Rows(Child<QTreeWidget>(d, "channelList")), QStringList{"3|POCSAG|1200|-|-|1"});
        d->reject();
        WriteFile(file, Head + Record("4", "POCSAG", "2400", "", "", "1"));
        d->show();
        QCOMPARE(Rows(Child<QTreeWidget>(d, "channelList")), QStringList{"4|POCSAG|2400|-|-|1"});
    }

    void inputFromPortRow() {
        DeviceConfiguration config;
        config.deviceModel = text::ModelSingle;
        config.channelFileName = "/x/ch.chn";
        const PortEntry port{"4", "12", "POCSAG", "1200", "-", "下降沿(负)", "负", "关", "0A", ""};
        const SelectChannelInput in = SelectChannelInput::from(config, port);
        QCOMPARE(in.deviceModel, text::ModelSingle);
        QCOMPARE(in.channelFileName, QStringLiteral("/x/ch.chn"));
        QCOMPARE(in.channel, QStringLiteral("12"));
        QCOMPARE(in.polarity, text::Negative);
        QCOMPARE(in.portState, text::Off);
        QCOMPARE(in.clockSource, text::None);
        QCOMPARE(in.clockEdge, text::FallingEdge);
        QCOMPARE(in.delay, QStringLiteral("0A"));
    }
};

QTEST_MAIN(TestSelectChannel)
#include "test_channel_dialog.moc"
