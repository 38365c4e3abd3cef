// SPDX-License-Identifier: MIT
// The main window talking to the simulator: reading, connecting, disconnecting, the
// port settings dialog, and the guard against a second device procedure.

#include "config/DisplayTexts.h"
#include "files/IniFile.h"
#include "link/CommandTransport.h"
#include "protocol/Commands.h"
#include "tests/support/Child.h"
#include "tests/support/WindowFixture.h"
#include "ui/PortSettingsDialog.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <functional>
#include <vector>

using namespace korvane;
using namespace korvane::test;

namespace {

const QString NoAnswer = QStringLiteral("请检查Korvane是否加电，连线是否连上，通讯端口是否设对？");
const QList<int> ReadCodes{0x08, 0x18, 0x28, 0x38, 0x48, 0x58};

QColor background(QLabel* label) {
    return label->palette().color(QPalette::Window);
}

void clickRow(QTreeView* view, int row, bool twice) {
    const QRect r = view->visualRect(view->model()->index(row, 0));
    if (twice)
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, r.center());
    else
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
}

// Every way the operator can start something, tried while a procedure runs.
struct EntryPoint {
    const char* name;
    std::function<void(MainWindow&)> use;
};

const std::vector<EntryPoint>& EntryPoints() {
    static const auto menu = [](const char* name) {
        return [name](MainWindow& w) {
            Child<QAction>(w, name)->trigger();
        };
    };
    static const auto button = [](const char* name) {
        return [name](MainWindow& w) {
            QTest::mouseClick(Child<QPushButton>(w, name), Qt::LeftButton);
        };
    };
    static const std::vector<EntryPoint> entries = {
        {"menu: port settings", menu("portSettingsAction")},
        {"menu: connect", menu("connectAction")},
        {"menu: disconnect", menu("disconnectAction")},
        {"menu: load configuration", menu("loadConfigurationAction")},
        {"menu: save configuration", menu("saveConfigurationAction")},
        {"menu: channel file", menu("openChannelFileAction")},
        {"menu: read", menu("readAction")},
        {"menu: write all", menu("writeAllAction")},
        {"menu: all trunk sections", menu("writeAllTrunkAction")},
        {"menu: GPS", menu("writeGpsAction")},
        {"menu: trunk delay", menu("writeTrunkDelayAction")},
        {"menu: trunk attributes", menu("writeTrunkAttributesAction")},
        {"menu: ports", menu("writePortsAction")},
        {"menu: schedule", menu("writeScheduleAction")},
        {"menu: address", menu("setAddressAction")},
        {"button: read", button("readButton")},
        {"button: write", button("writeButton")},
        {"button: address", button("setAddressButton")},
        {"button: port settings", button("portSettingsButton")},
        {"button: delete", button("deleteButton")},
        {"button: close", button("closeButton")},
        {"double-click on a port",
         [](MainWindow& w) {
             clickRow(Child<QTreeView>(w, "portList"), 2, true);
         }},
        {"click on the trunk label",
         [](MainWindow& w) {
             QTest::mouseClick(Child<QLabel>(w, "trunkSummaryLabel"), Qt::LeftButton);
         }},
        {"double-click on the device group",
         [](MainWindow& w) {
             QTest::mouseDClick(Child<QGroupBox>(w, "deviceInfoGroup"), Qt::LeftButton);
         }},
        {"context menu",
         [](MainWindow& w) {
             QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5),
                                 w.mapToGlobal(QPoint(5, 5)));
             QApplication::sendEvent(&w, &e);
         }},
        {"Escape",
         [](MainWindow& w) {
             QTest::keyClick(&w, Qt::Key_Escape);
         }},
        {"close",
         [](MainWindow& w) {
             w.close();
         }},
    };
    return entries;
}

} // namespace

class TestMainWindowDevice : public QObject {
    Q_OBJECT
private slots:
    void readFillsTheWindow_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("label");
        QTest::newRow("KORVANE") << int(sim::Model::Korvane) << text::ModelSingle;
        QTest::newRow("KORVANEA/B") << int(sim::Model::KorvaneAB) << text::ModelAB;
    }

    void readFillsTheWindow() {
        QFETCH(int, model);
        QFETCH(QString, label);
        WindowFixture f(QStringLiteral("[Setting]\r\nCommName={PTY}\r\n"),
                        ModelOptions(sim::Model(model)));
        f.Show();
        MainWindow& w = *f.window;
        w.config().setTrunkRefreshed(false);
        QCOMPARE(background(Child<QLabel>(w, "trunkSummaryLabel")), QColor(Qt::red));
        Child<QPushButton>(w, "readButton")->click();
        QVERIFY(f.messages.isEmpty());
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x28}) + ReadCodes);
        QCOMPARE(background(Child<QLabel>(w, "trunkSummaryLabel")), QColor(255, 255, 0));
        QCOMPARE(Child<QLabel>(w, "modelLabel")->text(), label);
        QCOMPARE(Child<QLineEdit>(w, "addressField")->text(), QStringLiteral("1"));
        QCOMPARE(Child<QLineEdit>(w, "addressAnswerField")->text(),
                 QStringLiteral("7E 08 01 00 00 7F "));
        QCOMPARE(Child<QLineEdit>(w, "serialNumberField")->text(),
                 QString::number(f.sim.state().serialNumber));
        QCOMPARE(Child<QTreeView>(w, "portList")->model()->rowCount(), 24);
        const QString firstDelay =
            Child<QTreeView>(w, "portList")->model()->index(0, 8).data().toString();
        QCOMPARE(firstDelay.size(), label == text::ModelAB ? 6 : 0);
        QVERIFY(
            Child<QLabel>(w, "trunkSummaryLabel")->text().startsWith(QStringLiteral("GPS:允许")));
        QCOMPARE(Child<QLabel>(w, "refreshLabel")->text(), QStringLiteral("已刷新"));
        QVERIFY(Child<QGroupBox>(w, "portTableGroup")->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor());

        // The menu entry reads again, without a probe.
        f.sim.clearFrameLog();
        Child<QAction>(w, "readAction")->trigger();
        QCOMPARE(f.ReceivedCodes(), ReadCodes);
    }

    // A device switched off: as the first operation only the probe's error, through
    // the top-level handler; once identified, the read's error and the connect box.
    void connectToSilentDevice_data() {
        QTest::addColumn<bool>("identified");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("captions");
        QTest::newRow("before identification") << false << QStringList{NoAnswer + u'.'}
                                               << QStringList{QCoreApplication::applicationName()};
        QTest::newRow("after identification")
            << true << QStringList{NoAnswer, QStringLiteral("没有检测到Korvane")}
            << QStringList{QStringLiteral("通讯错误08"), text::CaptionKorvane};
    }
    void connectToSilentDevice() {
        QFETCH(bool, identified);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, captions);
        WindowFixture f;
        f.Show();
        if (identified)
            Child<QAction>(f.window, "connectAction")->trigger();
        QVERIFY(f.messages.isEmpty());
        f.sim.setFaults(sim::SimulatorFaults::fullySilent());
        Child<QAction>(f.window, "connectAction")->trigger();
        QCOMPARE(f.Texts(), texts);
        QStringList shownCaptions;
        for (const ShownMessage& m : f.messages)
            shownCaptions.append(m.caption);
        QCOMPARE(shownCaptions, captions);
        QCOMPARE(f.messages.last().icon, MessageIcon::Error);
        QVERIFY(Child<QGroupBox>(f.window, "portTableGroup")->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void connectReopensAfterDisconnect() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        Child<QAction>(w, "disconnectAction")->trigger();
        QVERIFY(!w.transport().comm().isOpen());
        QCOMPARE(Child<QLabel>(w, "portLabel")->text(), QStringLiteral("断开"));
        Child<QAction>(w, "connectAction")->trigger();
        QVERIFY(f.messages.isEmpty());
        QVERIFY(w.transport().comm().isOpen());
        QCOMPARE(Child<QLabel>(w, "portLabel")->text(), f.port + QStringLiteral(" 9600-8-N-1"));
    }

    // While a transaction waits, the event loop runs: no entry point may start a
    // second procedure, open a dialog or close the window meanwhile.
    void secondProcedureRefused_data() {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < EntryPoints().size(); ++i)
            QTest::newRow(EntryPoints()[i].name) << static_cast<int>(i);
    }
    void secondProcedureRefused() {
        QFETCH(int, index);
        sim::SimulatorOptions options;
        options.replyDelayMs = 0; // the action still spans a whole transaction
        WindowFixture f(QStringLiteral("[Setting]\r\nCommName={PTY}\r\n"), options);
        f.Show();
        MainWindow& w = *f.window;
        w.config().deviceModel = text::ModelSingle; // one transaction: no probe
        int chooserCalls = 0;
        w.setFileChooser([&](MainWindow::FileDialog, const QString&) {
            ++chooserCalls;
            return QString();
        });
        // Any dialog that does open is closed again, so that a fault fails, not hangs.
        const auto dialog = WhenModal([](QWidget* d) { d->close(); }, 3000);
        bool tried = false;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, &w, [&] {
            if (!w.isDeviceActionRunning())
                return;
            poll.stop();
            QVERIFY(!Child<QGroupBox>(w, "portTableGroup")->isEnabled());
            QVERIFY(QGuiApplication::overrideCursor());
            EntryPoints()[static_cast<std::size_t>(index)].use(w);
            tried = true;
        });
        poll.start();
        Child<QPushButton>(w, "setAddressButton")->click();
        QVERIFY(tried);
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x07, 0x08}));
        QCOMPARE(f.Texts(), QStringList({QStringLiteral("祝贺你，地址写入成功！")}));
        QCOMPARE(chooserCalls, 0);
        QVERIFY(!w.contextMenu()->isVisible());
        QVERIFY(!*dialog);
        QVERIFY(w.isVisible());
        QVERIFY(w.transport().comm().isOpen());
        QVERIFY(!w.isDeviceActionRunning());
        QVERIFY(Child<QGroupBox>(w, "portTableGroup")->isEnabled());
    }

    // The device goes away in the middle of a connect's read: the wait ends at once and
    // the operator sees the boxes of an unanswered read, the first with why the port
    // was lost; the window stays usable, and once the device is back a new connection
    // reads it.
    void deviceDisappearsDuringRead() {
        QTemporaryDir linkDir;
        sim::SimulatorOptions options;
        options.linkPath = linkDir.filePath(QStringLiteral("korvane"));
        options.replyDelayMs = 100;
        WindowFixture f(QStringLiteral("[Setting]\r\nCommName=") + options.linkPath +
                            QStringLiteral("\r\n"),
                        options);
        f.Show();
        MainWindow& w = *f.window;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, &w, [&] {
            if (f.sim.framesReceived().size() < 3)
                return;
            poll.stop();
            f.sim.stop();
        });
        poll.start();
        Child<QAction>(w, "connectAction")->trigger();
        QVERIFY(!f.sim.isRunning());
        QCOMPARE(f.Texts(), QStringList({NoAnswerText, QStringLiteral("没有检测到Korvane")}));
        QCOMPARE(f.messages[0].caption, QStringLiteral("通讯错误18"));
        QVERIFY2(f.messages[0].detail.contains(QStringLiteral("在使用中断开了")),
                 qPrintable(f.messages[0].detail));
        QCOMPARE(f.messages[1].caption, QStringLiteral("Korvane"));
        QCOMPARE(Child<QLabel>(w, "portLabel")->text(), QStringLiteral("断开"));
        QVERIFY(Child<QGroupBox>(w, "portTableGroup")->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(w.isVisible());

        f.messages.clear();
        QVERIFY(!f.sim.start(options).isEmpty());
        Child<QAction>(w, "disconnectAction")->trigger();
        Child<QAction>(w, "connectAction")->trigger();
        QVERIFY(f.messages.isEmpty());
        QCOMPARE(f.ReceivedCodes(), ReadCodes); // the model is known from before
        QCOMPARE(Child<QLabel>(w, "refreshLabel")->text(), QStringLiteral("已刷新"));
    }

    // The port settings dialog from the window: OK applies and stores the keys in
    // the order written; Cancel changes nothing; a bit rate that is no number is
    // refused with the conversion message and the dialog stays open; a port that will
    // not reopen is reported, its keys written all the same; mark parity from the
    // settings file shows no parity entry and is kept. "{PTY}" stands for the device's
    // port, "{OTHER}" for a second device's.
    void portDialog_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("shownParity");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("choice"); // data bits, stop bits and parity index; -1 keeps
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("stored"); // the keys after, "" for the file unchanged
        const QString unchanged = QStringLiteral("{PTY} 9600-8-N-1");
        QTest::newRow("OK") << "" << 0 << "{OTHER}"
                            << "57600" << 2 << "okButton" << QStringList{} << "{OTHER} 57600-7-E-2"
                            << "CommName={OTHER}\r\nBaudRate=57600\r\nByteSize=2\r\nParity=2\r\n"
                               "StopBits=2\r\n";
        QTest::newRow("Cancel") << "" << 0 << "/dev/korvane-no-such-port"
                                << "1200" << -1 << "cancelButton" << QStringList{} << unchanged
                                << "";
        QTest::newRow("rate with letters")
            << "" << 0 << "/dev/korvane-no-such-port"
            << "96k" << -1 << "okButton" << QStringList{"'96k' is not a valid integer value."}
            << unchanged << "";
        QTest::newRow("negative rate")
            << "" << 0 << "/dev/korvane-no-such-port"
            << "-9600" << -1 << "okButton" << QStringList{"Range check error."} << unchanged << "";
        QTest::newRow("empty rate")
            << "" << 0 << "/dev/korvane-no-such-port"
            << "" << -1 << "okButton" << QStringList{"'' is not a valid integer value."}
            << unchanged << "";
        QTest::newRow("reopen fails")
            << "" << 0 << "ttyKorvaneNone"
            << "9600" << -1 << "okButton" << QStringList{"Error opening serial port."} << "断开"
            << "CommName=ttyKorvaneNone\r\nBaudRate=9600\r\nByteSize=3\r\nParity=0\r\n"
               "StopBits=0\r\n";
        QTest::newRow("mark parity kept")
            << "Parity=3\r\n"
            << -1 << "{PTY}"
            << "9600" << -1 << "okButton" << QStringList{} << "{PTY} 9600-8-1"
            << "CommName={PTY}\r\nParity=3\r\nBaudRate=9600\r\nByteSize=3\r\nStopBits=0\r\n";
    }
    void portDialog() {
        QFETCH(QString, settings);
        QFETCH(int, shownParity);
        QFETCH(QString, port);
        QFETCH(QString, rate);
        QFETCH(int, choice);
        QFETCH(QString, button);
        QFETCH(QStringList, messages);
        QFETCH(QString, label);
        QFETCH(QString, stored);
        WindowFixture f(QStringLiteral("[Setting]\r\nCommName={PTY}\r\n") + settings);
        sim::SimulatorHost other;
        const QString otherPort = other.start();
        QVERIFY(!otherPort.isEmpty());
        const auto place = [&](QString text) {
            return text.replace(QStringLiteral("{PTY}"), f.port)
                .replace(QStringLiteral("{OTHER}"), otherPort);
        };
        f.Show();
        const QString before = f.settings();
        bool stayedOpen = false;
        const auto shown = WhenModal([&](QWidget* d) {
            const auto box = [d](const char* name) {
                return d->findChild<QComboBox*>(QLatin1String(name));
            };
            QCOMPARE(box("portCombo")->currentText(), f.port);
            QCOMPARE(box("baudRateCombo")->currentText(), QStringLiteral("9600"));
            QCOMPARE(box("dataBitsCombo")->currentIndex(), 3);
            QCOMPARE(box("parityCombo")->currentIndex(), shownParity);
            box("portCombo")->setCurrentText(place(port));
            box("baudRateCombo")->setCurrentText(rate);
            if (choice >= 0)
                for (const char* name : {"dataBitsCombo", "stopBitsCombo", "parityCombo"})
                    box(name)->setCurrentIndex(choice);
            d->findChild<QPushButton*>(button)->click();
            stayedOpen = d->isVisible();
            if (stayedOpen)
                d->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        });
        Child<QPushButton>(f.window, "portSettingsButton")->click();
        QVERIFY(*shown);
        QCOMPARE(stayedOpen, !messages.isEmpty() && label != QStringLiteral("断开"));
        QCOMPARE(f.Texts(), messages);
        QCOMPARE(Child<QLabel>(f.window, "portLabel")->text(), place(label));
        QCOMPARE(f.window->transport().comm().isOpen(), label != QStringLiteral("断开"));
        if (stored.isEmpty())
            QCOMPARE(f.settings(), before);
        else
            QCOMPARE(f.settings(), place(QStringLiteral("[Setting]\r\n") + stored));
    }

    // The settings file will not take the keys: that is shown, and the label still
    // describes the port as the dialog left it.
    void portLabelAfterFailedSettingsWrite() {
        WindowFixture f;
        sim::SimulatorHost other;
        const QString otherPort = other.start();
        QVERIFY(!otherPort.isEmpty());
        f.Show();
        // Too large for a settings file: it reads as empty and is never replaced.
        QFile ini(f.dir.filePath(QStringLiteral("KORVANE.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QByteArray(MaxSettingsFileSize + 1, ';'));
        ini.close();
        const auto shown = WhenModal([&](QWidget* d) {
            d->findChild<QComboBox*>(QStringLiteral("portCombo"))->setCurrentText(otherPort);
            d->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        });
        Child<QPushButton>(f.window, "portSettingsButton")->click();
        QVERIFY(*shown);
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(Child<QLabel>(f.window, "portLabel")->text(),
                 otherPort + QStringLiteral(" 9600-8-N-1"));
    }
};

QTEST_MAIN(TestMainWindowDevice)
#include "test_main_window_device.moc"
