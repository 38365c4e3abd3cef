// SPDX-License-Identifier: MIT
#include "link/CommDevicePath.h"

#include <QtTest>

#include <utility>

using namespace korvane;

// Port names as typed, and the device path each system opens for them.
class TestCommDevicePath : public QObject {
    Q_OBJECT
private slots:
    void commDevicePath_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
#if defined(_WIN32)
        const std::pair<const char*, const char*> rows[] = {
            {"COM1", "\\\\.\\COM1"},
            {"com10", "\\\\.\\com10"}, // ten and above need the device namespace
            {" COM256 ", "\\\\.\\COM256"},
            {"\\\\.\\COM12", "\\\\.\\COM12"}, // already in it
            {"CNCA0", "\\\\.\\CNCA0"},        // a virtual port's own name
            {"", ""},
        };
#else
        const std::pair<const char*, const char*> rows[] = {
            {"COM1", "/dev/ttyS0"},
            {"COM2", "/dev/ttyS1"},
            {"COM10", "/dev/ttyS9"},
            {"com3", "/dev/ttyS2"},                    // lower case
            {"\\\\.\\COM12", "/dev/ttyS11"},           // device namespace
            {" COM1 ", "/dev/ttyS0"},                  // blanks around
            {"COM0", "/dev/COM0"},                     // no COM port
            {"COM01", "/dev/COM01"},                   // leading zero
            {"COM", "/dev/COM"},                       // no number
            {"COM1a", "/dev/COM1a"},                   // letters after
            {"COM99999999999", "/dev/COM99999999999"}, // number too large
            {"ttyUSB0", "/dev/ttyUSB0"},               // bare device name
            {"/dev/pts/3", "/dev/pts/3"},              // absolute path
            {"./port", "./port"},                      // relative path
            {"", ""},
        };
#endif
        for (const auto& [name, path] : rows)
            QTest::addRow("'%s'", name) << QString::fromLatin1(name) << QString::fromLatin1(path);
    }
    void commDevicePath() {
        QFETCH(QString, name);
        QFETCH(QString, path);
        QCOMPARE(korvane::commDevicePath(name), path);
    }
};

QTEST_GUILESS_MAIN(TestCommDevicePath)
#include "test_comm_device_path.moc"
