// SPDX-License-Identifier: MIT
#include "PtyDevice.h"
#include "link/PortListing.h"
#include "link/SimulatorLinks.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace korvane;

namespace {

const QString Simulator = QStringLiteral(KORVANE_SIM_EXECUTABLE);

QStringList simulatorTexts() {
    QStringList texts;
    for (const DetectedPort& port : detectedPorts()) {
        if (port.simulator)
            texts.append(portListText(port));
    }
    return texts;
}

bool startSimulator(QProcess& process, const QStringList& arguments) {
    process.start(Simulator, arguments);
    return process.waitForStarted(10000) && process.waitForReadyRead(10000);
}

// For one test, a runtime folder of its own, empty; the program's own comes back after.
class FreshRuntimeFolder {
public:
    FreshRuntimeFolder() : m_previous(qgetenv("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_folder.path()));
    }
    ~FreshRuntimeFolder() { qputenv("XDG_RUNTIME_DIR", m_previous); }
    FreshRuntimeFolder(const FreshRuntimeFolder&) = delete;
    FreshRuntimeFolder& operator=(const FreshRuntimeFolder&) = delete;
    bool isValid() const { return m_folder.isValid(); }
    QString filePath(const QString& name) const { return m_folder.filePath(name); }
    QString path() const { return m_folder.path(); }

private:
    QByteArray m_previous;
    QTemporaryDir m_folder;
};

} // namespace

class TestPortListing : public QObject {
    Q_OBJECT
private slots:
    void listText_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("manufacturer");
        QTest::addColumn<QString>("text");
        QTest::newRow("adapter") << "USB-Serial Controller"
                                 << "FTDI"
                                 << "ttyUSB0 — USB-Serial Controller (FTDI)";
        QTest::newRow("no manufacturer") << "USB-Serial Controller"
                                         << ""
                                         << "ttyUSB0 — USB-Serial Controller";
        QTest::newRow("no description") << ""
                                        << "FTDI"
                                        << "ttyUSB0";
    }

    void listText() {
        QFETCH(QString, description);
        QFETCH(QString, manufacturer);
        QFETCH(QString, text);
        DetectedPort port;
        port.name = QStringLiteral("ttyUSB0");
        port.systemPath = QStringLiteral("/dev/ttyUSB0");
        port.description = description;
        port.manufacturer = manufacturer;
        QCOMPARE(portListText(port), text);
    }

    void stablePath_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("entry");
        QTest::newRow("relative link") << "ttyUSB0"
                                       << "usb-FTDI_FT232R_A1-if00-port0";
        QTest::newRow("first of two") << "ttyUSB1"
                                      << "usb-Prolific_1-if00";
        QTest::newRow("none") << "ttyACM0"
                              << "";
        QTest::newRow("missing port") << "ttyUSB9"
                                      << "";
    }

    void stablePath() {
        QFETCH(QString, port);
        QFETCH(QString, entry);
        QTemporaryDir dev;
        QVERIFY(dev.isValid());
        for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0"}) {
            QFile device(dev.filePath(name));
            QVERIFY(device.open(QIODevice::WriteOnly));
        }
        const QDir byId(dev.filePath("serial/by-id"));
        QVERIFY(QDir().mkpath(byId.path()));
        QVERIFY(QFile::link("../../ttyUSB0", byId.filePath("usb-FTDI_FT232R_A1-if00-port0")));
        QVERIFY(QFile::link(dev.filePath("ttyUSB1"), byId.filePath("usb-Prolific_2-if00")));
        QVERIFY(QFile::link(dev.filePath("ttyUSB1"), byId.filePath("usb-Prolific_1-if00")));
        QVERIFY(QFile::link(dev.filePath("ttyUSB9"), byId.filePath("usb-gone-if00")));
        QFile copy(byId.filePath("ttyACM0"));
        QVERIFY(copy.open(QIODevice::WriteOnly)); // a file of the same name, no link

        const QString expected = entry.isEmpty() ? QString() : byId.filePath(entry);
        QCOMPARE(stablePortPath(dev.filePath(port), byId.path()), expected);
    }

    // Running simulators are listed with their model; one killed is not, and one
    // stopped takes its announcement with it.
    void runningSimulators() {
        const FreshRuntimeFolder runtime;
        QVERIFY(runtime.isValid());
        const QString first = runtime.filePath("first");
        const QString second = runtime.filePath("second");
        QProcess killed;
        QProcess stopped;
        QVERIFY(startSimulator(killed, {"--link", first}));
        QVERIFY(startSimulator(stopped, {"--link", second, "--model", "KORVANEA/B"}));
        QTRY_COMPARE_WITH_TIMEOUT(simulatorTexts(),
                                  QStringList({first + " — 模拟器 KORVANE (korvane-sim)",
                                               second + " — 模拟器 KORVANEA/B (korvane-sim)"}),
                                  10000);

        QCOMPARE(::kill(pid_t(killed.processId()), SIGKILL), 0);
        QVERIFY(killed.waitForFinished(10000));
        QCOMPARE(simulatorTexts(), QStringList({second + " — 模拟器 KORVANEA/B (korvane-sim)"}));
        QCOMPARE(candidatePorts(false).filter(runtime.path()), QStringList({second}));

        const QDir announcements(simulatorLinkFolder());
        QCOMPARE(announcements.entryList(QDir::Files).size(), 2);
        stopped.terminate();
        QVERIFY(stopped.waitForFinished(10000));
        QCOMPARE(simulatorTexts(), QStringList());
        QCOMPARE(announcements.entryList(QDir::Files).size(), 1); // the killed one's
    }

    // A killed simulator's announcement whose process number and pty number came back
    // in use: the process is now another program, or a simulator that holds another
    // pty. The pty is neither listed nor offered to a search, which would write to it.
    void reusedAnnouncementLeftOut_data() {
        QTest::addColumn<bool>("bySimulator");
        QTest::newRow("another program") << false;
        QTest::newRow("a simulator without that pty") << true;
    }
    void reusedAnnouncementLeftOut() {
        QFETCH(bool, bySimulator);
        const FreshRuntimeFolder runtime;
        QVERIFY(runtime.isValid());
        const PtyDevice unrelated; // a terminal of this test, not of the process below
        QVERIFY(unrelated.IsValid());
        QProcess process;
        if (bySimulator) {
            QVERIFY(startSimulator(process, {}));
            // Its own link is listed: the process is one that counts.
            QTRY_COMPARE_WITH_TIMEOUT(simulatorTexts().size(), 1, 10000);
        } else {
            process.start(QStringLiteral("sleep"), {QStringLiteral("60")});
            QVERIFY(process.waitForStarted(10000));
        }
        const auto stop = qScopeGuard([&] {
            process.kill();
            process.waitForFinished(10000);
        });
        const QString folder = simulatorLinkFolder();
        QVERIFY(QDir().mkpath(folder));
        QSaveFile left(folder + QStringLiteral("/%1-9.link").arg(process.processId()));
        QVERIFY(left.open(QIODevice::WriteOnly));
        left.write("link=" + QFile::encodeName(unrelated.SlavePath()) +
                   "\nmodel=KORVANE\npid=" + QByteArray::number(process.processId()) + '\n');
        QVERIFY(left.commit());

        for (const DetectedPort& port : detectedPorts())
            QVERIFY2(port.systemPath != unrelated.SlavePath(), qPrintable(portListText(port)));
        QVERIFY(!candidatePorts(true).contains(unrelated.SlavePath()));
    }
};

QTEST_GUILESS_MAIN(TestPortListing)
#include "test_port_listing.moc"
