// SPDX-License-Identifier: MIT
// The network ports used before, as the settings file keeps them for the port dialog.
#include "files/IniFile.h"
#include "session/DeviceSession.h"
#include "session/RecentPorts.h"
#include "tests/support/RecordingOperator.h"
#include "tests/support/Ser2NetServer.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace korvane;

class TestRecentPorts : public QObject {
    Q_OBJECT
private slots:
    void withRecentPort_data() {
        QTest::addColumn<QStringList>("recent");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");
        const QString a = QStringLiteral("rfc2217://127.0.0.1:4000");
        const QString b = QStringLiteral("socket://127.0.0.1:4001");
        QTest::addRow("first") << QStringList{} << a << QStringList{a};
        QTest::addRow("newest first") << QStringList{a} << b << QStringList{b, a};
        QTest::addRow("used again moves up") << QStringList{b, a} << a << QStringList{a, b};
        QTest::addRow("blanks dropped") << QStringList{a} << " " + b + " " << QStringList{b, a};
        QTest::addRow("local port not kept") << QStringList{a} << "/dev/ttyUSB0" << QStringList{a};
        QTest::addRow("separator not kept") << QStringList{a} << "socket://x|y:1" << QStringList{a};
        QStringList full;
        for (int i = 0; i < MaxRecentPorts; ++i)
            full.append(QStringLiteral("socket://host%1:4000").arg(i));
        QStringList shifted = full.mid(0, MaxRecentPorts - 1);
        shifted.prepend(a);
        QTest::addRow("oldest dropped") << full << a << shifted;
    }
    void withRecentPort() {
        QFETCH(QStringList, recent);
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        QCOMPARE(korvane::withRecentPort(recent, name), expected);
    }

    // Storing the port's keys remembers a network port in RecentPorts, beside CommName.
    void storedWithThePortKeys() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("KORVANE.INI"));
        test::RecordingOperator ui;
        DeviceSession session(ui);
        session.useSettingsFile(path);
        // Ports nothing listens on: each open is refused at once.
        const auto free = test::Ser2NetServer::freePorts(2);
        const QString raw = QStringLiteral("socket://127.0.0.1:%1").arg(free.at(0));
        const QString telnet = QStringLiteral("rfc2217://127.0.0.1:%1").arg(free.at(1));
        for (const QString& name : {raw, QStringLiteral("/dev/korvane-no-such-port"), telnet}) {
            PortSettings settings = session.portSettings();
            settings.commName = name;
            try {
                session.setPortSettings(settings); // it stays closed
            } catch (const KorvaneError&) {
            }
            session.storePortSettings();
        }
        const QStringList expected{telnet, raw};
        QCOMPARE(session.recentPorts(), expected);
        const IniFile ini(path);
        QCOMPARE(ini.readString(QStringLiteral("Setting"), QStringLiteral("RecentPorts"), {}),
                 expected.join(u'|'));
        QCOMPARE(ini.readString(QStringLiteral("Setting"), QStringLiteral("CommName"), {}),
                 expected.first());
    }
};

QTEST_GUILESS_MAIN(TestRecentPorts)
#include "test_recent_ports.moc"
