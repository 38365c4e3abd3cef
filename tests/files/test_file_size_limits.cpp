// SPDX-License-Identifier: MIT
// Every reader of the tool's files takes a file up to its size limit and refuses a
// larger one instead of reading it into memory.

#include "config/DeviceConfiguration.h"
#include "config/KorvaneError.h"
#include "files/ChannelFile.h"
#include "files/ConfigurationFile.h"
#include "files/FileHelpers.h"
#include "files/IniFile.h"
#include "files/ScheduleFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace korvane;

namespace {

// What a reader made of a file: the error it gave, or what it read.
using Reader = std::function<QString(const QString& path)>;

QString errorOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const KorvaneError& e) {
        return e.message();
    }
    return QString();
}

// The bytes padded with line ends to exactly size bytes.
QByteArray padded(QByteArray bytes, qint64 size) {
    while (bytes.size() + 2 <= size)
        bytes += "\r\n";
    if (bytes.size() < size)
        bytes += '\n';
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(Reader)

class TestFileSizeLimits : public QObject {
    Q_OBJECT
private slots:
    void limit_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<Reader>("reader");
        QTest::addColumn<QString>("atLimit"); // what the reader gives, "" for no error
        QTest::addColumn<QString>("overLimit");

        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("c.krv"));
        writeConfigurationFile(saved, DeviceConfiguration());
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString tooLarge = fileTooLargeReason(MaxTextFileSize + 1, MaxTextFileSize);

        QTest::newRow("configuration")
            << file.readAll() << MaxTextFileSize << QStringLiteral("c.krv")
            << Reader([](const QString& path) {
                   return errorOf([&] { readConfigurationFile(path); });
               })
            << QString() << tooLarge;
        QTest::newRow("channel") << QByteArray("Korvane\r\nchannels\r\n") << MaxTextFileSize
                                 << QStringLiteral("c.chn") << Reader([](const QString& path) {
                                        return errorOf([&] { readChannelFile(path); });
                                    })
                                 << QString() << tooLarge;
        QTest::newRow("schedule") << QByteArray("h1\r\nh2\r\nh3\r\n7\r\n") << MaxTextFileSize
                                  << QStringLiteral("c.sch") << Reader([](const QString& path) {
                                         QString refusal;
                                         QString reason;
                                         buildScheduleTable(path, PortTable(), &refusal, &reason);
                                         return refusal + reason;
                                     })
                                  << QString() << tooLarge;
        // A settings file: one too large reads as empty.
        QTest::newRow("channel delay")
            << QByteArray("[DELAY]\r\n7=123456\r\n") << MaxSettingsFileSize
            << QStringLiteral("c.ini") << Reader([](const QString& path) {
                   return channelDelay(replaceExtension(path, QStringLiteral(".chn")),
                                       QStringLiteral("7"));
               })
            << QStringLiteral("123456") << NoChannelDelay;
    }
    void limit() {
        QFETCH(QByteArray, content);
        QFETCH(qint64, limit);
        QFETCH(QString, fileName);
        QFETCH(Reader, reader);
        QFETCH(QString, atLimit);
        QFETCH(QString, overLimit);
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        for (const qint64 size : {limit, limit + 1}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(file.write(padded(content, size)), size);
            file.close();
            const QString outcome = reader(path);
            if (size == limit)
                QCOMPARE(outcome, atLimit);
            else
                QVERIFY2(outcome.contains(overLimit), qPrintable(outcome));
        }
    }
};

QTEST_GUILESS_MAIN(TestFileSizeLimits)
#include "test_file_size_limits.moc"
