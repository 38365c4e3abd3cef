// The main window's write commands against the simulator: write-all from the button,
// each section from the menu, the address, and what address the frames carry.

#include "config/DisplayTexts.h"
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
std::uint32_t frameAddress(const TDyCharArray& frame) {
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
        TfrmKorvane& w = *f.Window;
        for (QAction* a :
             {w.N3, w.mConnect, w.mDisconnect, w.mOpenChannelFile, w.mSaveConfig, w.mLoadConfig,
              w.N6, w.N5, w.mWriteTrunk->menuAction(), w.N10, w.N11, w.N12})
            QVERIFY(w.PopupMenu()->actions().contains(a));
        for (QAction* a : {w.N14, w.GPS1, w.N15, w.N16})
            QVERIFY(w.mWriteTrunk->actions().contains(a));
    }

    // Read, change, write everything back: the device holds what the window showed,
    // the window reads it back and the remarks are gone.
    void writeAllRoundTrip() {
        WindowFixture f;
        f.Show();
        TfrmKorvane& w = *f.Window;
        w.btRead->click();
        QVERIFY(f.Messages.isEmpty());
        w.Config().ChannelFileName = writeScheduleBeside(f.Dir);
        w.Config().Ports[6] =
            PortEntry{"7",      "12", text::Pocsag, "2400", "-", text::RisingEdge, text::Negative,
                      text::On, "",   text::Added};
        w.Config().Gps = {0, 1};
        w.PortTableChanged();
        f.Sim.clearFrameLog();

        w.btWrite->click();
        QCOMPARE(f.Texts(), QStringList({QStringLiteral("祝贺你，写入成功！")}));
        QCOMPARE(f.ReceivedCodes(),
                 QList<int>({0x27, 0x47, 0x37, 0x57, 0x87, 0x08, 0x18, 0x28, 0x38, 0x48, 0x58}));
        const sim::DeviceState stored = f.Sim.state();
        QCOMPARE(stored.gps, (TDyCharArray{0xAA, 0xAA}));
        QCOMPARE(stored.scheduleBlocks.at(0)[0], 0xFF); // channel 0: no port claims it
        // Read back: port 7 as written, without its remark.
        QCOMPARE(w.Config().Ports[6].Channel, QStringLiteral("12"));
        QCOMPARE(w.Config().Ports[6].Rate, QStringLiteral("2400"));
        QVERIFY(w.Config().Ports[6].Remark.isEmpty());
        QCOMPARE(w.Label8->text(), QStringLiteral("已刷新"));
        QVERIFY(w.GroupBox1->isEnabled());
    }

    // Under remote control the window itself waits between the sections (the event loop
    // running, a second action refused), reads nothing back, and marks all refreshed.
    void writeAllUnderRemoteControl() {
        WindowFixture f;
        f.Show();
        TfrmKorvane& w = *f.Window;
        w.Config().DeviceModel = text::ModelSingle;
        w.Config().ChannelFileName = writeScheduleBeside(f.Dir);
        w.CheckBox2->click();
        w.Config().SetTrunkRefreshed(false);
        bool refusedInPause = false;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, &w, [&] {
            if (f.Sim.framesReceived().size() != 2)
                return;
            poll.stop();
            w.N6->trigger(); // a read now would add frames
            refusedInPause = true;
        });
        poll.start();
        QElapsedTimer clock;
        clock.start();
        w.btWrite->click();
        QVERIFY(clock.elapsed() >= 3000 + 3000 + 300 + 3000 + 3000); // the last after the schedule
        QVERIFY(refusedInPause);
        QCOMPARE(f.Texts(), QStringList({QStringLiteral("祝贺你，写入成功！")}));
        QCOMPARE(background(w.Label13), QColor(255, 255, 0));
        QCOMPARE(w.Label8->text(), QStringLiteral("已刷新"));
        // Each pause runs from the answer's last byte to the next request.
        QList<int> codes;
        QList<qint64> gaps;
        qint64 answered = -1;
        for (const sim::LoggedFrame& frame : f.Sim.frameLog()) {
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
        TfrmKorvane& w = *f.Window;
        w.edAddress->setText(QStringLiteral("0"));
        w.btWrite->click();
        QCOMPARE(f.Texts(), QStringList({QStringLiteral("地址为0非法，请确认地址不能为0！")}));
        QVERIFY(f.Sim.framesReceived().isEmpty());
    }

    // The frames carry the address the configuration holds: text typed into the
    // address field that still has the focus is not sent.
    void typedAddressNotLeftIsNotSent() {
        WindowFixture f;
        f.Show();
        TfrmKorvane& w = *f.Window;
        w.Config().DeviceModel = text::ModelSingle;
        w.edAddress->setFocus();
        QTRY_VERIFY(w.edAddress->hasFocus());
        w.edAddress->setText(QStringLiteral("000099"));
        w.GPS1->trigger();
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x37}));
        QCOMPARE(frameAddress(f.Sim.framesReceived().first()), 1u);

        w.btRead->setFocus(); // leaving the field takes its value
        QTRY_COMPARE(w.Config().Info.Address, 99u);
        w.GPS1->trigger();
        QCOMPARE(frameAddress(f.Sim.framesReceived().last()), 99u);
    }

    // A section chosen from the menu shows exactly one box (its time-out box is the
    // procedures' own test).
    void sectionEntriesShowOneBox_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("success");
        QTest::newRow("ports") << "N10" << 0x27 << "端口参数设置完毕。";
        QTest::newRow("gps") << "GPS1" << 0x37 << "GPS参数设置完毕";
        QTest::newRow("trunk") << "N16" << 0x47 << "干线参数设置完毕";
        QTest::newRow("delay") << "N15" << 0x57 << "干线延时参数设置完毕。";
    }

    void sectionEntriesShowOneBox() {
        QFETCH(QString, entry);
        QFETCH(int, code);
        QFETCH(QString, success);
        WindowFixture f;
        f.Show();
        TfrmKorvane& w = *f.Window;
        w.Config().DeviceModel = text::ModelSingle;
        QAction* action = w.findChild<QAction*>(entry);
        QVERIFY(action);
        action->trigger();
        QCOMPARE(f.ReceivedCodes(), QList<int>({code}));
        QCOMPARE(f.Texts(), QStringList({success}));
        QCOMPARE(f.Messages[0].Caption, QStringLiteral("设置成功"));
        QCOMPARE(f.Messages[0].Icon, MessageIcon::Information);
        QVERIFY(w.GroupBox1->isEnabled());
    }

    void allTrunkSectionsShowThreeBoxes() {
        WindowFixture f;
        f.Show();
        f.Window->Config().DeviceModel = text::ModelSingle;
        f.Window->N14->trigger();
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x47, 0x37, 0x57}));
        QCOMPARE(f.Texts(),
                 QStringList({"干线参数设置完毕", "GPS参数设置完毕", "干线延时参数设置完毕。"}));
    }

    void scheduleFromTheMenu() {
        WindowFixture f;
        f.Show();
        TfrmKorvane& w = *f.Window;
        w.Config().DeviceModel = text::ModelSingle;
        w.Config().ChannelFileName = writeScheduleBeside(f.Dir);
        w.N11->trigger();
        QVERIFY(f.Messages.isEmpty());
        QCOMPARE(f.ReceivedCodes(), QList<int>({0x87}));
        QVERIFY(w.GroupBox1->isEnabled());
    }
};

QTEST_MAIN(TestMainWindowWrite)
#include "test_main_window_write.moc"
