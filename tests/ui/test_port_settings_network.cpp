// SPDX-License-Identifier: MIT
// The port dialog and network ports: the ones used before offered, a socket:// port's
// line fields left to the device server, a malformed name refused.
#include "tests/support/Child.h"
#include "ui/PortSettingsDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

using namespace korvane;

class TestPortSettingsNetwork : public QObject {
    Q_OBJECT

    QTemporaryDir m_runtime; // the port list looks for simulators here

private slots:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path())); }

    void recentPortsOffered() {
        PortSettingsDialog dialog;
        PortSettings settings;
        settings.commName = QStringLiteral("socket://127.0.0.1:4001");
        dialog.setSettings(settings);
        const QStringList recent{settings.commName, QStringLiteral("rfc2217://rack-7:2001")};
        dialog.setRecentPorts(recent);
        dialog.show();
        auto* port = Child<QComboBox>(dialog, "portCombo");
        QCOMPARE(port->itemText(2), recent.at(0));
        QCOMPARE(port->itemText(3), recent.at(1));
        QCOMPARE(port->currentText(), settings.commName);
    }

    void lineFieldsFollowTheName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("serverSets");
        QTest::addRow("socket") << "socket://127.0.0.1:4001" << true;
        QTest::addRow("rfc2217") << "rfc2217://127.0.0.1:4000" << false;
        QTest::addRow("local") << "/dev/ttyUSB0" << false;
        QTest::addRow("socket, malformed") << "socket://127.0.0.1" << false;
    }
    void lineFieldsFollowTheName() {
        QFETCH(QString, name);
        QFETCH(bool, serverSets);
        PortSettingsDialog dialog;
        dialog.show();
        auto* port = Child<QComboBox>(dialog, "portCombo");
        port->setEditText(name);
        for (const char* field : {"baudRateCombo", "dataBitsCombo", "stopBitsCombo", "parityCombo"})
            QCOMPARE(Child<QComboBox>(dialog, field)->isEnabled(), !serverSets);
        auto* note = Child<QLabel>(dialog, "lineNoteLabel");
        QCOMPARE(note->isVisible(), serverSets);
        QVERIFY(note->text().contains(QStringLiteral("设备服务器")));
        port->setEditText(QStringLiteral("COM1"));
        QVERIFY(Child<QComboBox>(dialog, "baudRateCombo")->isEnabled());
        QVERIFY(!note->isVisible());
    }

    void malformedNameRefused() {
        PortSettingsDialog dialog;
        QStringList errors;
        dialog.setErrorPresenter([&](const QString& m) { errors.append(m); });
        dialog.show();
        Child<QComboBox>(dialog, "portCombo")->setEditText(QStringLiteral("rfc2217://host:0"));
        dialog.onOkClicked();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(QStringLiteral("不在 1 到 65535 之间")),
                 qPrintable(errors.first()));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
    }
};

QTEST_MAIN(TestPortSettingsNetwork)
#include "test_port_settings_network.moc"
