// SPDX-License-Identifier: MIT
#pragma once
// The main window started as the program starts it, in a temporary working
// directory with its own KORVANE.INI, beside a simulator on a pty. Message boxes are
// recorded instead of shown.

#include "tests/support/DeviceFixture.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace korvane::test {

class WindowFixture {
public:
    // settings: the KORVANE.INI text (written in code page 936 compatible ASCII/UTF-8
    // subset); "{PTY}" stands for the simulator's port. Empty: no file at all.
    explicit WindowFixture(
        const QString& settings = QStringLiteral("[Setting]\r\nCommName={PTY}\r\n"),
        sim::SimulatorOptions options = {}) {
        port = sim.start(options);
        if (port.isEmpty())
            qFatal("simulator did not start");
        m_oldDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        if (!settings.isEmpty()) {
            QFile f(dir.filePath(QStringLiteral("KORVANE.INI")));
            f.open(QIODevice::WriteOnly);
            f.write(QString(settings).replace(QStringLiteral("{PTY}"), port).toUtf8());
        }
        shortenBlockGap();
        window = std::make_unique<MainWindow>([this](const QString& text, const QString& caption,
                                                     MessageIcon icon, const QString& detail) {
            messages.append({text, caption, icon, detail});
            if (onMessage)
                onMessage(messages.last());
        });
        window->transport().setTimeLimitMs(TestTimeLimitMs);
    }

    ~WindowFixture() {
        window.reset();
        QDir::setCurrent(m_oldDir);
    }

    void Show() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    QStringList Texts() const { return TextsOf(messages); }

    QString settings() const {
        QFile f(dir.filePath(QStringLiteral("KORVANE.INI")));
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    }

    QList<int> ReceivedCodes() const { return test::ReceivedCodes(sim); }

    sim::SimulatorHost sim;
    QString port;
    QTemporaryDir dir;
    QList<ShownMessage> messages;
    std::function<void(const ShownMessage&)> onMessage;
    std::unique_ptr<MainWindow> window;

private:
    QString m_oldDir;
};

// Acts on the next modal dialog once it is up (exec() does not return until then).
// Returns a flag set once act has run, for the test to check. The poll ends at the
// deadline, or once the test has dropped the flag, so it never outlives its test.
[[nodiscard]] inline std::shared_ptr<bool> WhenModal(std::function<void(QWidget*)> act,
                                                     int deadlineMs = 10000) {
    auto done = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    timer->setInterval(10);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout,
                     [timer, act, weak = std::weak_ptr(done), clock, deadlineMs] {
                         QWidget* w = QApplication::activeModalWidget();
                         const std::shared_ptr<bool> flag = weak.lock();
                         if (flag && w == nullptr && clock.elapsed() < deadlineMs)
                             return;
                         timer->stop();
                         timer->deleteLater();
                         if (flag && w != nullptr) {
                             *flag = true;
                             act(w);
                         }
                     });
    timer->start();
    return done;
}

} // namespace korvane::test
