// The main window talking to the simulator: reading, connecting, disconnecting, the
// port settings dialog, and the guard against a second device procedure.

#include "config/DisplayTexts.h"
#include "link/PortSet.h"
#include "tests/support/DeviceFixture.h"
#include "tests/support/WindowFixture.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

using namespace korvane;
using namespace korvane::test;

namespace {

const QString NoAnswer = QStringLiteral("请检查Korvane是否加电，连线是否连上，通讯端口是否设对？");
const QList<int> ReadCodes{0x08, 0x18, 0x28, 0x38, 0x48, 0x58};

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
        w.btRead->click();
        QVERIFY(f.Messages.isEmpty());
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x28}) + ReadCodes);
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

    // Switched off, as the first operation: only the probe's error, through the
    // top-level handler.
    void connectToSilentDeviceBeforeIdentification() {
        WindowFixture f;
        f.Show();
        f.Sim.setFaults(sim::SimulatorFaults::Silent());
        f.Window->mConnect->trigger();
        QCOMPARE(f.Texts(), QStringList({NoAnswer + u'.'}));
        QCOMPARE(f.Messages[0].Caption, QCoreApplication::applicationName());
        QVERIFY(f.Window->GroupBox1->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void connectToSilentDeviceAfterIdentification() {
        WindowFixture f;
        f.Show();
        f.Window->mConnect->trigger();
        QVERIFY(f.Messages.isEmpty());
        f.Sim.setFaults(sim::SimulatorFaults::Silent());
        f.Window->mConnect->trigger();
        QCOMPARE(f.Texts(), QStringList({NoAnswer, QStringLiteral("没有检测到Korvane")}));
        QCOMPARE(f.Messages[0].Caption, QStringLiteral("通讯错误08"));
        QCOMPARE(f.Messages[1].Caption, text::CaptionKorvane);
        QCOMPARE(f.Messages[1].Icon, MessageIcon::Error);
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

    // While a transaction waits, the event loop runs: a menu entry chosen then must
    // not start a second procedure, and Escape and closing are refused.
    void secondProcedureRefused() {
        sim::SimulatorOptions options;
        options.replyDelayMs = 300;
        WindowFixture f(QStringLiteral("[Setting]\r\nCommName={PTY}\r\n"), options);
        f.Show();
        TfrmKorvane& w = *f.Window;
        bool triedDuringRead = false;
        QTimer::singleShot(100, &w, [&] {
            QVERIFY(w.IsDeviceActionRunning());
            QVERIFY(!w.GroupBox1->isEnabled());
            QVERIFY(QGuiApplication::overrideCursor());
            w.N6->trigger();
            w.mConnect->trigger();
            w.N3->trigger();
            w.mDisconnect->trigger();
            QTest::keyClick(&w, Qt::Key_Escape);
            w.close();
            triedDuringRead = true;
        });
        w.btRead->click();
        QVERIFY(triedDuringRead);
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x28}) + ReadCodes);
        QVERIFY(f.Messages.isEmpty());
        QVERIFY(w.isVisible());
        QVERIFY(w.Transport().Comm().IsOpen());
        QVERIFY(!w.IsDeviceActionRunning());
    }

    void portDialogAppliesAndStores() {
        WindowFixture f;
        sim::SimulatorHost other;
        const QString otherPort = other.start();
        QVERIFY(!otherPort.isEmpty());
        TfrmSetPort dialog(f.Window.get());
        f.Window->AttachPortDialog(&dialog);
        f.Show();
        WhenModal([&](QWidget* d) {
            auto* port = d->findChild<QComboBox*>(QStringLiteral("cbPort"));
            QCOMPARE(port->currentText(), f.Port);
            QCOMPARE(d->findChild<QComboBox*>(QStringLiteral("cbBaudRate"))->currentText(),
                     QStringLiteral("9600"));
            QCOMPARE(d->findChild<QComboBox*>(QStringLiteral("cbDataBits"))->currentIndex(), 3);
            port->setCurrentText(otherPort);
            d->findChild<QComboBox*>(QStringLiteral("cbBaudRate"))
                ->setCurrentText(QStringLiteral("57600"));
            d->findChild<QComboBox*>(QStringLiteral("cbDataBits"))->setCurrentIndex(2);
            d->findChild<QComboBox*>(QStringLiteral("cbStopBits"))->setCurrentIndex(2);
            d->findChild<QComboBox*>(QStringLiteral("cbParity"))->setCurrentIndex(2);
            d->findChild<QPushButton*>(QStringLiteral("btOK"))->click();
        });
        f.Window->btSetPort->click();
        QVERIFY(f.Messages.isEmpty());
        const TComm& comm = f.Window->Transport().Comm();
        QVERIFY(comm.IsOpen());
        QCOMPARE(comm.CommName(), otherPort);
        QCOMPARE(f.Window->lbPort->text(), otherPort + QStringLiteral(" 57600-7-E-2"));
        const QString ini = f.Settings();
        QVERIFY(ini.contains(QStringLiteral("CommName=") + otherPort));
        QVERIFY(ini.contains(QStringLiteral("BaudRate=57600")));
        QVERIFY(ini.contains(QStringLiteral("ByteSize=2")));
        QVERIFY(ini.contains(QStringLiteral("Parity=2")));
        QVERIFY(ini.contains(QStringLiteral("StopBits=2")));
        // The keys follow one another in the order written.
        QVERIFY(ini.indexOf(QStringLiteral("BaudRate")) < ini.indexOf(QStringLiteral("ByteSize")));
        QVERIFY(ini.indexOf(QStringLiteral("Parity")) < ini.indexOf(QStringLiteral("StopBits")));
    }

    void portDialogCancelChangesNothing() {
        WindowFixture f;
        f.Show();
        const QString before = f.Settings();
        WhenModal([](QWidget* d) {
            d->findChild<QComboBox*>(QStringLiteral("cbPort"))
                ->setCurrentText(QStringLiteral("COM7"));
            d->findChild<QComboBox*>(QStringLiteral("cbBaudRate"))
                ->setCurrentText(QStringLiteral("1200"));
            d->findChild<QPushButton*>(QStringLiteral("btCancel"))->click();
        });
        f.Window->btSetPort->click();
        QCOMPARE(f.Settings(), before);
        QCOMPARE(f.Window->Transport().Comm().CommName(), f.Port);
        QCOMPARE(f.Window->Transport().Comm().BaudRate(), 9600u);
        QVERIFY(f.Window->Transport().Comm().IsOpen());
    }

    // A bit rate that is no number is refused with the conversion message; nothing
    // changes, not the port and not the file, and the dialog stays open.
    void portDialogRefusesBadBitRate_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("letters") << "96k"
                                 << "'96k' is not a valid integer value.";
        QTest::newRow("negative") << "-9600"
                                  << "Range check error.";
        QTest::newRow("empty") << ""
                               << "'' is not a valid integer value.";
    }

    void portDialogRefusesBadBitRate() {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        WindowFixture f;
        f.Show();
        const QString before = f.Settings();
        bool stayedOpen = false;
        WhenModal([&](QWidget* d) {
            d->findChild<QComboBox*>(QStringLiteral("cbPort"))
                ->setCurrentText(QStringLiteral("COM7"));
            d->findChild<QComboBox*>(QStringLiteral("cbBaudRate"))->setCurrentText(typed);
            d->findChild<QPushButton*>(QStringLiteral("btOK"))->click();
            stayedOpen = d->isVisible();
            d->findChild<QPushButton*>(QStringLiteral("btCancel"))->click();
        });
        f.Window->btSetPort->click();
        QVERIFY(stayedOpen);
        QCOMPARE(f.Texts(), QStringList({message}));
        QCOMPARE(f.Settings(), before);
        QCOMPARE(f.Window->Transport().Comm().CommName(), f.Port);
        QVERIFY(f.Window->Transport().Comm().IsOpen());
    }

    // A port that will not reopen: its error, the dialog closes confirmed, the keys are
    // written and the label tells the truth.
    void portDialogReopenFails() {
        WindowFixture f;
        f.Show();
        WhenModal([](QWidget* d) {
            d->findChild<QComboBox*>(QStringLiteral("cbPort"))
                ->setCurrentText(QStringLiteral("ttyKorvaneNone"));
            d->findChild<QPushButton*>(QStringLiteral("btOK"))->click();
        });
        f.Window->btSetPort->click();
        QCOMPARE(f.Texts(), QStringList({QStringLiteral("Error opening serial port.")}));
        QVERIFY(!f.Window->Transport().Comm().IsOpen());
        QCOMPARE(f.Window->lbPort->text(), QStringLiteral("断开"));
        QVERIFY(f.Settings().contains(QStringLiteral("CommName=ttyKorvaneNone")));
    }

    void markParityFromSettings() {
        WindowFixture f(QStringLiteral("[Setting]\r\nCommName={PTY}\r\nParity=3\r\n"));
        f.Show();
        QCOMPARE(f.Window->lbPort->text(), f.Port + QStringLiteral(" 9600-8-1"));
        int parityIndex = 0;
        WhenModal([&](QWidget* d) {
            parityIndex = d->findChild<QComboBox*>(QStringLiteral("cbParity"))->currentIndex();
            d->findChild<QPushButton*>(QStringLiteral("btOK"))->click();
        });
        f.Window->btSetPort->click();
        QCOMPARE(parityIndex, -1);
        QCOMPARE(f.Window->Transport().Comm().Parity(), TParity::Mark);
        QVERIFY(f.Settings().contains(QStringLiteral("Parity=3")));
    }
};

QTEST_MAIN(TestMainWindowDevice)
#include "test_main_window_device.moc"
