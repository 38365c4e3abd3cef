// SPDX-License-Identifier: MIT
#include "files/Cp936.h"

#include <QtTest>

using namespace korvane;

class TestCp936 : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("GBK text") << QByteArray("\xD6\xD0\xCE\xC4 A1") << QStringLiteral("中文 A1");
        QTest::newRow("euro") << QByteArray("\x80") << QStringLiteral("\u20AC");
        QTest::newRow("0xFF") << QByteArray("1\xFF") << QStringLiteral("1\uF8F5");
        QTest::newRow("trailing lone lead byte")
            << QByteArray("1\xD6") << QStringLiteral("1\uF7D6");
        QTest::newRow("lone lead byte before a non-trail byte")
            << QByteArray("\x81\x30\xFE\x7F") << QStringLiteral("\uF781\x30\uF7FE\x7F");
        QTest::newRow("lone lead byte before 0xFF")
            << QByteArray("\xD6\xFF\xD6") << QStringLiteral("\uF7D6\uF8F5\uF7D6");
        QTest::newRow("empty") << QByteArray() << QString();
    }

    void roundTrip() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(fromCp936(bytes), text);
        QCOMPARE(toCp936(text), bytes);
    }
};

QTEST_GUILESS_MAIN(TestCp936)
#include "test_cp936.moc"
