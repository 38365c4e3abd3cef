#include "config/DeviceConfiguration.h"
#include <QtTest>
class TestDeviceConfiguration : public QObject { Q_OBJECT private slots: void placeholder() { QVERIFY(true); } };
QTEST_GUILESS_MAIN(TestDeviceConfiguration)
#include "test_device_configuration.moc"
