// SPDX-License-Identifier: MIT
// The port settings dialog's port list: the ports that are there, followed while the
// dialog is open, and the search for the device.

#include "config/KorvaneError.h"
#include "link/PortListing.h"
#include "link/SimulatorLinks.h"
#include "session/DeviceFinder.h"
#include "sim/PtyPair.h"
#include "sim/SimulatorHost.h"
#include "tests/support/Child.h"
#include "tests/support/DeviceFixture.h"
#include "ui/PortSettingsDialog.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace korvane;
using namespace korvane::test;

namespace {

// Plugging shows within about a second; the bound leaves room for a loaded machine.
constexpr int FollowTimeoutMs = 5000;

// A running simulator as port lists see it: announced while it runs. "silent" is a
// link nobody answers on.
class Simulated {
public:
    explicit Simulated(const QString& model) {
        QString error;
        if (model == QLatin1String("silent")) {
            if (!m_silent.open(&error))
                qFatal("no pty: %s", qPrintable(error));
            port = m_silent.slavePath();
        } else {
            port = m_sim.start(ModelOptions(*sim::modelFromLabel(model)));
            if (port.isEmpty())
                qFatal("simulator did not start: %s", qPrintable(m_sim.errorString()));
        }
        m_announcement = std::make_unique<SimulatorAnnouncement>(port, model);
        if (!m_announcement->isAnnounced())
            qFatal("not announced: %s", qPrintable(m_announcement->errorString()));
    }
    void stop() {
        m_announcement.reset();
        m_sim.stop();
        m_silent.close();
    }
    QString listText() const {
        for (const DetectedPort& p : detectedPorts())
            if (p.systemPath == port)
                return portListText(p);
        return {};
    }

    QString port;

private:
    sim::SimulatorHost m_sim;
    sim::PtyPair m_silent;
    std::unique_ptr<SimulatorAnnouncement> m_announcement;
};

struct DialogFixture {
    explicit DialogFixture(const QString& commName = QStringLiteral("COM2")) {
        PortSettings settings;
        settings.commName = commName;
        dialog.setSettings(settings);
        dialog.setErrorPresenter([this](const QString& m) { errors.append(m); });
        Child<DeviceFinder>(dialog, "deviceFinder")->setTimeLimitMs(TestTimeLimitMs);
        dialog.show();
    }
    QComboBox* port() { return Child<QComboBox>(dialog, "portCombo"); }
    QPushButton* find() { return Child<QPushButton>(dialog, "findButton"); }
    QString status() { return Child<QLabel>(dialog, "findStatusLabel")->text(); }

    PortSettingsDialog dialog;
    QStringList errors;
};

} // namespace

class TestPortSettingsDialog : public QObject {
    Q_OBJECT
    QTemporaryDir m_runtime;

private slots:
    void initTestCase() {
        // Only this test's simulators are listed.
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }

    // The stored name is shown as stored and an untouched OK keeps it, also where an
    // entry opens the same port under another name (no port is opened here).
    void untouchedOkKeepsTheStoredName_data() {
        QTest::addColumn<QString>("stored");
        QTest::newRow("the second fixed entry's path") << "/dev/ttyS1";
        QTest::newRow("the first fixed entry's path") << "/dev/ttyS0";
        QTest::newRow("a fixed entry") << "COM2";
        QTest::newRow("a port not on the machine") << "COM9";
    }

    void untouchedOkKeepsTheStoredName() {
        QFETCH(QString, stored);
        DialogFixture f(stored);
        QCOMPARE(f.port()->currentText(), stored);
        Child<QPushButton>(f.dialog, "okButton")->click();
        QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.dialog.settings().commName, stored);
    }

    void followsPlugging() {
        DialogFixture f;
        QComboBox* port = f.port();
        QCOMPARE(port->currentText(), QStringLiteral("COM2"));
        QLineEdit* edit = port->lineEdit();
        edit->setText(QStringLiteral("/dev/ttyUSB7"));
        edit->setCursorPosition(5);

        QElapsedTimer clock;
        clock.start();
        Simulated a(QStringLiteral("KORVANE"));
        QTRY_VERIFY_WITH_TIMEOUT(port->findData(a.port) >= 0, FollowTimeoutMs);
        qInfo("a started simulator is listed after %lld ms", clock.elapsed());
        QCOMPARE(port->itemText(port->findData(a.port)), a.listText());
        QCOMPARE(edit->text(), QStringLiteral("/dev/ttyUSB7"));
        QCOMPARE(edit->cursorPosition(), 5);

        port->setCurrentIndex(port->findData(a.port));
        const QString chosen = port->currentText();
        edit->setCursorPosition(3);
        Simulated b(QStringLiteral("KORVANEA/B"));
        QTRY_VERIFY_WITH_TIMEOUT(port->findData(b.port) >= 0, FollowTimeoutMs);
        QCOMPARE(port->currentText(), chosen);
        QCOMPARE(edit->cursorPosition(), 3);
        QCOMPARE(port->currentData().toString(), a.port);

        // The chosen port goes: its text stays, and OK stores the port it names.
        clock.restart();
        a.stop();
        QTRY_VERIFY_WITH_TIMEOUT(port->findData(a.port) < 0, FollowTimeoutMs);
        qInfo("an ended simulator leaves the list after %lld ms", clock.elapsed());
        QCOMPARE(port->currentText(), chosen);
        QVERIFY(port->findData(b.port) >= 0);
        QCOMPARE(port->itemText(0), QStringLiteral("COM1"));
        QCOMPARE(port->itemText(1), QStringLiteral("COM2"));
        Child<QPushButton>(f.dialog, "okButton")->click();
        QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.dialog.settings().commName, a.port);
    }

    void findsTheDevice_data() {
        QTest::addColumn<QStringList>("links");
        QTest::addColumn<QStringList>("answering"); // what the entries are marked with
        QTest::addColumn<bool>("held");             // the settings' port, the first, is held open
        QTest::addColumn<QString>("status");
        QTest::newRow("one") << QStringList{"silent", "KORVANEA/B"} << QStringList{"", "KORVANEA/B"}
                             << false << QStringLiteral("找到设备KORVANEA/B：{1}");
        QTest::newRow("several") << QStringList{"KORVANE", "silent", "KORVANEA/B"}
                                 << QStringList{"KORVANE", "", "KORVANEA/B"} << false
                                 << QStringLiteral("找到2台设备，已选第一台");
        QTest::newRow("none") << QStringList{"silent"} << QStringList{""} << false
                              << QStringLiteral("没有找到设备");
        QTest::newRow("held") << QStringList{"KORVANE"} << QStringList{""} << true
                              << QStringLiteral("没有找到设备（{0}打不开：{reason}）");
    }

    void findsTheDevice() {
        QFETCH(QStringList, links);
        QFETCH(QStringList, answering);
        QFETCH(bool, held);
        QFETCH(QString, status);
        std::vector<std::unique_ptr<Simulated>> sims;
        for (const QString& model : links)
            sims.push_back(std::make_unique<Simulated>(model));
        // As the window holds its port: a second open is refused, for this reason.
        SerialPort window;
        if (held) {
            window.setCommName(sims.front()->port);
            window.openPort();
            try {
                SerialPort second;
                second.setCommName(sims.front()->port);
                second.openPort();
                QFAIL("a held port opened twice");
            } catch (const KorvaneError& e) {
                status.replace(QStringLiteral("{reason}"), e.reason());
            }
        }
        DialogFixture f(sims.front()->port);
        QComboBox* port = f.port();
        for (const auto& s : sims)
            QVERIFY(port->findData(s->port) >= 0);
        f.find()->click();
        QCOMPARE(f.find()->text(), QStringLiteral("取消"));
        QTRY_COMPARE_WITH_TIMEOUT(f.find()->text(), QStringLiteral("查找设备"),
                                  TestTimeLimitMs + FollowTimeoutMs);

        int first = -1;
        for (std::size_t i = 0; i < sims.size(); ++i) {
            const int at = port->findData(sims[i]->port);
            const QString model = answering.at(int(i));
            QCOMPARE(port->itemText(at),
                     model.isEmpty() ? sims[i]->listText()
                                     : sims[i]->listText() + QStringLiteral(" [%1]").arg(model));
            if (!model.isEmpty() && (first < 0 || at < first))
                first = at;
            status.replace(QStringLiteral("{%1}").arg(i), sims[i]->port);
        }
        // The first found is chosen; with none the field still shows the stored name.
        if (first >= 0)
            QCOMPARE(port->currentIndex(), first);
        else
            QCOMPARE(port->currentText(), sims.front()->port);
        QCOMPARE(f.status(), status);
    }

    // A bad bit rate is refused as OK refuses it, and nothing is probed.
    void findRefusesABadBitRate() {
        Simulated a(QStringLiteral("KORVANE"));
        DialogFixture f;
        Child<QComboBox>(f.dialog, "baudRateCombo")->setCurrentText(QStringLiteral("96OO"));
        f.find()->click();
        QCOMPARE(f.errors, QStringList{QStringLiteral("'96OO' is not a valid integer value")});
        QVERIFY(!Child<DeviceFinder>(f.dialog, "deviceFinder")->isRunning());
        QCOMPARE(f.find()->text(), QStringLiteral("查找设备"));
    }

    // The button and the dialog's Cancel stop a search, the ports closed again.
    void findCanBeCancelled() {
        Simulated silent(QStringLiteral("silent"));
        DialogFixture f;
        auto* finder = Child<DeviceFinder>(f.dialog, "deviceFinder");
        finder->setTimeLimitMs(CommandTransport::ResponseTimeLimitMs);
        f.find()->click();
        QVERIFY(finder->isRunning());
        f.find()->click();
        QVERIFY(!finder->isRunning());
        QCOMPARE(f.status(), QStringLiteral("已取消查找"));

        f.find()->click();
        QVERIFY(finder->isRunning());
        Child<QPushButton>(f.dialog, "cancelButton")->click();
        QVERIFY(!finder->isRunning());
        QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
        SerialPort again;
        again.setCommName(silent.port);
        again.openPort();
    }
};

QTEST_MAIN(TestPortSettingsDialog)
#include "test_port_settings_dialog.moc"
