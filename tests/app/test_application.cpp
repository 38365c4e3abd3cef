// SPDX-License-Identifier: MIT
// The program's last line of defence and its display check.

#include "app/KorvaneApplication.h"

#include <QtTest>

#include <stdexcept>

using namespace korvane;

namespace {

// Throws from its event handler whatever the test puts in throwing.
class Thrower : public QObject {
public:
    std::function<void()> throwing;

protected:
    bool event(QEvent*) override {
        throwing();
        return true;
    }
};

} // namespace

class TestApplication : public QObject {
    Q_OBJECT
private slots:
    // An exception that escapes a handler is shown, and the event loop goes on.
    void notifyCatchesWhatEscapes_data() {
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("shown");
        QTest::newRow("std::exception") << true << QStringLiteral("端口 lost");
        QTest::newRow("anything else") << false << QStringLiteral("未知错误");
    }
    void notifyCatchesWhatEscapes() {
        QFETCH(bool, standard);
        QFETCH(QString, shown);
        auto* app = static_cast<KorvaneApplication*>(QCoreApplication::instance());
        QStringList seen;
        app->setErrorHandler([&](const QString& message) { seen.append(message); });
        Thrower thrower;
        thrower.throwing = [standard] {
            if (standard)
                throw std::runtime_error("端口 lost");
            throw 42;
        };
        QEvent event(QEvent::User);
        QVERIFY(!QCoreApplication::sendEvent(&thrower, &event));
        QCOMPARE(seen, QStringList{shown});
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QTRY_COMPARE(seen.size(), 2); // a posted event too, from the event loop
        app->setErrorHandler({});
    }

    void hasDisplay_data() {
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<bool>("has");
        const QByteArray unset;
        QTest::newRow("nothing named") << unset << unset << unset << false;
        QTest::newRow("X display") << unset << QByteArray(":0") << unset << true;
        QTest::newRow("Wayland display") << unset << unset << QByteArray("wayland-0") << true;
        QTest::newRow("empty display") << unset << QByteArray("") << unset << false;
        QTest::newRow("xcb without a display") << QByteArray("xcb") << unset << unset << false;
        QTest::newRow("wayland without a display")
            << QByteArray("wayland") << unset << unset << false;
        QTest::newRow("offscreen") << QByteArray("offscreen") << unset << unset << true;
        QTest::newRow("minimal") << QByteArray("minimal") << unset << unset << true;
    }
    void hasDisplay() {
        QFETCH(QByteArray, platform);
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, wayland);
        QFETCH(bool, has);
        const QByteArray names[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
        const QByteArray values[] = {platform, display, wayland};
        QByteArray old[3];
        for (int i = 0; i < 3; ++i) {
            old[i] = qgetenv(names[i]);
            values[i].isNull() ? qunsetenv(names[i]) : qputenv(names[i], values[i]);
        }
        const bool result = korvane::hasDisplay();
        for (int i = 0; i < 3; ++i)
            old[i].isNull() ? qunsetenv(names[i]) : qputenv(names[i], old[i]);
        QCOMPARE(result, has);
    }
};

int main(int argc, char** argv) {
    KorvaneApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_application.moc"
