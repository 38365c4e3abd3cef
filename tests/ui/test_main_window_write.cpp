// SPDX-License-Identifier: MIT
// The main window's write commands against the simulator: write-all from the button,
// each section from the menu, the address, and what address the frames carry.

#include "config/DisplayTexts.h"
#include "tests/support/Child.h"
#include "tests/support/WindowFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace korvane;
using namespace korvane::test;

namespace {

// A schedule of two slots beside a channel file, so that write-all has all it needs.
QString writeScheduleBeside(const QTemporaryDir& dir) {
    const QString channelFile = dir.filePath(QStringLiteral("ch.chn"));
    QFile sch(dir.filePath(QStringLiteral("ch.sch")));
    sch.open(QIODevice::WriteOnly);
    sch.write("h\r\nh\r\nh\r\n0\r\n255\r\n");
    return channelFile;
}

// The address bytes of an addressed frame, low byte first.
std::uint32_t frameAddress(const ByteBuffer& frame) {
    return frame[2] | (frame[3] << 8) | (frame[4] << 16);
}

QColor background(QLabel* label) {
    return label->palette().color(QPalette::Window);
}

} // namespace

class TestMainWindowWrite : public QObject {
    Q_OBJECT
private slots:
    // Every entry is reachable from the popup menu, the trunk sections by a submenu.
    void menuReachesEveryEntry() {
        WindowFixture f;
        MainWindow& w = *f.window;
        for (QAction* a :
             {Child<QAction>(w, "portSettingsAction"), Child<QAction>(w, "connectAction"),
              Child<QAction>(w, "disconnectAction"), Child<QAction>(w, "openChannelFileAction"),
              Child<QAction>(w, "saveConfigurationAction"),
              Child<QAction>(w, "loadConfigurationAction"), Child<QAction>(w, "readAction"),
              Child<QAction>(w, "writeAllAction"), Child<QMenu>(w, "writeTrunkMenu")->menuAction(),
              Child<QAction>(w, "writePortsAction"), Child<QAction>(w, "writeScheduleAction"),
              Child<QAction>(w, "setAddressAction")})
            QVERIFY(w.contextMenu()->actions().contains(a));
        for (QAction* a :
             {Child<QAction>(w, "writeAllTrunkAction"), Child<QAction>(w, "writeGpsAction"),
              Child<QAction>(w, "writeTrunkDelayAction"),
              Child<QAction>(w, "writeTrunkAttributesAction")})
            QVERIFY(Child<QMenu>(w, "writeTrunkMenu")->actions().contains(a));
    }

    // Read, change, write everything back: the device holds what the window showed,
    // the window reads it back and the remarks are gone.
    void writeAllRoundTrip() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        Child<QPushButton>(w, "readButton")->click();
        QVERIFY(f.messages.isEmpty());
        w.config().channelFileName = writeScheduleBeside(f.dir);
        w.config().ports[6] =
            PortEntry{"7",      "12", text::Pocsag, "2400", "-", text::RisingEdge, text::Negative,
                      text::On, "",   text::Added};
        w.config().gps = {0, 1};
        w.config().setPorts(w.config().ports);
        f.sim.clearFrameLog();

        Child<QPushButton>(w, "writeButton")->click();
        QCOMPARE(f.Texts(), QStringList({QStringLiteral("祝贺你，写入成功！")}));
        QCOMPARE(f.ReceivedCodes(),
                 QList<int>({0x27, 0x47, 0x37, 0x57, 0x87, 0x08, 0x18, 0x28, 0x38, 0x48, 0x58}));
        const sim::DeviceState stored = f.sim.state();
        QCOMPARE(stored.gps, (ByteBuffer{0xAA, 0xAA}));
        QCOMPARE(stored.scheduleBlocks.at(0)[0], 0xFF); // channel 0: no port claims it
        // Read back: port 7 as written, without its remark.
        QCOMPARE(w.config().ports[6].channel, QStringLiteral("12"));
        QCOMPARE(w.config().ports[6].rate, QStringLiteral("2400"));
        QVERIFY(w.config().ports[6].remark.isEmpty());
        QCOMPARE(Child<QLabel>(w, "refreshLabel")->text(), QStringLiteral("已刷新"));
        QVERIFY(Child<QGroupBox>(w, "portTableGroup")->isEnabled());
    }

    // Write-all as from a template: a file saved for the device at its own address, or
    // for another at address 2, whose frames this device answers and ignores. Only what
    // the device reads back counts: a success takes its values, a difference is listed
    // (ten lines at most) and the window keeps what the operator loaded.
    void writeAllConfirmsTheReadBack_data() {
        QTest::addColumn<int>("fileAddress");
        QTest::newRow("this device's address") << 1;
        QTest::newRow("another device's address") << 2;
    }

    void writeAllConfirmsTheReadBack() {
        QFETCH(int, fileAddress);
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        Child<QPushButton>(w, "readButton")->click();
        w.config().channelFileName = writeScheduleBeside(f.dir);
        for (int row : {6, 7})
            w.config().ports[row] = PortEntry{QString::number(row + 1),
                                              QString::number(row + 10),
                                              text::Pocsag,
                                              "2400",
                                              "-",
                                              text::RisingEdge,
                                              text::Negative,
                                              text::On,
                                              "",
                                              text::Added};
        w.config().info.address = std::uint32_t(fileAddress);
        const QString file = f.dir.filePath(QStringLiteral("template.krv"));
        w.session().saveConfiguration(file);
        w.loadConfigurationFile(file);
        f.sim.clearFrameLog();

        Child<QPushButton>(w, "writeButton")->click();
        QCOMPARE(f.ReceivedCodes(),
                 QList<int>({0x27, 0x47, 0x37, 0x57, 0x87, 0x08, 0x18, 0x28, 0x38, 0x48, 0x58}));
        if (fileAddress == 1) {
            QCOMPARE(f.Texts(), QStringList({QStringLiteral("祝贺你，写入成功！")}));
            QVERIFY(w.config().ports[6].remark.isEmpty());
            QCOMPARE(Child<QLabel>(w, "refreshLabel")->text(), QStringLiteral("已刷新"));
            return;
        }
        QCOMPARE(f.messages.size(), 2);
        QCOMPARE(f.messages[0].icon, MessageIcon::Warning);
        const QStringList lines = f.messages[0].text.split(u'\n');
        QCOMPARE(lines.size(), 1 + 10 + 1);
        QCOMPARE(lines[1], QStringLiteral("地址：写入 2，设备 1"));
        QCOMPARE(lines[2], QStringLiteral("端口7 通道：写入 16，设备 -"));
        QCOMPARE(lines.last(), QStringLiteral("…（共13处不同）"));
        QCOMPARE(f.messages[1].text, QStringLiteral("写入失败！"));
        QCOMPARE(f.messages[1].caption, QStringLiteral("Orlendis"));
        // The operator's values, to mend the address and write again.
        QCOMPARE(w.config().ports[6].channel, QStringLiteral("16"));
        QCOMPARE(w.config().ports[6].remark, text::Added);
        QCOMPARE(w.config().info.address, 2u);
        QCOMPARE(Child<QLineEdit>(w, "addressField")->text(), QStringLiteral("2"));
        QVERIFY(Child<QGroupBox>(w, "portTableGroup")->isEnabled());
    }

    // Under remote control the window itself waits between the sections (the event loop
    // running, a second action refused), reads nothing back, and marks all refreshed.
    void writeAllUnderRemoteControl() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        w.config().deviceModel = text::ModelSingle;
        w.config().channelFileName = writeScheduleBeside(f.dir);
        Child<QCheckBox>(w, "remoteControlCheck")->click();
        w.config().setTrunkRefreshed(false);
        bool refusedInPause = false;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, &w, [&] {
            if (f.sim.framesReceived().size() != 2)
                return;
            poll.stop();
            Child<QAction>(w, "readAction")->trigger(); // a read now would add frames
            refusedInPause = true;
        });
        poll.start();
        QElapsedTimer clock;
        clock.start();
        Child<QPushButton>(w, "writeButton")->click();
        QVERIFY(clock.elapsed() >= 3000 + 3000 + 300 + 3000 + 3000); // the last after the schedule
        QVERIFY(refusedInPause);
        QCOMPARE(f.Texts(), QStringList({QStringLiteral("祝贺你，写入成功！")}));
        QCOMPARE(background(Child<QLabel>(w, "trunkSummaryLabel")), QColor(255, 255, 0));
        QCOMPARE(Child<QLabel>(w, "refreshLabel")->text(), QStringLiteral("已刷新"));
        // Each pause runs from the answer's last byte to the next request.
        QList<int> codes;
        QList<qint64> gaps;
        qint64 answered = -1;
        for (const sim::LoggedFrame& frame : f.sim.frameLog()) {
            if (frame.direction == sim::LoggedFrame::Direction::Sent) {
                answered = frame.msecs;
                continue;
            }
            codes.append(frame.bytes.size() > 1 ? frame.bytes[1] : -1);
            if (answered >= 0)
                gaps.append(frame.msecs - answered);
        }
        QCOMPARE(codes, QList<int>({0x27, 0x47, 0x37, 0x57, 0x87}));
        const QList<int> pauses{3000, 3000, 300, 3000};
        QCOMPARE(gaps.size(), pauses.size());
        for (int i = 0; i < pauses.size(); ++i)
            QVERIFY2(gaps[i] >= pauses[i],
                     qPrintable(QStringLiteral("pause %1: %2 ms").arg(i).arg(gaps[i])));
    }

    // The button hands the address field's text to write-all (every refusal and the
    // zero address that setting the address does send are the procedures' own tests).
    void writeAllRefusesZeroAddress() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        Child<QLineEdit>(w, "addressField")->setText(QStringLiteral("0"));
        Child<QPushButton>(w, "writeButton")->click();
        QCOMPARE(f.Texts(), QStringList({QStringLiteral("地址为0非法，请确认地址不能为0！")}));
        QVERIFY(f.sim.framesReceived().isEmpty());
    }

    // The frames carry the address the configuration holds: text typed into the
    // address field that still has the focus is not sent.
    void typedAddressNotLeftIsNotSent() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        w.config().deviceModel = text::ModelSingle;
        Child<QLineEdit>(w, "addressField")->setFocus();
        QTRY_VERIFY(Child<QLineEdit>(w, "addressField")->hasFocus());
        Child<QLineEdit>(w, "addressField")->setText(QStringLiteral("000099"));
        Child<QAction>(w, "writeGpsAction")->trigger();
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x37}));
        QCOMPARE(frameAddress(f.sim.framesReceived().first()), 1u);

        Child<QPushButton>(w, "readButton")->setFocus(); // leaving the field takes its value
        QTRY_COMPARE(w.config().info.address, 99u);
        Child<QAction>(w, "writeGpsAction")->trigger();
        QCOMPARE(frameAddress(f.sim.framesReceived().last()), 99u);
    }

    // A section chosen from the menu shows exactly one box (its time-out box is the
    // procedures' own test).
    void sectionEntriesShowOneBox_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("success");
        QTest::newRow("ports") << "writePortsAction" << 0x27 << "端口参数设置完毕。";
        QTest::newRow("gps") << "writeGpsAction" << 0x37 << "GPS参数设置完毕";
        QTest::newRow("trunk") << "writeTrunkAttributesAction" << 0x47 << "干线参数设置完毕";
        QTest::newRow("delay") << "writeTrunkDelayAction" << 0x57 << "干线延时参数设置完毕。";
    }

    void sectionEntriesShowOneBox() {
        QFETCH(QString, entry);
        QFETCH(int, code);
        QFETCH(QString, success);
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        w.config().deviceModel = text::ModelSingle;
        QAction* action = w.findChild<QAction*>(entry);
        QVERIFY(action);
        action->trigger();
        QCOMPARE(f.ReceivedCodes(), QList<int>({code}));
        QCOMPARE(f.Texts(), QStringList({success}));
        QCOMPARE(f.messages[0].caption, QStringLiteral("设置成功"));
        QCOMPARE(f.messages[0].icon, MessageIcon::Information);
        QVERIFY(Child<QGroupBox>(w, "portTableGroup")->isEnabled());
    }

    void allTrunkSectionsShowThreeBoxes() {
        WindowFixture f;
        f.Show();
        f.window->config().deviceModel = text::ModelSingle;
        Child<QAction>(f.window, "writeAllTrunkAction")->trigger();
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x47, 0x37, 0x57}));
        QCOMPARE(f.Texts(),
                 QStringList({"干线参数设置完毕", "GPS参数设置完毕", "干线延时参数设置完毕。"}));
    }

    void scheduleFromTheMenu() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        w.config().deviceModel = text::ModelSingle;
        w.config().channelFileName = writeScheduleBeside(f.dir);
        Child<QAction>(w, "writeScheduleAction")->trigger();
        QVERIFY(f.messages.isEmpty());
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x87}));
        QVERIFY(Child<QGroupBox>(w, "portTableGroup")->isEnabled());
    }
};

QTEST_MAIN(TestMainWindowWrite)
#include "test_main_window_write.moc"
