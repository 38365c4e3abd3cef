// SPDX-License-Identifier: MIT
// Sending the timing schedule against the simulator over a pty: the file chosen, the
// blocks on the wire and what the device stored, refusals and failures.

#include "ByteVectors.h"
#include "WriteTestSupport.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "files/FileHelpers.h"
#include "files/ScheduleFile.h"
#include "tests/support/DeviceFixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace korvane;
using namespace korvane::test;
using namespace korvane::testing;

namespace {

const QString NoAnswer = QStringLiteral("请检查Korvane是否加电，连线是否连上，通讯端口是否设对？");
const QString FileError = QStringLiteral("文件错误");

QString Error(const QString& caption, const QString& text) {
    return caption + QStringLiteral(" | ") + text + QStringLiteral(" | error");
}

QStringList Shown(const RecordingOperator& ui) {
    QStringList out;
    for (const ShownMessage& m : ui.messages)
        out.append(m.icon == MessageIcon::Error
                       ? Error(m.caption, m.text)
                       : m.caption + QStringLiteral(" | ") + m.text + QStringLiteral(" | info"));
    return out;
}

QString Missing(const QString& path) {
    return u'"' + path + QStringLiteral("\"时序表文件不存在！");
}

// Block b of CountingEntries(count): slot i holds i % 50, 0xFF past the end.
ByteBuffer CountingBlock(int block, int count) {
    ByteBuffer out(64, 0xFF);
    for (int i = 0; i < 64 && block * 64 + i < count; ++i)
        out[std::size_t(i)] = std::uint8_t((block * 64 + i) % 50);
    return out;
}

PortEntry Row(int port, const QString& channel) {
    PortEntry e = PortEntry::unassigned(port);
    e.channel = channel;
    return e;
}

} // namespace

class TestScheduleTransfer : public QObject {
    Q_OBJECT
private slots:
    void blocks_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("count");
        QTest::newRow("130 entries: three blocks, the last padded")
            << ScheduleFileBytes(CountingEntries(130)) << 130;
        QTest::newRow("64 entries: one block") << ScheduleFileBytes(CountingEntries(64)) << 64;
        QTest::newRow("65 entries: two blocks") << ScheduleFileBytes(CountingEntries(65)) << 65;
        QTest::newRow("header only: nothing sent") << ScheduleFileBytes({}) << 0;
        QTest::newRow("two lines: nothing sent") << QByteArray("a\r\nb\r\n") << 0;
        QTest::newRow("empty file: nothing sent") << QByteArray() << 0;
    }

    void blocks() {
        QFETCH(QByteArray, file);
        QFETCH(int, count);
        DeviceFixture f;
        QTemporaryDir dir;
        sim::DeviceState state = f.sim.state();
        state.address = 70000;
        f.sim.setState(state);
        f.config.info.address = 70000;
        f.config.deviceModel = text::ModelSingle;
        f.config.resetPortTable();
        QVERIFY(ScheduleBeside(dir, f.config, file));

        QVERIFY(f.procedures->sendScheduleTable());

        const int blocks = (count + 63) / 64;
        const QList<ByteBuffer> frames = f.sim.framesReceived();
        QCOMPARE(frames.size(), blocks);
        for (int b = 0; b < blocks; ++b) {
            // Plain frame; the address travels inside the payload only.
            const ByteBuffer head(frames[b].begin(), frames[b].begin() + 6);
            QCOMPARE(Hex(head), Hex(Bytes({0x7E, 0x87, 0x70, 0x11, 0x01, b})));
            QCOMPARE(frames[b].back(), std::uint8_t(0x7F));
        }
        const sim::DeviceState stored = f.sim.state();
        QCOMPARE(int(stored.scheduleBlocks.size()), blocks);
        for (int b = 0; b < blocks; ++b)
            QCOMPARE(Hex(stored.scheduleBlocks.at(std::uint8_t(b))), Hex(CountingBlock(b, count)));
        QVERIFY(f.ui.messages.isEmpty());
        QVERIFY(f.ui.pauses.isEmpty());
        QVERIFY(!f.ui.busy);
        QCOMPARE(f.ui.busyChanges, 2);
    }

    // Channels become ports through the port table; the whole frame on the wire. The
    // first operation of the run identifies the device first.
    void convertedAgainstPortTable() {
        DeviceFixture f;
        QTemporaryDir dir;
        f.config.resetPortTable();
        f.config.ports[0] = Row(1, QStringLiteral("1"));
        f.config.ports[2] = Row(3, QStringLiteral("3"));
        QVERIFY(ScheduleBeside(dir, f.config, ScheduleFileBytes({"2", "255", "0"})));

        QVERIFY(f.procedures->sendScheduleTable());

        QCOMPARE(f.ReceivedCodes(), QList<int>({0x28, 0x87}));
        QCOMPARE(Hex(f.sim.framesReceived().last()),
                 Hex(Concat({Bytes({0x7E, 0x87, 0x01, 0x00, 0x00, 0x00, 0x02, 0xFF, 0x00}),
                             Repeat(0xFF, 61), Bytes({0x7F})})));
    }

    // A file that is there but cannot be read is refused with the same message, the
    // reason (here its size) as the box's further text.
    void unreadableFile() {
        DeviceFixture f;
        QTemporaryDir dir;
        f.config.deviceModel = text::ModelSingle;
        QVERIFY(ScheduleBeside(dir, f.config, QByteArray(MaxTextFileSize + 1, '7')));
        const QString tried = dir.filePath(QStringLiteral("paging.sch"));

        QVERIFY(!f.procedures->sendScheduleTable());

        QCOMPARE(Shown(f.ui), QStringList{Error(FileError, Missing(tried))});
        QCOMPARE(f.ui.messages.first().detail,
                 fileTooLargeReason(MaxTextFileSize + 1, MaxTextFileSize));
        QVERIFY(f.sim.framesReceived().isEmpty());
    }

    void missingFile_data() {
        QTest::addColumn<bool>("withChannelFile");
        QTest::newRow("no channel file chosen") << false;
        QTest::newRow("no .sch beside the channel file") << true;
    }

    void missingFile() {
        QFETCH(bool, withChannelFile);
        DeviceFixture f;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        CurrentDirGuard cwd(dir.path());
        QVERIFY(cwd.ok());
        f.config.deviceModel = text::ModelSingle;
        if (withChannelFile) {
            f.config.channelFileName = dir.filePath(QStringLiteral("paging.chn"));
            QVERIFY(WriteFile(f.config.channelFileName, "channels\r\n"));
        }
        const QString tried = QStringLiteral("SchedulingFile.dat");

        QVERIFY(!f.procedures->sendScheduleTable());

        QCOMPARE(Shown(f.ui), QStringList{Error(FileError, Missing(tried))});
        QCOMPARE(f.ui.messages.first().text,
                 QStringLiteral("\"SchedulingFile.dat\"时序表文件不存在！"));
        QVERIFY(f.sim.framesReceived().isEmpty());
        QVERIFY(!f.ui.busy);
    }

    void fallbackInCurrentDirectory() {
        DeviceFixture f;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        CurrentDirGuard cwd(dir.path());
        QVERIFY(cwd.ok());
        f.config.deviceModel = text::ModelSingle;
        f.config.resetPortTable();
        QVERIFY(
            WriteFile(QStringLiteral("SchedulingFile.dat"), ScheduleFileBytes(CountingEntries(3))));

        QVERIFY(f.procedures->sendScheduleTable());

        QCOMPARE(Hex(f.sim.state().scheduleBlocks.at(0)), Hex(CountingBlock(0, 3)));
    }

    void fileBesideChannelFileWins() {
        DeviceFixture f;
        QTemporaryDir dir;
        CurrentDirGuard cwd(dir.path());
        QVERIFY(cwd.ok());
        f.config.deviceModel = text::ModelSingle;
        f.config.resetPortTable();
        QVERIFY(ScheduleBeside(dir, f.config, ScheduleFileBytes(CountingEntries(5))));
        QVERIFY(WriteFile(QStringLiteral("SchedulingFile.dat"),
                          ScheduleFileBytes(CountingEntries(100))));

        QVERIFY(f.procedures->sendScheduleTable());

        QCOMPARE(f.sim.state().scheduleBlocks.size(), std::size_t(1));
        QCOMPARE(Hex(f.sim.state().scheduleBlocks.at(0)), Hex(CountingBlock(0, 5)));
    }

    // The block number is one byte: a longer table is refused before any block goes,
    // by write-all before any section is written.
    void oversizedTableIsRefused_data() {
        QTest::addColumn<bool>("writeAll");
        QTest::newRow("schedule alone") << false;
        QTest::newRow("write-all") << true;
    }
    void oversizedTableIsRefused() {
        QFETCH(bool, writeAll);
        DeviceFixture f;
        QTemporaryDir dir;
        f.config.deviceModel = text::ModelSingle;
        f.config.resetPortTable();
        QVERIFY(ScheduleBeside(dir, f.config,
                               ScheduleFileBytes(CountingEntries(int(MaxScheduleEntries) + 1))));

        QVERIFY(writeAll ? !f.procedures->writeAll(1, 1) : !f.procedures->sendScheduleTable());

        QStringList shown{Error(FileError, QStringLiteral("时序表有16385项，超过了设备所能接收的"
                                                          "16384项，未发送。"))};
        if (writeAll)
            shown.append(QStringLiteral("Orlendis | 写入失败！ | info"));
        QCOMPARE(Shown(f.ui), shown);
        QVERIFY(f.sim.framesReceived().isEmpty());
        QVERIFY(!f.ui.busy);
    }

    // Under control mode each accepted block is followed by a pause; the device stops
    // answering after block 10, so block 11 fails and is named in decimal.
    void blockWithoutAnswer() {
        DeviceFixture f;
        WireOperator ui(f.sim);
        DeviceProcedures procedures(f.config, f.transport, ui);
        ui.observe(procedures, f.config);
        QTemporaryDir dir;
        f.config.deviceModel = text::ModelSingle;
        f.config.controlMode = true;
        f.config.resetPortTable();
        QVERIFY(ScheduleBeside(dir, f.config, ScheduleFileBytes(CountingEntries(20 * 64))));
        ui.onPause = [&](qsizetype pauses) {
            if (pauses == 11)
                f.sim.setFaults(sim::SimulatorFaults::ignoring({0x87}));
        };

        QVERIFY(!procedures.sendScheduleTable());

        QCOMPARE(Shown(ui), QStringList{Error(QStringLiteral("时序表参数通讯错误11"), NoAnswer)});
        QCOMPARE(f.sim.framesReceived().size(), 12);
        QCOMPARE(ui.pauses, QList<int>(11, 3000));
        QCOMPARE(ui.framesAtPause.last(), qsizetype(11));
        QCOMPARE(f.sim.state().scheduleBlocks.size(), std::size_t(11));
        QVERIFY(!ui.busy);
    }

    void nonIntegerPortNumberRaises_data() {
        QTest::addColumn<bool>("writeAll");
        QTest::newRow("SendScheduleTable") << false;
        QTest::newRow("WriteAll, before any section") << true;
    }

    void nonIntegerPortNumberRaises() {
        QFETCH(bool, writeAll);
        DeviceFixture f;
        QTemporaryDir dir;
        f.config.deviceModel = text::ModelSingle;
        f.config.resetPortTable();
        f.config.ports[4].portNumber = QStringLiteral("5x");
        QVERIFY(ScheduleBeside(dir, f.config, ScheduleFileBytes(CountingEntries(10))));

        try {
            if (writeAll)
                f.procedures->writeAll(1, 1);
            else
                f.procedures->sendScheduleTable();
            QFAIL("no error raised");
        } catch (const KorvaneError& e) {
            QCOMPARE(e.message(), QStringLiteral("'5x' is not a valid integer value"));
        }
        QVERIFY(f.sim.framesReceived().isEmpty());
        QVERIFY(f.ui.messages.isEmpty());
        QVERIFY(!f.ui.busy);
        QCOMPARE(f.ui.busyChanges, 2);
    }
};

QTEST_GUILESS_MAIN(TestScheduleTransfer)
#include "test_schedule_transfer.moc"
