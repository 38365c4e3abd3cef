// SPDX-License-Identifier: MIT
// Every program prints the one version number of the build and names its licence, the
// window program too when there is no display.

#include <QProcess>
#include <QtTest>

class TestVersion : public QObject {
    Q_OBJECT
private slots:
    void printsVersion_data() {
        QTest::addColumn<QString>("program");
        QTest::newRow("korvane") << QStringLiteral(KORVANE_EXECUTABLE);
        QTest::newRow("korvanectl") << QStringLiteral(KORVANECTL_EXECUTABLE);
        QTest::newRow("korvane-sim") << QStringLiteral(KORVANE_SIM_EXECUTABLE);
    }

    void printsVersion() {
        QFETCH(QString, program);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program, {QStringLiteral("--version")});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        const QString expected =
            QStringLiteral("%1 %2\n").arg(QFileInfo(program).fileName(), KORVANE_VERSION) +
            QStringLiteral("Copyright (C) 2026 the Korvane configuration tool developers.\n"
                           "License MIT: The MIT License <https://spdx.org/licenses/MIT.html>.\n");
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), expected);
    }
};

QTEST_GUILESS_MAIN(TestVersion)
#include "test_version.moc"
