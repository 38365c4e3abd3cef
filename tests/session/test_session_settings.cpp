// SPDX-License-Identifier: MIT
// What KORVANE.INI holds for a session: the values both programs take, and what is
// wrong with a value (the window goes on with the default, korvanectl refuses).

#include "files/IniFile.h"
#include "session/PortSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace korvane;

class TestSessionSettings : public QObject {
    Q_OBJECT
private slots:
    void lineSettings_data() {
        QTest::addColumn<QByteArray>("keys"); // the lines after [Setting]
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<int>("parity");
        QTest::addColumn<QStringList>("problems");
        QTest::newRow("missing keys") << QByteArray() << 9600 << 0 << QStringList{};
        QTest::newRow("in range") << QByteArray("BaudRate=19200\r\nParity=2\r\n") << 19200 << 2
                                  << QStringList{};
        QTest::newRow("hexadecimal, as the profile rule reads it")
            << QByteArray("BaudRate=0x4B00\r\n") << 19200 << 0 << QStringList{};
        QTest::newRow("no number") << QByteArray("BaudRate=fast\r\n") << 9600 << 0
                                   << QStringList{QStringLiteral("BaudRate=fast 不是数字")};
        QTest::newRow("parity out of range")
            << QByteArray("Parity=9\r\n") << 9600 << 0
            << QStringList{QStringLiteral("Parity=9 不在0至4之间")};
        QTest::newRow("no bit rate, as the file has it")
            << QByteArray("BaudRate=0\r\n") << 0 << 0
            << QStringList{QStringLiteral("BaudRate=0 不在1至4000000之间")};
        QTest::newRow("each key told, in order")
            << QByteArray("StopBits=3\r\nByteSize=x\r\n") << 9600 << 0
            << QStringList{QStringLiteral("ByteSize=x 不是数字"),
                           QStringLiteral("StopBits=3 不在0至2之间")};
    }
    void lineSettings() {
        QFETCH(QByteArray, keys);
        QFETCH(int, baudRate);
        QFETCH(int, parity);
        QFETCH(QStringList, problems);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("KORVANE.INI"));
        QFile file(path);
        const QByteArray bytes = "[Setting]\r\nCommName=COM2\r\n" + keys;
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const SessionSettings s = SessionSettings::readFile(path);
        QCOMPARE(s.port.commName, QStringLiteral("COM2"));
        QCOMPARE(int(s.port.baudRate), baudRate);
        QCOMPARE(int(s.port.parity), parity);
        QCOMPARE(s.problems, problems);
    }
};

QTEST_GUILESS_MAIN(TestSessionSettings)
#include "test_session_settings.moc"
