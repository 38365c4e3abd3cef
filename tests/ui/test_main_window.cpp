// SPDX-License-Identifier: MIT
// The main window without device traffic: start-up, labels, keys, the port list's
// own actions and the trunk dialog.

#include "config/DisplayTexts.h"
#include "tests/support/Child.h"
#include "tests/support/WindowFixture.h"
#include "ui/PortTableModel.h"
#include "ui/RadioGroup.h"
#include "ui/TrunkGpsDialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTreeView>
#include <QtTest>

using namespace korvane;
using namespace korvane::test;

namespace {

QColor background(QLabel* label) {
    return label->palette().color(QPalette::Window);
}

void selectRows(QTreeView* view, const QList<int>& rows) {
    view->clearSelection();
    for (int r : rows)
        view->selectionModel()->select(view->model()->index(r, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

struct TrunkDialogCase {
    const char* name;
    QString model;
    std::function<void(QWidget*)> act;
    GpsParams gps;
    TrunkParams trunk;
    QString label;
    QStringList messages;
    bool trunkRefreshed;
    // The labels' look afterwards: a flag never set shows the form design, the
    // refreshed look.
    bool looksRefreshed;
};

void clickOk(QWidget* d) {
    d->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
}

void delayOfMinus5(QWidget* d) {
    d->findChild<QCheckBox*>(QStringLiteral("trunkDelayCheck"))->click();
    d->findChild<QLineEdit*>(QStringLiteral("delayCyclesAField"))->setText(QStringLiteral("-5"));
    clickOk(d);
}

const std::vector<TrunkDialogCase>& TrunkDialogCases() {
    static const std::vector<TrunkDialogCase> cases = {
        {"OK",
         text::ModelUnknown,
         [](QWidget* d) {
             d->findChild<QCheckBox*>(QStringLiteral("gpsCheck"))->click();
             d->findChild<QAbstractButton*>(QStringLiteral("gpsNegativeRadio"))->click();
             d->findChild<RadioGroup*>(QStringLiteral("trunkPortGroup"))->item(2)->click();
             d->findChild<RadioGroup*>(QStringLiteral("carrierLevelGroup"))->item(1)->click();
             clickOk(d);
         },
         GpsParams{1, 1},
         TrunkParams{2, 0, 0, 1, 0, 0, 0},
         QStringLiteral("GPS:允许 GPS极性:负  干线延时:禁止   干线口:TB   时钟极性:正   "
                        "数据极性:正   载波电平:低 "),
         {},
         false,
         false},
        {"Cancel",
         text::ModelUnknown,
         [](QWidget* d) {
             d->findChild<QCheckBox*>(QStringLiteral("gpsCheck"))->click();
             d->findChild<QCheckBox*>(QStringLiteral("trunkDelayCheck"))->click();
             QTest::keyClick(d, Qt::Key_Escape);
         },
         GpsParams{},
         TrunkParams{},
         QStringLiteral("干线"),
         {},
         false,
         true},
        {"delay with no model known",
         text::ModelUnknown,
         delayOfMinus5,
         GpsParams{},
         TrunkParams{0, 0, 0, 0, 1, -5, 0},
         QStringLiteral("干线"),
         {QStringLiteral("Korvane 版本错误！.")},
         false,
         true},
        {"delay with the model known",
         text::ModelSingle,
         delayOfMinus5,
         GpsParams{},
         TrunkParams{0, 0, 0, 0, 1, -5, 0},
         QStringLiteral("GPS:禁止   干线延时:允许 延时周期：-5   干线口:自动   时钟极性:正   "
                        "数据极性:正   载波电平:高 "),
         {},
         false,
         false},
    };
    return cases;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    // Only a port that cannot exist: every other setting takes its start value, and no
    // real serial device is ever touched.
    void startWithOnlyAPortName() {
        WindowFixture f(QStringLiteral("[Setting]\r\nCommName=/dev/korvane-no-such-port\r\n"));
        MainWindow& w = *f.window;
        const SerialPort& comm = w.transport().comm();
        QCOMPARE(comm.baudRate(), 9600u);
        QCOMPARE(comm.byteSize(), DataBits::_8);
        QCOMPARE(comm.parity(), ParityMode::None);
        QCOMPARE(comm.stopBits(), StopBitsMode::_1);
        QVERIFY(!w.isDebug());
        QVERIFY(w.config().channelFileName.isEmpty());
        QVERIFY(w.config().ports.isEmpty()); // filled when shown
        f.Show();
        QCOMPARE(w.config().ports.size(), 24);
        QCOMPARE(Child<QTreeView>(w, "portList")->model()->rowCount(), 24);
        QCOMPARE(Child<QTreeView>(w, "portList")->model()->index(23, 0).data().toString(),
                 QStringLiteral("24"));
        QCOMPARE(Child<QTreeView>(w, "portList")->model()->index(0, 1).data().toString(),
                 QStringLiteral("-"));
        QCOMPARE(Child<QLineEdit>(w, "serialNumberField")->text(), QStringLiteral("00000001"));
        QCOMPARE(Child<QLineEdit>(w, "addressField")->text(), QStringLiteral("000001"));
        QVERIFY(Child<QLineEdit>(w, "serialNumberField")->isReadOnly());
        QVERIFY(Child<QLabel>(w, "modelLabel")->text().isEmpty());
        QCOMPARE(Child<QLabel>(w, "refreshLabel")->text(), QStringLiteral("已刷新"));
        QCOMPARE(Child<QLabel>(w, "trunkSummaryLabel")->text(), QStringLiteral("干线"));
        QCOMPARE(background(Child<QLabel>(w, "trunkSummaryLabel")), QColor(255, 255, 0));
        QVERIFY(Child<QCheckBox>(w, "channelDelayCheck")->isChecked());
        QVERIFY(!Child<QLineEdit>(w, "deviceNameField")->isEnabled());
        QVERIFY(!Child<QComboBox>(w, "stationCombo")->isEnabled());
        QVERIFY(!comm.isOpen());
        QCOMPARE(Child<QLabel>(w, "portLabel")->text(), QStringLiteral("断开"));
        QCOMPARE(f.Texts(), QStringList({QStringLiteral("Error opening serial port.")}));
        QCOMPARE(f.messages[0].caption, QCoreApplication::applicationName());
        QCOMPARE(f.messages[0].icon, MessageIcon::Error);
    }

    // The window's own box, without a presenter: the fixed message, and below it the
    // reason and what to try.
    void openFailureBoxSaysWhyAndWhatToTry() {
        QTemporaryDir dir;
        const QString start = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const auto restore = qScopeGuard([&] { QDir::setCurrent(start); });
        QFile settings(dir.filePath(QStringLiteral("KORVANE.INI")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[Setting]\r\nCommName=/dev/korvane-no-such-port\r\n");
        settings.close();
        QString text;
        QStringList further;
        const auto shown = WhenModal([&](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                text = box->text();
                further = box->informativeText().split(u'\n');
            }
            w->close();
        });
        MainWindow window;
        QVERIFY(*shown);
        QCOMPARE(text, QStringLiteral("Error opening serial port."));
        QCOMPARE(further.size(), 2);
        QVERIFY2(further[0].startsWith(QStringLiteral("找不到端口 /dev/korvane-no-such-port（")),
                 qPrintable(further[0]));
        QCOMPARE(further[1], QStringLiteral("请插上串口适配器，或选择另一个端口。"));
    }

    // The keys in any case; a port that does not open does not stop the rest.
    void settingsTakenPastAPortError() {
        WindowFixture f(
            QStringLiteral("[setting]\r\ncommname=/dev/korvane-no-such-port\r\nParity=3\r\n"
                           "ChannelFile=C:\\chn\\a.chn\r\n"));
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.window->config().channelFileName, QStringLiteral("C:\\chn\\a.chn"));
        QCOMPARE(f.window->transport().comm().parity(), ParityMode::Mark);
    }

    void openPortAtStart() {
        WindowFixture f(
            QStringLiteral("[Setting]\r\nCommName={PTY}\r\nBaudRate=19200\r\nByteSize=2\r\n"
                           "Parity=2\r\nStopBits=2\r\ndebug=1\r\n"));
        QVERIFY(f.messages.isEmpty());
        QVERIFY(f.window->isDebug());
        QVERIFY(f.window->transport().debug());
        f.Show();
        QCOMPARE(Child<QLabel>(f.window, "portLabel")->text(),
                 f.port + QStringLiteral(" 19200-7-E-2"));
    }

    void hexKeysOnlyInUpperCase() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        Child<QLineEdit>(w, "addressField")->clear();
        Child<QLineEdit>(w, "addressField")->setFocus();
        QTest::keyClicks(Child<QLineEdit>(w, "addressField"), QStringLiteral("aG-1 f"));
        QCOMPARE(Child<QLineEdit>(w, "addressField")->text(), QStringLiteral("A1F"));
        QTest::keyClick(Child<QLineEdit>(w, "addressField"), Qt::Key_Backspace);
        QCOMPARE(Child<QLineEdit>(w, "addressField")->text(), QStringLiteral("A1"));
        QTest::keyClicks(Child<QLineEdit>(w, "addressField"), QStringLiteral("23456789"));
        QCOMPARE(Child<QLineEdit>(w, "addressField")->text(),
                 QStringLiteral("A12345")); // six characters at most

        // The serial number is read-only until remote control is stated.
        QTest::keyClicks(Child<QLineEdit>(w, "serialNumberField"), QStringLiteral("9"));
        QCOMPARE(Child<QLineEdit>(w, "serialNumberField")->text(), QStringLiteral("00000001"));
        Child<QCheckBox>(w, "remoteControlCheck")->click();
        QVERIFY(w.config().controlMode);
        QVERIFY(!Child<QLineEdit>(w, "serialNumberField")->isReadOnly());
        Child<QLineEdit>(w, "serialNumberField")->clear();
        QTest::keyClicks(Child<QLineEdit>(w, "serialNumberField"), QStringLiteral("123456789b"));
        QCOMPARE(Child<QLineEdit>(w, "serialNumberField")->text(), QStringLiteral("12345678"));
        Child<QCheckBox>(w, "remoteControlCheck")->click();
        QVERIFY(!w.config().controlMode);
        QVERIFY(Child<QLineEdit>(w, "serialNumberField")->isReadOnly());
    }

    void leavingFieldsSetsNumbers() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        Child<QLineEdit>(w, "addressField")->setFocus();
        Child<QLineEdit>(w, "addressField")->setText(QStringLiteral("000042"));
        QCOMPARE(w.config().info.address, 1u); // not yet: the field still has the focus
        Child<QPushButton>(w, "readButton")->setFocus();
        QTRY_COMPARE(w.config().info.address, 42u);
        Child<QLineEdit>(w, "serialNumberField")->setFocus();
        Child<QLineEdit>(w, "serialNumberField")->setText(QStringLiteral("ABC"));
        Child<QLineEdit>(w, "addressField")->setFocus();
        QTRY_COMPARE(w.config().info.serialNumber, 0u);
    }

    // Refused while busy: the busy guard's own test.
    void escapeClosesWhenIdle() {
        WindowFixture f;
        f.Show();
        QTest::keyClick(f.window.get(), Qt::Key_Escape);
        QVERIFY(!f.window->isVisible());
    }

    void unassignSelectedRows() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        w.config().ports[1].channel = QStringLiteral("3");
        w.config().ports[4].channel = QStringLiteral("4");
        w.config().ports[4].remark = text::Added;
        w.config().setPorts(w.config().ports);
        QCOMPARE(Child<QTreeView>(w, "portList")
                     ->model()
                     ->index(4, 0)
                     .data(Qt::BackgroundRole)
                     .value<QColor>(),
                 QColor(255, 0, 0));
        QCOMPARE(Child<QTreeView>(w, "portList")
                     ->model()
                     ->index(4, 3)
                     .data(Qt::ForegroundRole)
                     .value<QColor>(),
                 QColor(Qt::white));

        Child<QPushButton>(w, "deleteButton")->click(); // nothing selected: nothing happens
        QCOMPARE(Child<QLabel>(w, "refreshLabel")->text(), QStringLiteral("已刷新"));

        selectRows(Child<QTreeView>(w, "portList"), {1, 4});
        Child<QPushButton>(w, "deleteButton")->click();
        for (int row : {1, 4})
            for (int col = 1; col < PortEntry::FieldCount; ++col)
                QCOMPARE(
                    Child<QTreeView>(w, "portList")->model()->index(row, col).data().toString(),
                    QStringLiteral("-"));
        QCOMPARE(Child<QTreeView>(w, "portList")
                     ->model()
                     ->index(4, 0)
                     .data(Qt::BackgroundRole)
                     .value<QColor>(),
                 QColor(Qt::white));
        QCOMPARE(Child<QLabel>(w, "refreshLabel")->text(), QStringLiteral("未刷新"));
        QCOMPARE(Child<QLabel>(w, "refreshLabel")->palette().color(QPalette::WindowText),
                 QColor(Qt::red));
        QCOMPARE(w.config().ports[1].portNumber, QStringLiteral("2"));
    }

    void doubleClickWithoutChannelFile() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        w.onPortListDoubleClicked(); // no row selected: nothing
        QVERIFY(f.messages.isEmpty());
        selectRows(Child<QTreeView>(w, "portList"), {3});
        w.onPortListDoubleClicked();
        QCOMPARE(f.Texts(), QStringList({QStringLiteral("Please Load Channel Config File!")}));
        QCOMPARE(f.messages[0].caption, text::CaptionKorvane);
        QCOMPARE(f.messages[0].icon, MessageIcon::Information);
    }

    // The captions name the columns in the order the rows are filled.
    void columnCaptions() {
        WindowFixture f;
        const QStringList captions{"端口",        "通道",     "编码类型", "速率", "时钟源",
                                   "时钟沿(PTT)", "数据极性", "端口状态", "延时", "备注"};
        for (int c = 0; c < captions.size(); ++c)
            QCOMPARE(Child<QTreeView>(f.window, "portList")
                         ->model()
                         ->headerData(c, Qt::Horizontal)
                         .toString(),
                     captions[c]);
    }

    // OK takes the values, shows the summary and marks both flags changed; Cancel
    // changes nothing; with the trunk delay on and no model known, the summary fails:
    // the values are taken, the label keeps its text and colours and the flags stay.
    // Each starts where the window can be: with no model known nothing has set a flag,
    // with one known a read has set them.
    void trunkDialog_data() {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < TrunkDialogCases().size(); ++i)
            QTest::newRow(TrunkDialogCases()[i].name) << static_cast<int>(i);
    }
    void trunkDialog() {
        QFETCH(int, index);
        const TrunkDialogCase& c = TrunkDialogCases()[static_cast<std::size_t>(index)];
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        w.config().deviceModel = c.model;
        if (c.model != text::ModelUnknown)
            w.config().setRefreshed(true);
        w.config().pocsagDelay = 300;
        QString shownDelay;
        const auto shown = WhenModal([&](QWidget* d) {
            QVERIFY(qobject_cast<TrunkGpsDialog*>(d));
            shownDelay = d->findChild<QLineEdit*>(QStringLiteral("pocsagDelayField"))->text();
            c.act(d);
        });
        w.onTrunkSummaryClicked();
        QVERIFY(*shown);
        QCOMPARE(shownDelay, QStringLiteral("00012C"));
        QCOMPARE(w.config().gps, c.gps);
        QCOMPARE(w.config().trunk, c.trunk);
        QCOMPARE(w.config().pocsagDelay, 300);
        QCOMPARE(Child<QLabel>(w, "trunkSummaryLabel")->text(), c.label);
        QCOMPARE(f.Texts(), c.messages);
        for (const ShownMessage& m : f.messages)
            QCOMPARE(m.caption, QCoreApplication::applicationName());
        QCOMPARE(w.config().isTrunkRefreshed(), c.trunkRefreshed);
        QCOMPARE(w.config().isRefreshed(), c.trunkRefreshed);
        QCOMPARE(background(Child<QLabel>(w, "trunkSummaryLabel")),
                 c.looksRefreshed ? QColor(255, 255, 0) : QColor(Qt::red));
        QCOMPARE(Child<QLabel>(w, "refreshLabel")->text(),
                 c.looksRefreshed ? QStringLiteral("已刷新") : QStringLiteral("未刷新"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
