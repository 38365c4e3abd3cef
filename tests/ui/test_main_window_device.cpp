// The main window talking to the simulator: reading, connecting, disconnecting, the
// port settings dialog, and the guard against a second device procedure.

#include "config/DisplayTexts.h"
#include "ui/PortSettingsDialog.h"
#include "tests/support/WindowFixture.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
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
    std::function<void(TfrmKorvane&)> use;
};

const std::vector<EntryPoint>& EntryPoints() {
    static const auto menu = [](QAction* TfrmKorvane::*entry) {
        return [entry](TfrmKorvane& w) {
            (w.*entry)->trigger();
        };
    };
    static const auto button = [](QPushButton* TfrmKorvane::*entry) {
        return [entry](TfrmKorvane& w) {
            QTest::mouseClick(w.*entry, Qt::LeftButton);
        };
    };
    static const std::vector<EntryPoint> entries = {
        {"menu: port settings", menu(&TfrmKorvane::N3)},
        {"menu: connect", menu(&TfrmKorvane::mConnect)},
        {"menu: disconnect", menu(&TfrmKorvane::mDisconnect)},
        {"menu: load configuration", menu(&TfrmKorvane::mLoadConfig)},
        {"menu: read", menu(&TfrmKorvane::N6)},
        {"menu: write all", menu(&TfrmKorvane::N5)},
        {"menu: all trunk sections", menu(&TfrmKorvane::N14)},
        {"menu: GPS", menu(&TfrmKorvane::GPS1)},
        {"menu: trunk delay", menu(&TfrmKorvane::N15)},
        {"menu: trunk attributes", menu(&TfrmKorvane::N16)},
        {"menu: ports", menu(&TfrmKorvane::N10)},
        {"menu: schedule", menu(&TfrmKorvane::N11)},
        {"menu: address", menu(&TfrmKorvane::N12)},
        {"button: read", button(&TfrmKorvane::btRead)},
        {"button: write", button(&TfrmKorvane::btWrite)},
        {"button: address", button(&TfrmKorvane::btSetAddress)},
        {"button: port settings", button(&TfrmKorvane::btSetPort)},
        {"button: delete", button(&TfrmKorvane::btDelete)},
        {"button: close", button(&TfrmKorvane::btClose)},
        {"double-click on a port",
         [](TfrmKorvane& w) {
             clickRow(w.ListView1, 2, true);
         }},
        {"context menu",
         [](TfrmKorvane& w) {
             QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5),
                                 w.mapToGlobal(QPoint(5, 5)));
             QApplication::sendEvent(&w, &e);
         }},
        {"Escape",
         [](TfrmKorvane& w) {
             QTest::keyClick(&w, Qt::Key_Escape);
         }},
        {"close",
         [](TfrmKorvane& w) {
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
        TfrmKorvane& w = *f.Window;
        w.Config().SetTrunkRefreshed(false);
        QCOMPARE(background(w.Label13), QColor(Qt::red));
        w.btRead->click();
        QVERIFY(f.Messages.isEmpty());
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x28}) + ReadCodes);
        QCOMPARE(background(w.Label13), QColor(255, 255, 0));
        QCOMPARE(w.labVer->text(), label);
        QCOMPARE(w.edAddress->text(), QStringLiteral("1"));
        QCOMPARE(w.Edit2->text(), QStringLiteral("7E 08 01 00 00 7F "));
        QCOMPARE(w.edID->text(), QString::number(f.Sim.state().serialNumber));
        QCOMPARE(w.ListView1->model()->rowCount(), 24);
        const QString firstDelay = w.ListView1->model()->index(0, 8).data().toString();
        QCOMPARE(firstDelay.size(), label == text::ModelAB ? 6 : 0);
        QVERIFY(w.Label13->text().startsWith(QStringLiteral("GPS:允许")));
        QCOMPARE(w.Label8->text(), QStringLiteral("已刷新"));
        QVERIFY(w.GroupBox1->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor());

        // The menu entry reads again, without a probe.
        f.Sim.clearFrameLog();
        w.N6->trigger();
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
            f.Window->mConnect->trigger();
        QVERIFY(f.Messages.isEmpty());
        f.Sim.setFaults(sim::SimulatorFaults::Silent());
        f.Window->mConnect->trigger();
        QCOMPARE(f.Texts(), texts);
        QStringList shownCaptions;
        for (const ShownMessage& m : f.Messages)
            shownCaptions.append(m.Caption);
        QCOMPARE(shownCaptions, captions);
        QCOMPARE(f.Messages.last().Icon, MessageIcon::Error);
        QVERIFY(f.Window->GroupBox1->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void connectReopensAfterDisconnect() {
        WindowFixture f;
        f.Show();
        TfrmKorvane& w = *f.Window;
        w.mDisconnect->trigger();
        QVERIFY(!w.Transport().Comm().IsOpen());
        QCOMPARE(w.lbPort->text(), QStringLiteral("断开"));
        w.mConnect->trigger();
        QVERIFY(f.Messages.isEmpty());
        QVERIFY(w.Transport().Comm().IsOpen());
        QCOMPARE(w.lbPort->text(), f.Port + QStringLiteral(" 9600-8-N-1"));
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
        TfrmKorvane& w = *f.Window;
        w.Config().DeviceModel = text::ModelSingle; // one transaction: no probe
        int chooserCalls = 0;
        w.SetFileChooser([&](TfrmKorvane::FileDialog, const QString&) {
            ++chooserCalls;
            return QString();
        });
        // Any dialog that does open is closed again, so that a fault fails, not hangs.
        const auto dialog = WhenModal([](QWidget* d) { d->close(); }, 3000);
        bool tried = false;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, &w, [&] {
            if (!w.IsDeviceActionRunning())
                return;
            poll.stop();
            QVERIFY(!w.GroupBox1->isEnabled());
            QVERIFY(QGuiApplication::overrideCursor());
            EntryPoints()[static_cast<std::size_t>(index)].use(w);
            tried = true;
        });
        poll.start();
        w.btSetAddress->click();
        QVERIFY(tried);
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x07}));
        QCOMPARE(f.Texts(), QStringList({QStringLiteral("祝贺你，地址写入成功！")}));
        QCOMPARE(chooserCalls, 0);
        QVERIFY(!w.PopupMenu()->isVisible());
        QVERIFY(!*dialog);
        QVERIFY(w.isVisible());
        QVERIFY(w.Transport().Comm().IsOpen());
        QVERIFY(!w.IsDeviceActionRunning());
        QVERIFY(w.GroupBox1->isEnabled());
    }

    // The device goes away in the middle of a read: the operator is told, the window
    // stays usable, and once the device is back a new connection reads it.
    void deviceDisappearsDuringRead() {
        QTemporaryDir linkDir;
        sim::SimulatorOptions options;
        options.linkPath = linkDir.filePath(QStringLiteral("korvane"));
        options.replyDelayMs = 100;
        WindowFixture f(QStringLiteral("[Setting]\r\nCommName=") + options.linkPath +
                            QStringLiteral("\r\n"),
                        options);
        f.Show();
        TfrmKorvane& w = *f.Window;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, &w, [&] {
            if (f.Sim.framesReceived().size() < 3)
                return;
            poll.stop();
            f.Sim.stop();
        });
        poll.start();
        w.btRead->click();
        QVERIFY(!f.Sim.isRunning());
        QCOMPARE(f.Texts(), QStringList({NoAnswer}));
        QVERIFY(w.GroupBox1->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(w.isVisible());

        f.Messages.clear();
        QVERIFY(!f.Sim.start(options).isEmpty());
        w.mDisconnect->trigger();
        w.mConnect->trigger();
        QVERIFY(f.Messages.isEmpty());
        QCOMPARE(f.ReceivedCodes(), ReadCodes); // the model is known from before
        QCOMPARE(w.Label8->text(), QStringLiteral("已刷新"));
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
                            << "57600" << 2 << "btOK" << QStringList{} << "{OTHER} 57600-7-E-2"
                            << "CommName={OTHER}\r\nBaudRate=57600\r\nByteSize=2\r\nParity=2\r\n"
                               "StopBits=2\r\n";
        QTest::newRow("Cancel") << "" << 0 << "/dev/korvane-no-such-port"
                                << "1200" << -1 << "btCancel" << QStringList{} << unchanged << "";
        QTest::newRow("rate with letters")
            << "" << 0 << "/dev/korvane-no-such-port"
            << "96k" << -1 << "btOK" << QStringList{"'96k' is not a valid integer value."}
            << unchanged << "";
        QTest::newRow("negative rate")
            << "" << 0 << "/dev/korvane-no-such-port"
            << "-9600" << -1 << "btOK" << QStringList{"Range check error."} << unchanged << "";
        QTest::newRow("empty rate")
            << "" << 0 << "/dev/korvane-no-such-port"
            << "" << -1 << "btOK" << QStringList{"'' is not a valid integer value."} << unchanged
            << "";
        QTest::newRow("reopen fails")
            << "" << 0 << "ttyKorvaneNone"
            << "9600" << -1 << "btOK" << QStringList{"Error opening serial port."} << "断开"
            << "CommName=ttyKorvaneNone\r\nBaudRate=9600\r\nByteSize=3\r\nParity=0\r\n"
               "StopBits=0\r\n";
        QTest::newRow("mark parity kept")
            << "Parity=3\r\n"
            << -1 << "{PTY}"
            << "9600" << -1 << "btOK" << QStringList{} << "{PTY} 9600-8-1"
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
            return text.replace(QStringLiteral("{PTY}"), f.Port)
                .replace(QStringLiteral("{OTHER}"), otherPort);
        };
        f.Show();
        const QString before = f.Settings();
        bool stayedOpen = false;
        const auto shown = WhenModal([&](QWidget* d) {
            const auto box = [d](const char* name) {
                return d->findChild<QComboBox*>(QLatin1String(name));
            };
            QCOMPARE(box("cbPort")->currentText(), f.Port);
            QCOMPARE(box("cbBaudRate")->currentText(), QStringLiteral("9600"));
            QCOMPARE(box("cbDataBits")->currentIndex(), 3);
            QCOMPARE(box("cbParity")->currentIndex(), shownParity);
            box("cbPort")->setCurrentText(place(port));
            box("cbBaudRate")->setCurrentText(rate);
            if (choice >= 0)
                for (const char* name : {"cbDataBits", "cbStopBits", "cbParity"})
                    box(name)->setCurrentIndex(choice);
            d->findChild<QPushButton*>(button)->click();
            stayedOpen = d->isVisible();
            if (stayedOpen)
                d->findChild<QPushButton*>(QStringLiteral("btCancel"))->click();
        });
        f.Window->btSetPort->click();
        QVERIFY(*shown);
        QCOMPARE(stayedOpen, !messages.isEmpty() && label != QStringLiteral("断开"));
        QCOMPARE(f.Texts(), messages);
        QCOMPARE(f.Window->lbPort->text(), place(label));
        QCOMPARE(f.Window->Transport().Comm().IsOpen(), label != QStringLiteral("断开"));
        if (stored.isEmpty())
            QCOMPARE(f.Settings(), before);
        else
            QCOMPARE(f.Settings(), place(QStringLiteral("[Setting]\r\n") + stored));
    }
};

QTEST_MAIN(TestMainWindowDevice)
#include "test_main_window_device.moc"
