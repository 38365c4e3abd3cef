// SPDX-License-Identifier: MIT
#include "SimTestUtil.h"
#include "sim/SimulatorOptions.h"
#include "sim/StateFile.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace korvane;
using namespace korvane::sim;
using namespace simtest;

namespace {

bool writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

QStringList args(std::initializer_list<const char*> list) {
    QStringList out{QStringLiteral("korvane-sim")};
    for (const char* a : list)
        out << QString::fromUtf8(a);
    return out;
}

} // namespace

class TestSimStateFile : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data() {
        QTest::addColumn<bool>("ab");
        QTest::newRow("KORVANE") << false;
        QTest::newRow("KORVANEA/B") << true;
    }

    void roundTrip() {
        QFETCH(bool, ab);
        DeviceState s = DeviceState::initial(ab ? Model::KorvaneAB : Model::Korvane);
        s.address = 0xABCDEF;
        s.serialNumber = 0xFFFFFFFF;
        s.gps = bytes({0xAA, 0x7E});
        s.trunk = range(1, 5);
        s.trunkDelay = range(0x7A, 0x80);
        s.scheduleBlocks[0] = range(0, 63);
        s.scheduleBlocks[200] = repeated(64, 0xFF);

        DeviceState read; // starts as the other model: every field must come from the text
        read.setModel(ab ? Model::Korvane : Model::KorvaneAB);
        QString error;
        QVERIFY2(applyStateText(stateText(s), read, &error), qPrintable(error));
        QVERIFY(read == s);
    }

    void partialText() {
        DeviceState s;
        const DeviceState before = s;
        QString error;
        const QString text =
            QStringLiteral("# only the GPS and a block\n\n"
                           "  GPS = aa55   # lower case, no spaces\n"
                           "block 7 = %1\n")
                .arg(QString(64, QLatin1Char('0')) + QString(64, QLatin1Char('1')));
        QVERIFY2(applyStateText(text, s, &error), qPrintable(error));
        QCOMPARE(hex(s.gps), hex(bytes({0xAA, 0x55})));
        QCOMPARE(hex(s.scheduleBlocks.at(7)),
                 hex(concat({repeated(32, 0x00), repeated(32, 0x11)})));
        s.gps = before.gps;
        s.scheduleBlocks.clear();
        QVERIFY(s == before);
    }

    void modelAppliesBeforePorts() {
        DeviceState s;
        QString error;
        const QString ports = QString::fromLatin1(hex(repeated(89, 0x22)));
        QVERIFY2(applyStateText(
                     QStringLiteral("ports = %1\nmodel = korvanea/b\naddress = 0x7e\n").arg(ports),
                     s, &error),
                 qPrintable(error));
        QCOMPARE(s.model, Model::KorvaneAB);
        QCOMPARE(s.address, 0x7Eu);
        QCOMPARE(hex(s.portParams), hex(concat({repeated(89, 0x22), repeated(72, 0x00)})));
    }

    void errors_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("short gps") << "gps = 55"
                                   << "line 1: gps needs 2 bytes, got 1";
        QTest::newRow("bad hex") << "\n# c\ngps = 5G 00"
                                 << "line 3: gps needs hex bytes";
        QTest::newRow("odd digits") << "trunk = 55 AA 55 55 5"
                                    << "line 1: trunk needs hex bytes";
        QTest::newRow("unknown key") << "colour = 1"
                                     << "line 1: unknown key \"colour\"";
        QTest::newRow("no equals") << "address 5"
                                   << "line 1: expected \"key = value\"";
        QTest::newRow("address too big") << "address = 16777216"
                                         << "line 1: address must be a number of 24 bits";
        QTest::newRow("negative serial") << "serial = -1"
                                         << "line 1: serial must be a number of 32 bits";
        QTest::newRow("serial too big") << "serial = 0x100000000"
                                        << "line 1: serial must be a number of 32 bits";
        QTest::newRow("model") << "gps = 55 55\nmodel = KORVANEC"
                               << "line 2: model must be KORVANE or KORVANEA/B";
        QTest::newRow("ports length") << "ports = 00 01"
                                      << "line 1: ports needs 89 or 161 hex bytes";
        QTest::newRow("block number") << "block 256 = 00"
                                      << "line 1: block number must be 0 to 255";
        QTest::newRow("block length") << "block 1 = 00"
                                      << "line 1: block 1 needs 64 bytes, got 1";
        QTest::newRow("block without number") << "block = 00"
                                              << "line 1: block number must be 0 to 255";
    }

    void errors() {
        QFETCH(QString, text);
        QFETCH(QString, message);
        DeviceState s;
        s.gps = bytes({0x01, 0x02});
        const DeviceState before = s;
        QString error;
        QVERIFY(!applyStateText(text + QStringLiteral("\ngps = AA AA\n"), s, &error));
        QCOMPARE(error, message);
        QVERIFY(s == before);
    }

    void loadFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("state.txt");
        DeviceState s;
        QString error;
        QVERIFY(!loadStateFile(path, s, &error));
        QVERIFY2(error.startsWith(path), qPrintable(error));
        QVERIFY(writeFile(path, "serial = 42\r\naddress = 7\r\n"));
        QVERIFY2(loadStateFile(path, s, &error), qPrintable(error));
        QCOMPARE(s.serialNumber, 42u);
        QCOMPARE(s.address, 7u);
    }

    void oversizedFileIsRefusedUnread() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("big.txt");
        QVERIFY(writeFile(path, "serial = 42\n" + QByteArray(MaxStateFileSize, '\n')));
        DeviceState s;
        const DeviceState before = s;
        QString error;
        QVERIFY(!loadStateFile(path, s, &error));
        QVERIFY2(error.startsWith(path) && error.contains("too large"), qPrintable(error));
        QVERIFY(s == before);
    }

    void codeList_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QList<int>>("codes");
        QTest::newRow("two") << "28,87" << true << QList<int>{0x28, 0x87};
        QTest::newRow("0x and spaces") << " 0x38 , 7" << true << QList<int>{0x07, 0x38};
        QTest::newRow("too wide") << "1FF" << false << QList<int>{};
        QTest::newRow("not hex") << "2G" << false << QList<int>{};
        QTest::newRow("empty item") << "28,,38" << false << QList<int>{};
        QTest::newRow("empty") << "" << false << QList<int>{};
    }

    void codeList() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QList<int>, codes);
        const auto parsed = parseCodeList(text);
        QCOMPARE(parsed.has_value(), ok);
        if (ok) {
            QList<int> got;
            for (auto c : *parsed)
                got << c;
            QCOMPARE(got, codes);
        }
    }

    void arguments() {
        QTemporaryDir dir;
        const QString state = dir.filePath("s.txt");
        QVERIFY(writeFile(state, "model = KORVANEA/B\naddress = 9\n"));

        ParsedArguments p = parseArguments(args({}));
        QCOMPARE(p.outcome, ParsedArguments::Outcome::Run);
        QVERIFY(p.options.state == DeviceState{});
        QVERIFY(p.options.faults == SimulatorFaults{});
        QCOMPARE(p.options.baud, 0);

        p = parseArguments(
            args({"--model", "KORVANEA/B", "--baud", "9600", "--reply-delay-ms", "20", "--split-ms",
                  "150", "--ignore", "28,0x87", "--bad-end", "--wrong-length", "--silent", "--log",
                  "/tmp/x.log", "--link", "/tmp/ttyX", "--ignore-writes"}));
        QCOMPARE(p.outcome, ParsedArguments::Outcome::Run);
        QVERIFY(p.options.state == DeviceState::initial(Model::KorvaneAB));
        QCOMPARE(p.options.baud, 9600);
        QCOMPARE(p.options.replyDelayMs, 20);
        QCOMPARE(p.options.faults.splitMs, 150);
        QVERIFY((p.options.faults.ignoredCodes == std::set<std::uint8_t>{0x28, 0x87}));
        QVERIFY(p.options.faults.badEnd);
        QVERIFY(p.options.faults.silent);
        QVERIFY(p.options.faults.ignoreWrites);
        QCOMPARE(p.options.faults.wrongLength, SimulatorFaults::Length::OneLonger);
        QCOMPARE(p.options.logFile, QStringLiteral("/tmp/x.log"));
        QCOMPARE(p.options.linkPath, QStringLiteral("/tmp/ttyX"));

        p = parseArguments(args({"--wrong-length-short"}));
        QCOMPARE(p.options.faults.wrongLength, SimulatorFaults::Length::OneShorter);

        // --model wins over the file's model; the rest of the file stays.
        p = parseArguments(QStringList{"korvane-sim", "--state", state, "--model", "KORVANE"});
        QCOMPARE(p.outcome, ParsedArguments::Outcome::Run);
        QCOMPARE(p.options.state.model, Model::Korvane);
        QCOMPARE(p.options.state.address, 9u);
        QCOMPARE(p.options.state.portParams.size(), PortPayloadLengthKorvane);
    }

    void argumentErrors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("baud 0") << args({"--baud", "0"}) << "--baud";
        QTest::newRow("baud text") << args({"--baud", "fast"}) << "--baud";
        QTest::newRow("negative delay") << args({"--reply-delay-ms", "-1"}) << "--reply-delay-ms";
        QTest::newRow("split text") << args({"--split-ms", "x"}) << "--split-ms";
        QTest::newRow("ignore") << args({"--ignore", "1FF"}) << "--ignore";
        QTest::newRow("model") << args({"--model", "KORVANEC"}) << "--model";
        QTest::newRow("both lengths")
            << args({"--wrong-length", "--wrong-length-short"}) << "--wrong-length";
        QTest::newRow("unknown option") << args({"--fast"}) << "fast";
        QTest::newRow("missing value") << args({"--baud"}) << "baud";
        QTest::newRow("positional") << args({"extra"}) << "extra";
        QTest::newRow("missing state file")
            << args({"--state", "/nonexistent/s.txt"}) << "/nonexistent/s.txt";
    }

    void argumentErrors() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, mentions);
        const ParsedArguments p = parseArguments(arguments);
        QCOMPARE(p.outcome, ParsedArguments::Outcome::Error);
        QVERIFY2(p.text.contains(mentions), qPrintable(p.text));
    }

    void help() {
        const ParsedArguments p = parseArguments(args({"--help"}));
        QCOMPARE(p.outcome, ParsedArguments::Outcome::Help);
        for (const char* option :
             {"--model", "--state", "--link", "--log", "--reply-delay-ms", "--baud", "--silent",
              "--ignore", "--ignore-writes", "--split-ms", "--bad-end", "--wrong-length",
              "--wrong-length-short", "--help"})
            QVERIFY2(p.text.contains(QLatin1String(option)), option);
        for (const char* key :
             {"model", "address", "serial", "ports", "gps", "trunk", "delay", "block N"})
            QVERIFY2(p.text.contains(QStringLiteral("  %1 ").arg(QLatin1String(key))), key);
    }
};

QTEST_GUILESS_MAIN(TestSimStateFile)
#include "test_sim_state_file.moc"
